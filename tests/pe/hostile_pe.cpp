#include "tests/pe/hostile_pe.h"

#include <cstring>

namespace {

using Bytes = std::vector<uint8_t>;
using P = SyntheticPe;

SyntheticResource Payload(const std::string& data) { return {u"FILESPACK", 0, u"KORMIT", 0, 1041, data}; }

// A second resource tree (payload "decoy") where the loader reads the
// resource section, and the image's own one 256 bytes on, where its raw
// offset says: a reader that takes the offset literally sees another
// payload than the one that runs.
void HideTreeBehindDecoy(Bytes& b, const P& pe) {
  const SyntheticPe decoy = BuildSyntheticPe({Payload("decoy")}, false);
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

}  // namespace

SyntheticPe HostileBase() {
  std::vector<SyntheticResource> resources = DefaultResources();
  resources.insert(resources.begin() + 1, Payload(kHostilePayload));
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
