// The Huffman stage on hand-built blocks: one tiny input per rule of the
// header, the code assignment and the code stream, with the expected result
// and the bytes it leaves in the buffer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/huffman_stage.h"
#include "tests/archive/codec_block_builder.h"

namespace codec_test {
namespace {

using Bytes = std::vector<uint8_t>;

// Runs the stage on a copy of block inside a buffer of room bytes filled
// with 0xEE; returns the result and leaves the buffer in *out.
int32_t RunStage(const Bytes& block, int32_t capacity, Bytes* out, size_t room = 0) {
  Bytes buffer(block);
  const size_t size = std::max({room, block.size(), static_cast<size_t>(capacity > 0 ? capacity : 0)});
  buffer.resize(size, 0xEE);
  const int32_t result = DecodeHuffmanBlock(buffer.data(), static_cast<int32_t>(block.size()), capacity);
  if (out != nullptr) *out = buffer;
  return result;
}

struct HexCase {
  const char* what;
  const char* block;     // hex
  int32_t capacity;
  int32_t result;
  const char* output;    // hex of the first `result` bytes; nullptr: buffer
                         // unchanged; kPartial: a failure found midway
};

// Bits that run out show only while the output is written: part of it stays.
const char kPartial[] = "partial";

const HexCase kHexCases[] = {
    // g = 1, L[0] = 8: each byte codes itself in 8 bits.
    {"identity table", "03000000 01 08 414243", 3, 3, "414243"},
    {"identity, d equal to the capacity", "03000000 01 08 414243", 3, 3, "414243"},
    {"identity, d one above the capacity", "03000000 01 08 414243", 2, 0, nullptr},
    {"g = 1 below 8 bits: 256 codes do not fit", "03000000 01 07 414243", 3, 0, nullptr},
    {"g = 1, 9-bit codes", "02000000 01 09 20 90 80", 2, 2, "4142"},
    {"g = 1, 9-bit code value past the last level", "01000000 01 09 80 00", 1, 0, nullptr},
    {"code ends inside a byte, the low bits ignored", "01000000 01 09 20 FF", 1, 1, "41"},
    {"d = 0 decodes nothing", "00000000 01 08", 4, 0, nullptr},
    {"negative d passes through", "FEFFFFFF 01 08", 4, -2, nullptr},
    {"negative d, impossible table still 0", "FEFFFFFF 01 07", 4, 0, nullptr},
    {"g = 0, d = 0", "00000000 00", 4, 0, nullptr},
    {"g = 0, negative d passes through", "FDFFFFFF 00", 4, -3, nullptr},
    {"g = 0 with d > 0", "01000000 00 00", 4, 0, nullptr},
    {"widest first step, 25 bits", "01000000 01 19 00 00 20 80", 1, 1, "41"},
    {"first step of 26 bits", "01000000 01 1A 00 00 10 40", 1, 0, nullptr},
    // Malformed or cut-off blocks.
    {"shorter than the decoded-length field", "010000", 4, 0, nullptr},
    {"no level count", "01000000", 4, 0, nullptr},
    {"negative d, no level count", "FFFFFFFF", 4, 0, nullptr},
    {"no level length", "01000000 01", 4, 0, nullptr},
    {"level indices cut off", "01000000 02 0809 FFFF", 4, 0, nullptr},
    {"bits run out before d bytes", "03000000 01 08 4142", 3, 0, kPartial},
    {"bits run out inside a code", "02000000 01 09 20 90", 2, 0, kPartial},
};

TEST(HuffmanStage, HandBuiltBlocks) {
  for (const HexCase& c : kHexCases) {
    SCOPED_TRACE(c.what);
    const Bytes block = Hex(c.block);
    Bytes buffer;
    ASSERT_EQ(c.result, RunStage(block, c.capacity, &buffer, 64));
    Bytes original(block);
    original.resize(buffer.size(), 0xEE);
    if (c.output == nullptr) {
      EXPECT_EQ(original, buffer);
    } else if (c.output == kPartial) {
      EXPECT_EQ(Bytes(original.begin() + c.capacity, original.end()),
                Bytes(buffer.begin() + c.capacity, buffer.end()));
    } else {
      const Bytes expected = Hex(c.output);
      EXPECT_EQ(expected, Bytes(buffer.begin(), buffer.begin() + c.result));
      // Beyond the output, the coded bytes stay as they were.
      EXPECT_EQ(Bytes(original.begin() + c.result, original.end()),
                Bytes(buffer.begin() + c.result, buffer.end()));
    }
  }
}

// Level table with `counts[k]` byte values at level k; byte values are dealt
// out in a stride so that each level's values are not consecutive. Every
// other byte value gets the index g (no code); g must leave that index free.
LevelTable TableWithCounts(const std::vector<int>& lengths, const std::vector<int>& counts) {
  LevelTable table;
  table.lengths = lengths;
  const int g = static_cast<int>(lengths.size());
  table.levelIndex.fill(g);
  int symbol = 0;
  for (int k = 0; k < g; ++k) {
    for (int n = 0; n < counts[k]; ++n) {
      table.levelIndex[symbol] = k;
      symbol = (symbol + 97) % 256;
    }
  }
  return table;
}

std::vector<uint8_t> CodedSymbols(const LevelTable& table) {
  std::vector<uint8_t> symbols;
  for (int s = 0; s < 256; ++s) {
    if (table.levelIndex[s] < static_cast<int>(table.lengths.size())) symbols.push_back(static_cast<uint8_t>(s));
  }
  return symbols;
}

// Every level before the last must leave code space free; the last may use
// it up; no level may need more codes than its length offers.
struct CarryCase {
  std::vector<int> lengths;
  std::vector<int> counts;
  bool possible;
};

const CarryCase kCarryCases[] = {
    {{1, 2, 3}, {1, 1, 2}, true},    // codes 0, 10, 110, 111
    {{1, 2, 3}, {2, 0, 0}, false},   // first level full, later ones empty
    {{1, 2, 3}, {1, 2, 0}, false},   // middle level full
    {{1, 2, 3}, {1, 1, 3}, false},   // one code too many at the last level
    {{1, 2, 3}, {1, 1, 1}, true},    // last level not full
    {{1, 2, 3}, {0, 0, 8}, true},    // empty levels only shift the first code
    {{1, 2, 3}, {0, 0, 9}, false},
    {{1, 2, 2}, {1, 1, 1}, true},    // equal lengths: a step of 0
    {{2, 2, 2}, {2, 1, 1}, true},
    {{2, 2, 2}, {2, 2, 0}, false},
    {{0, 0, 0}, {0, 0, 1}, true},    // one code of no bits
    {{0, 0, 0}, {0, 1, 0}, false},
    {{0, 0, 0}, {0, 0, 2}, false},
    {{3, 5, 6}, {7, 3, 1}, true},
    {{3, 5, 6}, {7, 4, 1}, false},   // a carry through two digits fills level 1
    {{3, 5, 6}, {7, 3, 2}, true},
    {{3, 5, 6}, {7, 3, 3}, false},
    {{1, 3, 5}, {1, 3, 4}, true},
    {{1, 3, 5}, {1, 4, 0}, false},
    {{4, 8, 12, 16, 20}, {15, 15, 15, 15, 16}, true},
    {{4, 8, 12, 16, 20}, {15, 15, 15, 15, 17}, false},
    {{4, 8, 12, 16, 20}, {15, 15, 15, 16, 0}, false},
    {{7, 8, 9}, {127, 1, 2}, true},
    {{7, 8, 9}, {127, 1, 3}, false},
    {{7, 8, 9}, {128, 0, 0}, false},
    {{24, 25, 31}, {1, 1, 126}, true},
};

TEST(HuffmanStage, CodeAssignmentCarries) {
  for (const CarryCase& c : kCarryCases) {
    const LevelTable table = TableWithCounts(c.lengths, c.counts);
    SCOPED_TRACE(testing::PrintToString(c.lengths) + " " + testing::PrintToString(c.counts));
    // A negative d reads and builds the table, then returns d when possible.
    EXPECT_EQ(c.possible ? -7 : 0, RunStage(BuildBlock(table, {}, -7), 16, nullptr));
    if (!c.possible) continue;
    const std::vector<uint8_t> symbols = CodedSymbols(table);
    Bytes buffer;
    const int32_t n = static_cast<int32_t>(symbols.size());
    ASSERT_EQ(n, RunStage(BuildBlock(table, symbols), n, &buffer));
    EXPECT_EQ(symbols, Bytes(buffer.begin(), buffer.begin() + n));
  }
}

TEST(HuffmanStage, ImpossibleTableWritesNothing) {
  const LevelTable table = TableWithCounts({1, 2, 3}, {1, 1, 3});
  const Bytes block = BuildBlock(table, {0, 97, 194});
  Bytes buffer;
  EXPECT_EQ(0, RunStage(block, 3, &buffer, 200));
  Bytes original(block);
  original.resize(200, 0xEE);
  EXPECT_EQ(original, buffer);
}

// Three levels of 1, 2 and 3 bits: A = 0, B = 10, C = 110, D = 111, no code
// for any other byte value; the header takes 8 + 3 * 8 + 256 * 2 bits.
TEST(HuffmanStage, ThreeLevelExampleCodesByHand) {
  LevelTable table;
  table.lengths = {1, 2, 3};
  table.levelIndex.fill(3);
  table.levelIndex[0x41] = 0;
  table.levelIndex[0x42] = 1;
  table.levelIndex[0x43] = 2;
  table.levelIndex[0x44] = 2;
  BitSink sink;
  PutHeader(sink, table);
  EXPECT_EQ(544u, sink.BitCount());
  sink.PutBits("111 0 110 10 0 111 10");
  Bytes block;
  PutDecodedLength(block, 7);
  block.insert(block.end(), sink.Bytes().begin(), sink.Bytes().end());
  Bytes buffer;
  ASSERT_EQ(7, RunStage(block, 7, &buffer));
  EXPECT_EQ(Hex("44 41 43 42 41 44 42"), Bytes(buffer.begin(), buffer.begin() + 7));

  // Without D, 111 is no code: past the last level's end value of 7.
  table.levelIndex[0x44] = 3;
  BitSink bad;
  PutHeader(bad, table);
  bad.PutBits("0 111");
  Bytes badBlock;
  PutDecodedLength(badBlock, 2);
  badBlock.insert(badBlock.end(), bad.Bytes().begin(), bad.Bytes().end());
  EXPECT_EQ(0, RunStage(badBlock, 2, nullptr));
}

TEST(HuffmanStage, HeaderSizes) {
  // g = 2: one bit per level index.
  BitSink two;
  PutHeader(two, TableWithCounts({1, 1}, {1, 1}));
  EXPECT_EQ(8u + 16 + 256, two.BitCount());
  // The typical four levels of 6, 8, 9 and 11 bits: two bits per index.
  std::array<int, 256> lengths;
  for (int s = 0; s < 256; ++s) lengths[s] = s < 16 ? 6 : s < 112 ? 8 : s < 176 ? 9 : 11;
  const LevelTable typical = TableFromCodeLengths(lengths);
  ASSERT_EQ((std::vector<int>{6, 8, 9, 11}), typical.lengths);
  BitSink four;
  PutHeader(four, typical);
  EXPECT_EQ(552u, four.BitCount());
  std::vector<uint8_t> text;
  for (int i = 0; i < 5000; ++i) text.push_back(static_cast<uint8_t>((i * 7919) % 256));
  Bytes buffer;
  ASSERT_EQ(5000, RunStage(BuildBlock(typical, text), 5000, &buffer));
  EXPECT_EQ(text, Bytes(buffer.begin(), buffer.begin() + 5000));
}

TEST(HuffmanStage, SingleCodeOfNoBitsFillsTheOutput) {
  // Three levels of length 0, the last holding the one byte value 0x5A: a
  // code of no bits, so d bytes come from no bits at all.
  const LevelTable table = [] {
    LevelTable t;
    t.lengths = {0, 0, 0};
    t.levelIndex.fill(3);
    t.levelIndex[0x5A] = 2;
    return t;
  }();
  Bytes buffer;
  ASSERT_EQ(1000, RunStage(BuildBlock(table, std::vector<uint8_t>(1000, 0x5A)), 1000, &buffer));
  EXPECT_EQ(Bytes(1000, 0x5A), Bytes(buffer.begin(), buffer.begin() + 1000));

  // At the first level the one code fills the space before the last level.
  LevelTable early = table;
  early.levelIndex[0x5A] = 0;
  EXPECT_EQ(0, RunStage(BuildBlock(early, {}, 1000), 1000, nullptr));
}

TEST(HuffmanStage, LevelLengthsThatFallOrReachThirtyTwoBits) {
  struct Case {
    std::vector<int> lengths;
    int32_t result;
  };
  const Case cases[] = {
      {{8, 7, 9}, 0},     // falls
      {{6, 31, 31}, 1},   // the longest codes there are
      {{7, 32, 32}, 0},   // 32 bits
      {{1, 26, 26}, 1},   // a step of 25 bits
      {{1, 27, 27}, 0},   // a step of 26 bits
      {{20, 20, 20}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.lengths));
    LevelTable table = TableWithCounts(c.lengths, {1, 0, 0});
    EXPECT_EQ(c.result, RunStage(BuildBlock(table, {0}), 1, nullptr));
    EXPECT_EQ(c.result == 0 ? 0 : -1, RunStage(BuildBlock(table, {}, -1), 1, nullptr));
  }
}

TEST(HuffmanStage, ThirtyOneBitCodesThatFillTheCodeSpace) {
  // One byte value at each length 1 to 30, two at 31: the last level's end
  // value is 2^31.
  std::vector<int> lengths, counts;
  for (int length = 1; length <= 31; ++length) {
    lengths.push_back(length);
    counts.push_back(length == 31 ? 2 : 1);
  }
  const LevelTable table = TableWithCounts(lengths, counts);
  const std::vector<uint8_t> symbols = CodedSymbols(table);
  std::vector<uint8_t> text;
  for (int i = 0; i < 300; ++i) text.push_back(symbols[(i * 13) % symbols.size()]);
  Bytes buffer;
  ASSERT_EQ(300, RunStage(BuildBlock(table, text), 300, &buffer));
  EXPECT_EQ(text, Bytes(buffer.begin(), buffer.begin() + 300));
}

// Consecutive levels of one length are decoded as one level: the codes of
// each follow on from the one before, and every byte value must keep its
// own code, also with empty levels among them and when they fill the space.
TEST(HuffmanStage, LevelsOfOneLength) {
  struct Case {
    const char* what;
    std::vector<int> lengths;
    std::vector<int> counts;
  };
  const std::vector<int> ones(254, 1);
  auto withLastTwo = [&] {
    std::vector<int> counts = ones;
    counts.push_back(2);
    return counts;
  };
  const Case cases[] = {
      {"255 levels of 8 bits, the last filling the space", std::vector<int>(255, 8), withLastTwo()},
      {"255 levels of 19 bits, all behind one window prefix", std::vector<int>(255, 19), withLastTwo()},
      {"runs of one length with empty levels among them", {3, 3, 3, 6, 6, 6, 6, 11, 11}, {0, 2, 3, 0, 5, 0, 7, 30, 40}},
      {"pairs of lengths from 2 to 31 bits", {2, 2, 5, 5, 12, 12, 20, 20, 31, 31}, {1, 1, 3, 2, 4, 4, 5, 5, 6, 6}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const LevelTable table = TableWithCounts(c.lengths, c.counts);
    const std::vector<uint8_t> symbols = CodedSymbols(table);
    std::vector<uint8_t> text;
    for (size_t i = 0; i < 3000; ++i) text.push_back(symbols[(i * 13 + i / 7) % symbols.size()]);
    Bytes buffer;
    ASSERT_EQ(3000, RunStage(BuildBlock(table, text), 3000, &buffer));
    EXPECT_EQ(text, Bytes(buffer.begin(), buffer.begin() + 3000));
  }
}

TEST(HuffmanStage, UncodedByteValuesAndEmptyTables) {
  // g = 3 and every index 3: no byte value has a code.
  LevelTable none = TableWithCounts({4, 5, 6}, {0, 0, 0});
  EXPECT_EQ(0, RunStage(BuildBlock(none, {}, 1), 1, nullptr));
  EXPECT_EQ(-4, RunStage(BuildBlock(none, {}, -4), 1, nullptr));
  // An index beyond g names no level even when w has room for it.
  LevelTable table = TableWithCounts({2, 3, 3, 3, 3}, {1, 1, 1, 1, 1});
  table.levelIndex[255] = 7;
  const std::vector<uint8_t> symbols = CodedSymbols(table);
  Bytes buffer;
  ASSERT_EQ(5, RunStage(BuildBlock(table, symbols), 5, &buffer));
  EXPECT_EQ(symbols, Bytes(buffer.begin(), buffer.begin() + 5));
}

TEST(HuffmanStage, TruncatedBlocksFailAtEveryCut) {
  std::array<int, 256> lengths;
  for (int s = 0; s < 256; ++s) lengths[s] = s < 2 ? 2 : s < 6 ? 4 : s < 118 ? 9 : -1;
  const LevelTable table = TableFromCodeLengths(lengths);
  std::vector<uint8_t> text;
  for (int i = 0; i < 400; ++i) text.push_back(static_cast<uint8_t>((i * i) % 118));
  const Bytes block = BuildBlock(table, text);
  for (size_t cut = 0; cut < block.size(); ++cut) {
    SCOPED_TRACE(cut);
    const Bytes shorter(block.begin(), block.begin() + static_cast<ptrdiff_t>(cut));
    EXPECT_EQ(0, RunStage(shorter, 400, nullptr, 400));
  }
  EXPECT_EQ(400, RunStage(block, 400, nullptr));
}

}  // namespace
}  // namespace codec_test
