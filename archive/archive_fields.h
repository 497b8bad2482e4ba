// The archive's numbers: little-endian, 32-bit signed lengths and 64-bit
// times. Callers check the range first; these only assemble the bytes.
#pragma once

#include <cstdint>

inline int32_t LoadInt32(const uint8_t* bytes) {
  const uint32_t value = uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 |
                         uint32_t{bytes[2]} << 16 | uint32_t{bytes[3]} << 24;
  return static_cast<int32_t>(value);
}

inline uint64_t LoadUint64(const uint8_t* bytes) {
  return uint64_t{static_cast<uint32_t>(LoadInt32(bytes))} |
         uint64_t{static_cast<uint32_t>(LoadInt32(bytes + 4))} << 32;
}
