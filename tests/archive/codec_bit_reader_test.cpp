// The bit reader: its reset states and the field read that the Huffman
// stage's header goes through.
#include <gtest/gtest.h>

#include <climits>

#include "archive/bit_reader.h"

namespace {

TEST(BitReader, InitEmptyStartsAtTheFirstByteWithTheBitLimit) {
  const uint8_t data[8] = {};
  BitReader reader;
  reader.byteCount = 5;
  reader.Init(data, 8, 0);
  EXPECT_EQ(data, reader.start);
  EXPECT_EQ(data, reader.current);
  EXPECT_EQ(8, reader.length);
  EXPECT_EQ(32, reader.bitLimit);
  EXPECT_EQ(0, reader.bitCount);
  EXPECT_EQ(0u, reader.accumulator);
  EXPECT_EQ(0, reader.bitsTotal);
  EXPECT_EQ(5, reader.byteCount);  // an empty reset keeps it
}

TEST(BitReader, InitFilledHoldsThirtyTwoZeroBits) {
  const uint8_t data[4] = {0xFF, 0xFF, 0xFF, 0xFF};
  BitReader reader;
  reader.byteCount = 5;
  reader.Init(data, 4, 1);
  EXPECT_EQ(32, reader.bitCount);
  EXPECT_EQ(0, reader.byteCount);
  EXPECT_EQ(0, reader.bitLimit);
  EXPECT_EQ(0u, reader.ReadField(25));  // from the accumulator, not the data
  EXPECT_EQ(0u, reader.ReadField(0));
  EXPECT_EQ(data, reader.current);
}

TEST(BitReader, BitLimitOfHugeAndTinyLengthsStaysInRange) {
  BitReader reader;
  reader.Init(nullptr, INT32_MAX, 0);
  EXPECT_EQ(INT32_MAX, reader.bitLimit);
  reader.Init(nullptr, 2, 0);
  EXPECT_EQ(-16, reader.bitLimit);
  reader.Init(nullptr, INT32_MIN, 0);
  EXPECT_EQ(INT32_MIN, reader.bitLimit);
}

TEST(BitReader, FieldsComeMostSignificantBitFirstAcrossBytes) {
  const uint8_t data[] = {0xA5, 0x3C, 0x0F, 0xF0, 0x12, 0x34, 0, 0, 0};
  BitReader reader;
  reader.Init(data, 6, 0);
  EXPECT_EQ(0x5u, reader.ReadField(3));      // 101
  EXPECT_EQ(0x0Au, reader.ReadField(6));     // 00101 0
  EXPECT_EQ(0x3C0Fu, reader.ReadField(15));  // 0111100 00001111
  EXPECT_EQ(0u, reader.ReadField(0));
  EXPECT_EQ(0xF012u, reader.ReadField(16));
  EXPECT_EQ(40, reader.bitsTotal);
}

TEST(BitReader, RefillTopsUpToMoreThanTwentyFourBits) {
  const uint8_t data[] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0};
  BitReader reader;
  reader.Init(data, 8, 0);
  EXPECT_EQ(0x1u, reader.ReadField(4));
  EXPECT_EQ(data + 4, reader.current);  // four bytes: 32 bits held
  EXPECT_EQ(28, reader.bitCount);
  EXPECT_EQ(0x468ACFu, reader.ReadField(25));  // 0010 0011 ... 0111 1
  EXPECT_EQ(3, reader.bitCount);
  EXPECT_EQ(0x0u, reader.ReadField(3));  // no refill while bits suffice
  EXPECT_EQ(data + 4, reader.current);
  EXPECT_EQ(0x9ABCDEu, reader.ReadField(24));  // empty: refills four bytes
  EXPECT_EQ(data + 8, reader.current);
  EXPECT_EQ(8, reader.bitCount);
  EXPECT_EQ(0xF0u, reader.accumulator);
}

// ReadFields against as many calls of ReadField: the same fields, and the
// same reads after them, from every start bit and at every width.
TEST(BitReader, ReadFieldsMatchesFieldByField) {
  uint8_t data[64];
  for (int k = 0; k < 64; ++k) data[k] = static_cast<uint8_t>(k * 37 + 11);
  for (int lead = 0; lead < 9; ++lead) {
    for (int width = 1; width <= 8; ++width) {
      BitReader one, many;
      one.Init(data, 64, 0);
      many.Init(data, 64, 0);
      one.ReadField(lead);
      many.ReadField(lead);
      int32_t fields[40];
      many.ReadFields(width, 40, fields);
      for (int32_t field : fields) ASSERT_EQ(one.ReadField(width), static_cast<uint32_t>(field)) << lead << " " << width;
      EXPECT_EQ(one.bitsTotal, many.bitsTotal);
      EXPECT_EQ(one.ReadField(13), many.ReadField(13)) << lead << " " << width;
      EXPECT_EQ(one.ReadField(25), many.ReadField(25)) << lead << " " << width;
    }
  }
}

TEST(BitReader, OverrunIsMoreBitsThanTheDataHolds) {
  const uint8_t data[12] = {};
  BitReader reader;
  reader.Init(data, 6, 0);  // 16 bits after the first four bytes
  reader.ReadField(16);
  EXPECT_FALSE(reader.Overrun());
  reader.ReadField(1);
  EXPECT_TRUE(reader.Overrun());
}

TEST(BitReader, FinishRoundsTheBitsUpToBytes) {
  BitReader reader;
  reader.Init(nullptr, 0, 0);
  reader.bitsTotal = 17;
  reader.Finish(0);
  EXPECT_EQ(17, reader.bitsTotal);
  EXPECT_EQ(3, reader.byteCount);
  reader.Finish(16);
  EXPECT_EQ(16, reader.bitsTotal);
  EXPECT_EQ(2, reader.byteCount);
  reader.Finish(-5);  // not positive: bitsTotal stays
  EXPECT_EQ(2, reader.byteCount);
  reader.bitsTotal = -9;
  reader.Finish(0);
  EXPECT_EQ(0, reader.byteCount);  // (-9 + 7) / 8 truncates toward zero
  reader.Finish(INT32_MAX);
  EXPECT_EQ(268435456, reader.byteCount);
}

}  // namespace
