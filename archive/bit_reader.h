// Reads bit fields most significant bit first, through a 32-bit accumulator
// that is topped up one byte at a time.
#pragma once

#include <cstdint>

class BitReader {
 public:
  BitReader() = default;
  // The reader never owns the bytes it reads: nothing to release.
  virtual ~BitReader();

  // Points the reader at `length` bytes; `bitLimit` becomes the number of
  // bits after the first 4 bytes (length * 8 - 32, kept within int32).
  // A non-zero flag starts filled (ResetFilled), zero starts empty.
  void Init(const uint8_t* data, int32_t length, int flag);
  // A full accumulator of 32 zero bits, at the first byte.
  void ResetFilled();
  // An empty accumulator at the first byte; byteCount is kept.
  void ResetEmpty();
  // Sets bitsTotal to bits when bits > 0, then byteCount to the bytes that
  // bitsTotal covers, rounded up.
  void Finish(int32_t bits);

  // Reads a field of `width` bits (0 to 25). The refill tops the accumulator
  // up to 25..32 bits, so it may fetch up to 3 bytes past the byte holding
  // the field's last bit: those bytes must be readable.
  uint32_t ReadField(int width) {
    if (bitCount < width) {
      while (bitCount <= 24) {
        accumulator = accumulator << 8 | *current++;
        bitCount += 8;
      }
    }
    bitCount -= width;
    // 64-bit, so that a 0-bit field taken from a full accumulator is 0.
    const uint32_t value = static_cast<uint32_t>(uint64_t{accumulator} >> bitCount);
    accumulator -= static_cast<uint32_t>(uint64_t{value} << bitCount);
    bitsTotal += width;
    return value;
  }

  // `count` fields of `width` bits (1 to 8) into `fields`, as as many calls
  // of ReadField would give them, but each straight from its bytes: a block
  // header's 256 level indices cost a few instructions each rather than a
  // call. For a reader reset empty (so that bitsTotal is its bit position),
  // whose bytes stay readable 3 bytes past the last field's.
  void ReadFields(int width, int32_t count, int32_t* fields);

  // Whether more bits have been read than the data holds after its first
  // 4 bytes.
  bool Overrun() const { return bitsTotal > bitLimit; }

  const uint8_t* start = nullptr;    // first byte of the bit data
  const uint8_t* current = nullptr;  // next byte to fetch
  uint32_t accumulator = 0;          // unread bits, in the low bitCount bits
  int32_t bitCount = 0;              // valid bits in accumulator, 0..32
  int32_t bitsTotal = 0;             // bits read since the last reset
  int32_t byteCount = 0;             // set by Finish
  int32_t length = 0;                // bytes given to Init
  int32_t bitLimit = 0;              // length * 8 - 32
};
