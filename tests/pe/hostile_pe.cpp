#include "tests/pe/hostile_pe.h"

#include <algorithm>
#include <cstring>

namespace {

using Bytes = std::vector<uint8_t>;
using P = SyntheticPe;

SyntheticResource Packed(const std::u16string& name, const std::string& data, uint32_t language = 1041) {
  return {.type = u"FILESPACK", .name = name, .language = language, .data = data};
}

// A second resource tree (payload "decoy") where the loader reads the
// resource section, and the image's own one 256 bytes on, where its raw
// offset says: a reader that takes the offset literally sees another
// payload than the one that runs.
void HideTreeBehindDecoy(Bytes& b, const P& pe) {
  const SyntheticPe decoy = BuildSyntheticPe({Packed(u"KORMIT", "decoy")}, false);
  const uint32_t decoySize = Get32At(decoy.bytes, P::SectionHeader(1) + 8);
  Bytes front(decoy.bytes.begin() + P::kResourceRaw, decoy.bytes.begin() + P::kResourceRaw + decoySize);
  front.resize(0x100, 0);
  b.insert(b.begin() + pe.relocationRaw, 0x100, 0);  // keeps .reloc on a multiple of 512
  b.insert(b.begin() + P::kResourceRaw, front.begin(), front.end());
  Put32At(b, P::SectionHeader(1) + 20, P::kResourceRaw + 0x100);
  Put32At(b, P::SectionHeader(2) + 20, pe.relocationRaw + 0x200);
}

// .rsrc 256 bytes up in memory, consistently: the section, the resource
// directory and every data entry. The loader maps no such section; pefile
// rounds its address down and so reads the tree 256 bytes off.
void MoveResourcesOffAlignment(Bytes& b, const P& pe) {
  Put32At(b, P::SectionHeader(1) + 12, P::kResourceRva + 0x100);
  Put32At(b, P::kDirectories + 16, P::kResourceRva + 0x100);
  for (uint32_t entry = pe.firstDataEntry; entry < pe.firstName; entry += 16) {
    Put32At(b, entry, Get32At(b, entry) + 0x100);
  }
}

SyntheticResource Again(SyntheticResource resource, bool type) {
  (type ? resource.newType : resource.newName) = true;
  return resource;
}

std::u16string Small(std::u16string name) {
  for (char16_t& c : name) c = c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
  return name;
}

std::string Quoted(const std::u16string& ascii) { return "\"" + std::string(ascii.begin(), ascii.end()) + "\""; }

struct LookupShape {
  const char* why;
  std::vector<SyntheticResource> resources;
  std::string refusal;
};

// The trees around `n`, the name looked up, which holds "A" where the tree
// is accepted.
std::vector<LookupShape> LookupShapes(const std::u16string& n) {
  const std::string q = Quoted(n), small = Quoted(Small(n)), of = q + " of type \"FILESPACK\" has the language entr";
  SyntheticResource namedLanguage = Packed(n, "A");
  namedLanguage.languageName = u"JA";
  const SyntheticResource smallType = {.type = u"abc", .name = u"X", .data = "x"};
  return {
      {"A at 1033, B at 1041", {Packed(n, "A", 1033), Packed(n, "B")}, of + "ies 1033 and 1041, where"},
      {"three FILESPACK types", {Packed(n, "A"), Again(Packed(n, "B"), true), Again(Packed(n, "C"), true)},
       "the types \"FILESPACK\", \"FILESPACK\" and \"FILESPACK\", which differ at most in case"},
      {"three entries of the name", {Packed(n, "A"), Again(Packed(n, "B"), false), Again(Packed(n, "C"), false)},
       "the names " + q + ", " + q + " and " + q + ", which differ at most in case"},
      {"the name in small letters beside it", {Packed(n, "A"), Packed(Small(n), "B")},
       "the names " + q + " and " + small + ", which differ"},
      {"languages 0 and 1041", {Packed(n, "A", 0), Packed(n, "B")}, of + "ies 0 and 1041, where"},
      {"a named language entry first", {namedLanguage, Packed(n, "B")}, of + "ies \"JA\" and 1041, where"},
      {"three entries of one language", {Packed(n, "A"), Packed(n, "B"), Packed(n, "C")},
       of + "ies 1041, 1041 and 1041, where"},
      {"names out of order", {Packed(u"ZZZ", "z"), Packed(n, "A")}, "the names \"ZZZ\" before " + q},
      {"types out of order", {{.type = u"ZZZ", .name = u"X", .data = "z"}, Packed(n, "A")},
       "the types \"ZZZ\" before \"FILESPACK\""},
      {"a type in small letters before it", {smallType, Packed(n, "A")}, "the types \"abc\" before \"FILESPACK\""},
      {"only the name in small letters", {Packed(Small(n), "A")}, small + " among its names but not " + q},
      {"a NUL in a name after it",
       {Packed(n, "A"), Packed(n + std::u16string(1, u'\0') + u"X", "B"), Packed(u"ZZZ", "z")},
       q.substr(0, q.size() - 1) + "\\x00X\" among its names, with a NUL character"},
      {"a lone named language entry", {namedLanguage}, of + "y \"JA\", where"},
      {"one language, 1033, among other names, ids and a type in small letters",
       {{.type = u"ACE", .name = u"X", .data = "x"}, Packed(u"KORMI", "y"), Packed(n, "A", 1033), Packed(n + u"Z", "z"),
        {.type = u"FILESPACK", .nameId = 5, .data = "5"}, smallType, {.typeId = 5, .nameId = 101, .data = "d"}},
       ""},
  };
}

}  // namespace

