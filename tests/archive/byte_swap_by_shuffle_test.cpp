// The byte reversal of the WebAssembly build (a vector shuffle), built here
// natively, against the bytes themselves: a lane out of place would decode
// every block wrongly there alone.
#include <gtest/gtest.h>

#include <cstdint>

#include "base/big_endian.h"

static_assert(KORMIT_BYTE_SWAP_BY_SHUFFLE, "this program tests the shuffle");

TEST(ByteSwapByShuffle, ReversesEveryLane) {
  for (const uint64_t value : {uint64_t{0}, uint64_t{0x0102030405060708}, uint64_t{0x8000000000000001},
                               uint64_t{0xFFEEDDCCBBAA9988}, ~uint64_t{0}}) {
    uint64_t expected = 0;
    for (int k = 0; k < 8; ++k) expected |= (value >> (8 * k) & 0xFF) << (56 - 8 * k);
    EXPECT_EQ(ByteSwap64(value), expected) << std::hex << value;
  }
  const uint8_t bytes[9] = {0xA1, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09};
  EXPECT_EQ(LoadBigEndian64(bytes + 1), uint64_t{0x0203040506070809});
  EXPECT_EQ(LoadBigEndian64(bytes), uint64_t{0xA102030405060708});
}
