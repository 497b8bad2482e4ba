#include "archive/bit_reader.h"

BitReader::~BitReader() = default;

void BitReader::ReadFields(int width, int32_t count, int32_t* fields) {
  uint32_t position = static_cast<uint32_t>(bitsTotal);
  for (int32_t k = 0; k < count; ++k, position += static_cast<uint32_t>(width)) {
    const uint8_t* at = start + (position >> 3);
    // A field of up to 8 bits lies within the 15 bits from its byte on.
    const uint32_t bits = static_cast<uint32_t>(at[0] << 8 | at[1]) << (position & 7);
    fields[k] = static_cast<int32_t>((bits & 0xFFFF) >> (16 - width));
  }
  // On from the end of the last field, byte by byte as ReadField goes on.
  bitsTotal = static_cast<int32_t>(position);
  current = start + (position >> 3);
  bitCount = 0;
  accumulator = 0;
  if ((position & 7) != 0) {
    bitCount = 8 - static_cast<int32_t>(position & 7);
    accumulator = *current++ & ((1u << bitCount) - 1);
  }
}

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
