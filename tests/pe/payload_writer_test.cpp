// The payload writer on hand-made stubs: what it adds, what it keeps byte
// for byte, where everything lands (figures worked out by hand from the
// stub's layout), and the stubs it refuses.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "pe/payload_resource.h"
#include "pe/pe_bytes.h"
#include "pe/pe_checksum.h"
#include "tests/pe/synthetic_pe.h"

namespace {

using Bytes = std::vector<uint8_t>;
using P = SyntheticPe;

std::string Key(const ResourceEntry& entry) {
  return entry.named ? std::string(entry.name.begin(), entry.name.end()) : "#" + std::to_string(entry.id);
}

// Every resource as "type/name/language" with its bytes and code page.
std::map<std::string, std::string> Resources(const Bytes& file) {
  PeImage image;
  ResourceTree tree;
  std::string error;
  EXPECT_TRUE(ReadPeImage(file, image, error) && ReadResourceTree(image, tree, error)) << error;
  std::map<std::string, std::string> found;
  for (const ResourceEntry& type : tree.directories.empty() ? std::vector<ResourceEntry>{} : tree.directories[0].entries) {
    for (const ResourceEntry& name : tree.directories[static_cast<size_t>(type.directory)].entries) {
      for (const ResourceEntry& language : tree.directories[static_cast<size_t>(name.directory)].entries) {
        const ResourceLeaf& leaf = tree.leaves[static_cast<size_t>(language.leaf)];
        uint32_t offset = 0;
        EXPECT_TRUE(image.FileOffsetOf(leaf.rva, leaf.size, offset));
        found[Key(type) + "/" + Key(name) + "/" + Key(language)] =
            std::string(file.begin() + offset, file.begin() + offset + leaf.size) + "|cp" + std::to_string(leaf.codePage);
      }
    }
  }
  return found;
}

Bytes Installer(const Bytes& stubBytes, const Bytes& payload) {
  PayloadStub stub;
  std::string error;
  Bytes installer;
  PayloadLocation where;
  EXPECT_TRUE(CheckPayloadStub(stubBytes, stub, error)) << error;
  EXPECT_TRUE(AddPayload(stub, payload, {}, installer, where, error)) << error;
  return installer;
}

// A stub whose named types are `types`, each with one resource.
Bytes StubWithTypes(const std::vector<std::u16string>& types) {
  std::vector<SyntheticResource> resources;
  for (const std::u16string& type : types) resources.push_back({.type = type, .nameId = 1, .data = "x"});
  return BuildSyntheticPe(resources).bytes;
}

Bytes Pattern(size_t size) {
  Bytes bytes(size);
  for (size_t i = 0; i < size; i++) bytes[i] = static_cast<uint8_t>(i * 7 + 3);
  return bytes;
}

TEST(PayloadWriter, AddsThePayloadAndKeepsEveryOtherByte) {
  const SyntheticPe pe = BuildSyntheticPe();
  const Bytes payload = Pattern(5000);
  const Bytes out = Installer(pe.bytes, payload);

  PayloadLocation where;
  std::string error;
  ASSERT_TRUE(FindPayload(out, where, error)) << error;
  EXPECT_EQ(1041u, where.language);
  EXPECT_EQ(0u, where.offset % 8);
  EXPECT_EQ(payload, Bytes(out.begin() + where.offset, out.begin() + where.offset + where.size));
  std::map<std::string, std::string> expected = Resources(pe.bytes);
  expected["FILESPACK/KORMIT/#1041"] = std::string(payload.begin(), payload.end()) + "|cp0";
  EXPECT_EQ(expected, Resources(out));

  // Named types in order, before the ids.
  PeImage image;
  ResourceTree tree;
  ASSERT_TRUE(ReadPeImage(out, image, error) && ReadResourceTree(image, tree, error));
  std::vector<std::string> types;
  for (const ResourceEntry& type : tree.directories[0].entries) types.push_back(Key(type));
  EXPECT_EQ((std::vector<std::string>{"ABC", "FILESPACK", "ZZZ", "#5", "#16"}), types);

  // The new section: 11 tables (328 bytes), 6 data entries (96), the names
  // (62) to 488; the stub's data, each on 8 bytes, to 928; the payload.
  const uint32_t opt = P::kOptional, rsrc = P::SectionHeader(1), reloc = P::SectionHeader(2);
  const uint32_t content = 928 + 5000;
  EXPECT_EQ(content, Get32At(out, rsrc + 8));
  EXPECT_EQ(0x1800u, Get32At(out, rsrc + 16));
  EXPECT_EQ(content, Get32At(out, P::kDirectories + 8 * 2 + 4));
  EXPECT_EQ(0x4000u, Get32At(out, reloc + 12));  // the relocations move up a page
  EXPECT_EQ(0x1C00u, Get32At(out, reloc + 20));
  EXPECT_EQ(0x4000u, Get32At(out, P::kDirectories + 8 * 5));
  EXPECT_EQ(0x5000u, Get32At(out, opt + 56));  // SizeOfImage
  EXPECT_EQ(0x3000u, Get32At(out, opt + 8));   // SizeOfInitializedData, one page more
  EXPECT_EQ(PeCheckSum(out, opt + 64), Get32At(out, opt + 64));
  ASSERT_EQ(0x1E00u, out.size()) << "nothing after the relocations";
  EXPECT_EQ(Bytes(pe.bytes.begin() + pe.relocationRaw, pe.bytes.end()), Bytes(out.begin() + 0x1C00, out.end()));

  // The headers and the sections before the resources are the stub's but
  // for the fields above.
  const std::vector<std::pair<uint32_t, uint32_t>> changed = {
      {opt + 8, 4}, {opt + 56, 4}, {opt + 64, 4}, {P::kDirectories + 20, 4}, {P::kDirectories + 40, 4},
      {rsrc + 8, 4}, {rsrc + 16, 4}, {reloc + 12, 4}, {reloc + 20, 4}};
  for (uint32_t i = 0; i < P::kResourceRaw; i++) {
    bool allowed = false;
    for (const auto& [at, size] : changed) allowed |= i >= at && i < at + size;
    if (!allowed) {
      EXPECT_EQ(pe.bytes[i], out[i]) << "at offset " << i;
    }
  }
}

// Where the loader's halving finds it: by UTF-16 units, so before a type
// in small letters.
TEST(PayloadWriter, PutsThePayloadTypeInTheLoadersOrder) {
  const Bytes out = Installer(StubWithTypes({u"ABC", u"bin"}), Pattern(10));
  PeImage image;
  ResourceTree tree;
  std::string error;
  ASSERT_TRUE(ReadPeImage(out, image, error) && ReadResourceTree(image, tree, error)) << error;
  EXPECT_TRUE(tree.directories[0].entries[1].name == u"FILESPACK");
}

TEST(PayloadWriter, ResourcesThatAreLastStayLast) {
  const SyntheticPe pe = BuildSyntheticPe(DefaultResources(), false);
  const Bytes out = Installer(pe.bytes, Pattern(100));
  const uint32_t rsrc = P::SectionHeader(1);
  EXPECT_EQ(928u + 100, Get32At(out, rsrc + 8));
  EXPECT_EQ(P::kResourceRaw + 0x600u, out.size());
  EXPECT_EQ(0x3000u, Get32At(out, P::kOptional + 56));
}

// A signature goes after the last section, named by the certificate
// directory: the payload still reads, but such a file is no stub.
TEST(PayloadWriter, SignedInstallerStillReads) {
  Bytes signedInstaller = Installer(BuildSyntheticPe().bytes, Pattern(300));
  Put32At(signedInstaller, P::kDirectories + 8 * 4, static_cast<uint32_t>(signedInstaller.size()));
  Put32At(signedInstaller, P::kDirectories + 8 * 4 + 4, 0x100);
  signedInstaller.resize(signedInstaller.size() + 0x100, 0x30);
  PayloadLocation where;
  std::string error;
  EXPECT_TRUE(FindPayload(signedInstaller, where, error)) << error;
  EXPECT_EQ(300u, where.size);
  PayloadStub stub;
  EXPECT_FALSE(CheckPayloadStub(signedInstaller, stub, error));
  EXPECT_NE(std::string::npos, error.find("signed")) << error;
}

struct Refusal {
  const char* why;
  std::function<void(Bytes&, const SyntheticPe&)> change;
  const char* error;
};

TEST(PayloadWriter, RefusesStubsThatCannotTakeAPayload) {
  const uint32_t opt = P::kOptional;
  const Bytes installer = Installer(BuildSyntheticPe().bytes, Pattern(10));
  const Refusal cases[] = {
      {"PE32+", [=](Bytes& b, const P&) { b[opt + 1] = 0x02; }, "64-bit (PE32+)"},
      {"x86-64", [](Bytes& b, const P&) { b[P::kFileHeader + 1] = 0x86; }, "not for i386"},
      {"file alignment", [=](Bytes& b, const P&) { Put32At(b, opt + 36, 0x100); }, "file alignment of 256"},
      {"section alignment", [=](Bytes& b, const P&) { Put32At(b, opt + 32, 0x100); }, "section alignment of 256"},
      {"certificate", [](Bytes& b, const P&) { Put32At(b, P::kDirectories + 36, 8); }, "signed"},
      {"overlay", [](Bytes& b, const P&) { b.push_back(0); }, "1 bytes follow its last section"},
      {"a section after the resources", [](Bytes& b, const P&) { Put32At(b, P::kDirectories + 44, 0); },
       "not in the last section (section 3 (\".reloc\") follows them)"},
      {"relocations inside the resources", [](Bytes& b, const P& pe) { Put32At(b, pe.relocationRaw, 0x2000); },
       "patch addresses inside the resources"},
      {"relocation block too short", [](Bytes& b, const P& pe) { Put32At(b, pe.relocationRaw + 4, 4); },
       "malformed base relocation block"},
      {"imports in the resource section", [](Bytes& b, const P&) { Put32At(b, P::kDirectories + 8, 0x2010); },
       "data directory 1 points into section 2"},
      {"resource data in the code",
       [](Bytes& b, const P& pe) {
         Put32At(b, pe.firstDataEntry, 0x1000);
         Put32At(b, pe.firstDataEntry + 4, 4);
       },
       "outside the resource section"},
      {"a payload already", [&](Bytes& b, const P&) { b = installer; }, "carries a payload already"},
      {"a payload type in small letters", [](Bytes& b, const P&) { b = StubWithTypes({u"filespack"}); },
       "carries a payload already (it has resources of type \"filespack\")"},
      {"types out of the loader's order", [](Bytes& b, const P&) { b = StubWithTypes({u"ZZZ", u"ABC"}); },
       "its resource tree has the types \"ZZZ\" before \"ABC\""},
      {"types that differ in case", [](Bytes& b, const P&) { b = StubWithTypes({u"ABC", u"abc"}); },
       "the types \"ABC\" and \"abc\", which differ at most in case"},
  };
  const SyntheticPe pe = BuildSyntheticPe();
  for (const Refusal& c : cases) {
    Bytes bytes = pe.bytes;
    c.change(bytes, pe);
    PayloadStub stub;
    std::string error;
    EXPECT_FALSE(CheckPayloadStub(bytes, stub, error)) << c.why;
    EXPECT_NE(std::string::npos, error.find(c.error)) << c.why << ": " << error;
  }
}

}  // namespace

