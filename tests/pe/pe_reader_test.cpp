// The bounded reader on damaged and hostile images: one small change to a
// well-formed image per case, and the error it must give. Every case runs
// through both users of the reader, the payload lookup and the stub check.
#include <gtest/gtest.h>

#include <functional>

#include "pe/payload_resource.h"
#include "pe/pe_checksum.h"
#include "tests/pe/synthetic_pe.h"

namespace {

using Bytes = std::vector<uint8_t>;
using P = SyntheticPe;

struct Hostile {
  const char* why;
  std::function<void(Bytes&, const SyntheticPe&)> damage;
  const char* error;
};

TEST(PeReader, RefusesDamagedAndHostileImages) {
  const uint32_t rsrc = P::SectionHeader(1), reloc = P::SectionHeader(2);
  const Hostile cases[] = {
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
      {"raw size beyond 4 GiB", [=](Bytes& b, const P&) { Put32At(b, rsrc + 16, 0xFFFFFF00); }, "runs past the end"},
      {"sections overlap in memory", [=](Bytes& b, const P&) { Put32At(b, rsrc + 12, 0x1008); },
       "overlaps section 1 (\".text\") in memory"},
      {"sections overlap in the file", [=](Bytes& b, const P&) { Put32At(b, reloc + 20, P::kResourceRaw); },
       "overlap in the file"},
      {"section over the headers", [=](Bytes& b, const P&) { Put32At(b, rsrc + 20, 0x100); }, "overlaps the headers"},
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
  const SyntheticPe pe = BuildSyntheticPe();
  for (const Hostile& c : cases) {
    Bytes bytes = pe.bytes;
    c.damage(bytes, pe);
    // Exactly the damaged length, so that a sanitizer sees any read past it.
    const Bytes file(bytes);
    std::string findError, checkError;
    PayloadLocation where;
    PayloadStub stub;
    EXPECT_FALSE(FindPayload(file, where, findError)) << c.why;
    EXPECT_FALSE(CheckPayloadStub(file, stub, checkError)) << c.why;
    EXPECT_NE(std::string::npos, findError.find(c.error)) << c.why << ": " << findError;
    EXPECT_NE(std::string::npos, checkError.find(c.error)) << c.why << ": " << checkError;
  }
}

TEST(PeReader, SaysWhatAnExecutableWithoutPayloadLacks) {
  std::string error;
  PayloadLocation where;
  EXPECT_FALSE(FindPayload(BuildSyntheticPe().bytes, where, error));
  EXPECT_NE(std::string::npos, error.find("without the resource \"KORMIT\" of type \"FILESPACK\"")) << error;
  SyntheticPe bare = BuildSyntheticPe();
  Put32At(bare.bytes, P::kDirectories + 16, 0);
  EXPECT_FALSE(FindPayload(bare.bytes, where, error));
  EXPECT_NE(std::string::npos, error.find("without resources")) << error;
}

// Found by name in any case and in any language, as Windows finds it.
TEST(PeReader, FindsThePayloadIgnoringCaseInItsFirstLanguage) {
  std::vector<SyntheticResource> resources = DefaultResources();
  resources.insert(resources.begin() + 1, {{u"FilesPack", 0, u"kormit", 0, 1033, "first"},
                                           {u"FilesPack", 0, u"kormit", 0, 1041, "second"}});
  const SyntheticPe pe = BuildSyntheticPe(resources);
  PayloadLocation where;
  std::string error;
  ASSERT_TRUE(FindPayload(pe.bytes, where, error)) << error;
  EXPECT_EQ(1033u, where.language);
  EXPECT_EQ("first", std::string(pe.bytes.begin() + where.offset, pe.bytes.begin() + where.offset + where.size));
}

struct CheckSumCase {
  Bytes file;
  uint32_t checkSumOffset;
  uint32_t expected;
};

TEST(PeCheckSum, SumsWordsWithEndAroundCarryPlusTheLength) {
  const CheckSumCase cases[] = {
      {{0x01, 0x02}, 100, 0x0201 + 2},
      {{0xFF, 0xFF, 0x02, 0x00}, 100, 0x0002 + 4},  // 0x10001 folds to 2
      {{0x01, 0x00, 0x05}, 100, 0x0006 + 3},        // the odd byte is a word of its own
      {{0x01, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x00}, 2, 0x0003 + 8},  // the field itself is left out
      {{0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0x00}, 1, 0x0001 + 6},  // also where it straddles two words
  };
  for (const CheckSumCase& c : cases) EXPECT_EQ(c.expected, PeCheckSum(c.file, c.checkSumOffset));
}

}  // namespace
