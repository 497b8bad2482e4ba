// The bounded reader on damaged and hostile images (tests/pe/hostile_pe.h):
// every case runs through both users of the reader, the payload lookup and
// the stub check.
#include <gtest/gtest.h>

#include "pe/payload_resource.h"
#include "pe/pe_checksum.h"
#include "tests/pe/hostile_pe.h"

namespace {

using Bytes = std::vector<uint8_t>;
using P = SyntheticPe;

TEST(PeReader, RefusesDamagedAndHostileImages) {
  const SyntheticPe pe = HostileBase();
  for (const HostilePe& c : HostilePeCases()) {
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

// At and around the bounds of every section, and in the gaps between them.
TEST(PeReader, FindsTheSectionThatHoldsAnAddress) {
  PeImage image;
  std::string error;
  const Bytes file = BuildSyntheticPe().bytes;
  ASSERT_TRUE(ReadPeImage(file, image, error)) << error;
  const uint32_t rsrcEnd = P::kResourceRva + image.sections[1].virtualSize;
  const std::pair<uint32_t, int> cases[] = {{0, -1},          {0xFFF, -1},       {0x1000, 0},     {0x100F, 0},
                                            {0x1010, -1},     {0x2000, 1},       {rsrcEnd - 1, 1}, {rsrcEnd, -1},
                                            {0x3000, 2},      {0x300B, 2},       {0x300C, -1},    {0xFFFFFFFF, -1}};
  for (const auto& [rva, section] : cases) EXPECT_EQ(section, image.SectionAt(rva)) << "RVA " << rva;
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

std::string Text(const Bytes& file, uint32_t offset, uint32_t size) {
  return std::string(file.begin() + offset, file.begin() + offset + size);
}

// Trees in which Windows could find another payload or check record than a
// reader that scans, folds case or takes the first language: refused,
// naming the entries; the others read as the loader finds them.
TEST(PeReader, RefusesTreesWhereWindowsCouldFindAnotherPayload) {
  for (const HostileLookup& c : HostileLookups()) {
    const Bytes file = BuildSyntheticPe(c.resources).bytes;
    PayloadLocation where;
    std::string error;
    const bool found = FindPayload(file, where, error);
    if (!c.refusal.empty()) {
      EXPECT_FALSE(found) << c.why;
      EXPECT_NE(std::string::npos, error.find(c.refusal)) << c.why << ": " << error;
      continue;
    }
    ASSERT_TRUE(found) << c.why << ": " << error;
    EXPECT_EQ(c.payload, Text(file, where.offset, where.size)) << c.why;
    EXPECT_EQ(c.check, where.checked ? Text(file, where.checkOffset, where.checkSize) : "") << c.why;
  }
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
