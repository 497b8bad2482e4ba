// The run stage, and the codec that runs both stages: one tiny input per
// token form and per failure, with the result and the bytes left behind.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/block_codec.h"
#include "tests/archive/codec_block_builder.h"

namespace codec_test {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Repeat(const Bytes& pattern, int times) {
  Bytes out;
  for (int i = 0; i < times; ++i) out.insert(out.end(), pattern.begin(), pattern.end());
  return out;
}

struct RunCase {
  const char* what;
  std::string input;  // hex; the run stage's n input bytes
  int32_t capacity;
  int32_t result;
  Bytes output;  // the first `result` bytes afterwards
};

// E is 0xE5 in the run form cases.
const RunCase kRunCases[] = {
    {"stored form", "00 616263", 4, 3, Hex("616263")},
    {"stored form, nothing stored", "00", 3, 0, {}},
    {"escaped escape byte", "01E5 E5FF", 4, 1, Hex("E5")},
    {"short run of one byte once", "01E5 E500 62", 4, 1, Hex("62")},
    {"short run, 3-byte pattern 16 times", "01E5 E52F 616263", 48, 48, Repeat(Hex("616263"), 16)},
    {"shortest long run", "01E5 E580 00 62", 16, 16, Bytes(16, 0x62)},
    {"long run counts x by 15", "01E5 E580 01 62", 31, 31, Bytes(31, 0x62)},
    {"same count from another nibble", "01E5 E58F 00 62", 31, 31, Bytes(31, 0x62)},
    {"longest long run of 8 bytes", "01E5 E5FE FF 0102030405060708", 30840, 30840,
     Repeat(Hex("0102030405060708"), 3855)},
    {"longest long run, one byte short of room", "01E5 E5FE FF 0102030405060708", 30839, -1, {}},
    {"literals and tokens mixed", "01E5 41 E5FF 42 E511 4344 45", 8, 8, Hex("41 E5 42 43444344 45")},
    {"escape byte chosen as a common value", "0141 42 41FF 41 00", 16, -1, {}},
    {"run form, empty", "01E5", 4, 0, {}},
    {"run form without escape byte", "01", 4, -1, {}},
    {"escape as the last byte", "01E5 61 E5", 4, -1, {}},
    {"long run without its count", "01E5 E580", 16, -1, {}},
    {"short run without its pattern", "01E5 E500", 4, -1, {}},
    {"short run, pattern cut off", "01E5 E510 61", 4, -1, {}},
    {"long run, pattern cut off", "01E5 E590 00 61", 32, -1, {}},
    {"16 copies fit a capacity of 16", "01E5 E50F 61", 16, 16, Bytes(16, 0x61)},
    {"16 copies pass a capacity of 15", "01E5 E50F 61", 15, -1, {}},
    {"literals past the capacity", "01E5 E50F 61 626364", 18, -1, {}},
    {"literals up to the capacity", "01E5 E50F 61 626364", 19, 19, Hex("61616161616161616161616161616161 626364")},
    {"escaped escape past the capacity", "01E5 E50F 61 E5FF", 16, -1, {}},
    {"input left at the capacity", "01E5 E50F 61 E500 62", 16, -1, {}},
    {"form byte 2", "02 616263", 4, -1, {}},
    {"form byte FF", "FF", 4, -1, {}},
};

TEST(RunStage, HandBuiltInputs) {
  for (const RunCase& c : kRunCases) {
    SCOPED_TRACE(c.what);
    const Bytes input = Hex(c.input);
    const int32_t n = static_cast<int32_t>(input.size());
    Bytes buffer(input);
    buffer.resize(static_cast<size_t>(std::max(c.capacity, n)) + 1, 0xEE);
    BlockCodec codec;
    ASSERT_EQ(c.result, codec.DecodeRuns(buffer.data(), n, c.capacity));
    if (c.result > 0) {
      EXPECT_EQ(c.output, Bytes(buffer.begin(), buffer.begin() + c.result));
    } else if (c.result < 0) {
      // A failure leaves the input, and in the run form the sentinel.
      EXPECT_EQ(input, Bytes(buffer.begin(), buffer.begin() + n));
      if (n >= 2 && input[0] == 1) {
        EXPECT_EQ(input[1], buffer[static_cast<size_t>(n)]);
      }
    }
  }
}

TEST(RunStage, NoInputOrNegativeCapacityFails) {
  uint8_t buffer[8] = {0, 0x61, 0x62, 0x63};
  BlockCodec codec;
  EXPECT_EQ(-1, codec.DecodeRuns(buffer, 0, 4));
  EXPECT_EQ(-1, codec.DecodeRuns(buffer, -3, 4));
  EXPECT_EQ(-1, codec.DecodeRuns(buffer, 1, -1));
  // Stored bytes beyond the capacity are refused, not returned.
  EXPECT_EQ(-1, codec.DecodeRuns(buffer, 4, 2));
  EXPECT_EQ(3, codec.DecodeRuns(buffer, 4, 3));
}

// The identity table (g = 1, L[0] = 8) carries the run stage's input as is.
Bytes IdentityBlock(const Bytes& payload, int32_t d) {
  Bytes block;
  PutDecodedLength(block, d);
  block.push_back(0x01);
  block.push_back(0x08);
  block.insert(block.end(), payload.begin(), payload.end());
  return block;
}

struct CodecCase {
  const char* what;
  Bytes block;
  int32_t capacity;
  int32_t result;
  Bytes output;
  bool untouched = false;  // a Huffman failure: the run stage never ran
};

TEST(BlockCodec, DecodeRunsBothStages) {
  const Bytes pattern = Hex("0102030405060708");
  Bytes longRun = Hex("01E5 E5FE FF");
  longRun.insert(longRun.end(), pattern.begin(), pattern.end());
  const CodecCase cases[] = {
      {"stored block", IdentityBlock(Hex("00 616263"), 4), 16, 3, Hex("616263")},
      {"run block", IdentityBlock(Hex("01E5 E52F 616263"), 7), 48, 48, Repeat(Hex("616263"), 16)},
      {"block at the capacity", IdentityBlock(longRun, 13), 30840, 30840, Repeat(pattern, 3855)},
      {"run past the capacity", IdentityBlock(longRun, 13), 30839, -1, {}},
      {"stored, empty", IdentityBlock(Hex("00"), 1), 16, 0, {}},
      {"run form, empty", IdentityBlock(Hex("01E5"), 2), 16, 0, {}},
      {"unknown form", IdentityBlock(Hex("03"), 1), 16, -1, {}},
      {"bits run out", IdentityBlock(Hex("00 616263"), 5), 16, 0, {}},
      {"decoded length above the capacity", IdentityBlock(Hex("00 616263"), 17), 16, 0, {}, true},
      {"impossible table", Hex("04000000 0107 00616263"), 16, 0, {}, true},
      {"zero decoded length", IdentityBlock(Hex("00 616263"), 0), 16, 0, {}, true},
      {"negative decoded length", IdentityBlock(Hex("00 616263"), -9), 16, -9, {}, true},
  };
  for (const CodecCase& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes buffer(c.block);
    buffer.resize(std::max(buffer.size(), static_cast<size_t>(c.capacity) + 1), 0xEE);
    const Bytes before = buffer;
    BlockCodec codec;
    ASSERT_EQ(c.result, codec.Decode(buffer.data(), static_cast<int32_t>(c.block.size()), c.capacity));
    if (c.result > 0) {
      EXPECT_EQ(c.output, Bytes(buffer.begin(), buffer.begin() + c.result));
    }
    if (c.untouched) {
      EXPECT_EQ(before, buffer);
    }
  }
}

TEST(BlockCodec, OneCodecDecodesBlockAfterBlock) {
  BlockCodec codec;
  for (int round = 0; round < 3; ++round) {
    const Bytes payload = Hex("01E5 E520 414243 E5FF");
    Bytes buffer = IdentityBlock(payload, static_cast<int32_t>(payload.size()));
    const int32_t length = static_cast<int32_t>(buffer.size());
    buffer.resize(64, 0);
    ASSERT_EQ(4, codec.Decode(buffer.data(), length, 32));
    EXPECT_EQ(Hex("414243 E5"), Bytes(buffer.begin(), buffer.begin() + 4));
  }
}

}  // namespace
}  // namespace codec_test