// The checksum of a file handed over in pieces of odd lengths is the sum of
// its little-endian words, folded, plus its length (summed here the plain way).
TEST(PayloadWriter, CheckSumOfPiecesIsTheWholeFilesSum) {
  for (const size_t size : {0u, 1u, 2u, 7u, 70001u}) {
    const Bytes file = Pattern(size);
    uint64_t words = 0;
    for (size_t i = 0; i < size; i += 2) words += file[i] + (i + 1 < size ? file[i + 1] << 8 : 0);
    while (words > 0xFFFF) words = (words & 0xFFFF) + (words >> 16);
    PeCheckSumAccumulator sum;
    for (size_t at = 0, piece = 1; at < size; at += piece, piece += 2) {
      sum.Add(std::span<const uint8_t>(file).subspan(at, std::min(piece, size - at)));
    }
    EXPECT_EQ(words + size, sum.Finish()) << size << " bytes";
  }
}

// The plan around a payload that is not in memory makes the bytes that the
// payload in memory makes; the largest payload a stub takes is exact.
TEST(PayloadWriter, PlanAroundThePayloadIsTheInstaller) {
  const SyntheticPe pe = BuildSyntheticPe();
  PayloadStub stub;
  std::string error;
  ASSERT_TRUE(CheckPayloadStub(pe.bytes, stub, error)) << error;
  const Bytes payload = Pattern(5001), check = Pattern(12);
  InstallerPlan plan;
  ASSERT_TRUE(PlanInstaller(stub, payload.size(), check, plan, error)) << error;
  PeCheckSumAccumulator sum;
  for (const Bytes* part : {&std::as_const(plan.head), &payload, &std::as_const(plan.tail)}) sum.Add(*part);
  Bytes planned = plan.head;
  StoreUint32(planned.data() + plan.checkSumOffset, sum.Finish());
  planned.insert(planned.end(), payload.begin(), payload.end());
  planned.insert(planned.end(), plan.tail.begin(), plan.tail.end());
  Bytes installer;
  PayloadLocation where;
  ASSERT_TRUE(AddPayload(stub, payload, check, installer, where, error)) << error;
  EXPECT_EQ(installer, planned);
  EXPECT_EQ(plan.payloadOffset, where.offset);

  const uint64_t largest = LargestPayload(stub, 12);
  EXPECT_TRUE(PlanInstaller(stub, largest, check, plan, error)) << error;
  EXPECT_LT(plan.Size(), 0x80000000u);
  EXPECT_FALSE(PlanInstaller(stub, largest + 1, check, plan, error));
  EXPECT_NE(std::string::npos, error.find("2 GiB")) << error;
}