std::vector<HostileLookup> HostileLookups() {
  std::vector<HostileLookup> all;
  for (const LookupShape& shape : LookupShapes(u"KORMIT")) {
    all.push_back({std::string(shape.why) + ", the payload", shape.resources, shape.refusal,
                   shape.refusal.empty() ? "A" : "", ""});
  }
  for (LookupShape& shape : LookupShapes(u"KORMITCRC")) {
    // The payload goes where the loader's order puts it among its type's names.
    std::vector<SyntheticResource>& r = shape.resources;
    r.insert(std::find_if(r.begin(), r.end(),
                          [](const SyntheticResource& x) {
                            return x.type == u"FILESPACK" && (x.name.empty() || x.name >= u"KORMIT");
                          }),
             Packed(u"KORMIT", kHostilePayload));
    const bool accepted = shape.refusal.empty();
    all.push_back({std::string(shape.why) + ", the check record", r, shape.refusal, accepted ? kHostilePayload : "",
                   accepted ? "A" : ""});
  }
  return all;
}

SyntheticPe HostileBase() {
  std::vector<SyntheticResource> resources = DefaultResources();
  resources.insert(resources.begin() + 1, Packed(u"KORMIT", kHostilePayload));
  return BuildSyntheticPe(resources);
}

std::vector<HostilePe> HostilePeCases() {
  const uint32_t rsrc = P::SectionHeader(1), reloc = P::SectionHeader(2);
  return {
      {"empty file", [](Bytes& b, const P&) { b.clear(); }, "no MZ header"},
      {"no MZ", [](Bytes& b, const P&) { b[0] = 'X'; }, "no MZ header"},
      {"PE header past the end", [](Bytes& b, const P&) { Put32At(b, 0x3C, 0xFFFFFFF0); }, "lies past the end"},
      {"no PE signature", [](Bytes& b, const P&) { b[P::kPeOffset] = 'X'; }, "no PE signature at offset 128"},
      {"cut inside the optional header", [](Bytes& b, const P&) { b.resize(P::kOptional + 50); },
       "optional header runs past the end"},
      {"unknown optional header", [](Bytes& b, const P&) { b[P::kOptional] = 0x99; }, "unknown optional header"},
      {"too many data directories", [](Bytes& b, const P&) { Put32At(b, P::kOptional + 92, 100); },
       "too short for its 100 data directories"},
      {"section table past the end", [](Bytes& b, const P&) { Put32At(b, P::kFileHeader + 2, 2000); },
       "table of 2000 sections"},
      {"file cut inside a section", [](Bytes& b, const P&) { b.resize(P::kResourceRaw + 0x100); },
       "section 2 (\".rsrc\") runs past the end"},
      {"a section name with control characters",
       [=](Bytes& b, const P&) {
         std::memcpy(b.data() + rsrc, "\x1B]0;x\x07\x9B\\", 8);
         b.resize(P::kResourceRaw + 0x100);
       },
       "section 2 (\"\\x1B]0;x\\x07\\x9B\\x5C\") runs past the end"},
      {"a section name with a double quote",
       [=](Bytes& b, const P&) {
         std::memcpy(b.data() + rsrc, "a\") (b", 6);
         b.resize(P::kResourceRaw + 0x100);
       },
       "section 2 (\"a\\x22) (b\") runs past the end"},
      {"raw size beyond 4 GiB", [=](Bytes& b, const P&) { Put32At(b, rsrc + 16, 0xFFFFFF00); }, "runs past the end"},
      {"sections overlap in memory", [=](Bytes& b, const P&) { Put32At(b, rsrc + 12, 0x1008); },
       "overlaps section 1 (\".text\") in memory"},
      {"sections overlap in the file", [=](Bytes& b, const P&) { Put32At(b, reloc + 20, P::kResourceRaw); },
       "overlap in the file"},
      {"section over the headers", [=](Bytes& b, const P&) { Put32At(b, rsrc + 20, 0x100); }, "overlaps the headers"},
      {"resources off a multiple of 512, a decoy where the loader reads", HideTreeBehindDecoy,
       "file offset 1280, off a multiple of 512, where Windows reads it from offset 1024"},
      {"a section off the section alignment", MoveResourcesOffAlignment, "off the section alignment of 4096"},
      {"resources outside every section",
       [](Bytes& b, const P&) { Put32At(b, P::kDirectories + 16, 0x9000); }, "outside every section"},
      {"huge entry count", [](Bytes& b, const P&) { Put32At(b, P::kResourceRaw + 12, 0xFFFFFFFF); },
       "131070 entries run past the end"},
      {"a type that points at the root",
       [](Bytes& b, const P& pe) { Put32At(b, pe.rootEntries + 4, 0x80000000); }, "reached twice"},
      {"two languages share a data entry",
       [](Bytes& b, const P& pe) {
         // Dialog 126's language entry takes dialog 101's data entry (the
         // tables end with those of 101, 126, type 16 and version 1).
         Put32At(b, pe.firstDataEntry - 56 + 4, Get32At(b, pe.firstDataEntry - 80 + 4));
       },
       "a data entry reached twice"},
      {"data at the type level", [](Bytes& b, const P& pe) { Put32At(b, pe.rootEntries + 4, 0x100); },
       "needs a type or name level"},
      {"a fourth level",
       [](Bytes& b, const P& pe) { Put32At(b, pe.firstDataEntry - 8 + 4, 0x80000000); }, "a fourth level"},
      {"id among the named entries", [](Bytes& b, const P& pe) { Put32At(b, pe.rootEntries, 5); },
       "an id entry among the named entries"},
      {"name past the end", [](Bytes& b, const P& pe) { Put32At(b, pe.rootEntries, 0x80FFFFF0); },
       "a name past the end"},
      {"name longer than the section", [](Bytes& b, const P& pe) { b[pe.firstName + 1] = 0xFF; },
       "characters runs past the end"},
      {"data outside the sections", [](Bytes& b, const P& pe) { Put32At(b, pe.firstDataEntry, 0x7000); },
       "lies outside the file's sections"},
      {"data past its section's end", [](Bytes& b, const P& pe) { Put32At(b, pe.firstDataEntry + 4, 0x10000); },
       "65536 bytes at RVA"},
  };
}
