#include "archive/bit_reader.h"

BitReader::~BitReader() = default;

void BitReader::Init(const uint8_t* data, int32_t byteLength, int flag) {
  start = data;
  length = byteLength;
  // In 64 bits: a length above 256 MiB would overflow int32 here.
  const int64_t bits = int64_t{byteLength} * 8 - 32;
  bitLimit = bits > INT32_MAX   ? INT32_MAX
             : bits < INT32_MIN ? INT32_MIN
                                : static_cast<int32_t>(bits);
  if (flag != 0) {
    ResetFilled();
  } else {
    ResetEmpty();
  }
}

void BitReader::ResetFilled() {
  bitCount = 32;
  byteCount = 0;
  bitsTotal = 0;
  accumulator = 0;
  current = start;
}

void BitReader::ResetEmpty() {
  bitsTotal = 0;
  accumulator = 0;
  current = start;
  bitCount = 0;
}

void BitReader::Finish(int32_t bits) {
  if (bits > 0) bitsTotal = bits;
  // Truncating signed division, in 64 bits so that +7 cannot overflow.
  byteCount = static_cast<int32_t>((int64_t{bitsTotal} + 7) / 8);
}
