// Compares a byte with the eight bytes after it in one step, for the scans
// that look for repeated patterns.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

// One flag per byte lane: the top bit of lane p - 1 is set when at[0] ==
// at[p] (p = 1 to 8). Lanes past the end of the data stay clear.
using LaneFlags = uint64_t;

inline constexpr int kLanes = 8;

// The p of the lowest lane set in flags (not 0).
inline int LowestLane(LaneFlags flags) { return std::countr_zero(flags) / 8 + 1; }

// `after`: how many bytes of the data follow at[0].
inline LaneFlags EqualAhead(const uint8_t* at, size_t after) {
  static_assert(std::endian::native == std::endian::little, "lanes follow the byte order of memory");
  if (after < kLanes) {
    LaneFlags flags = 0;
    for (size_t p = 1; p <= after; ++p) {
      if (at[p] == at[0]) flags |= LaneFlags{0x80} << (8 * (p - 1));
    }
    return flags;
  }
  constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
  uint64_t ahead;
  std::memcpy(&ahead, at + 1, sizeof ahead);
  // A lane is zero exactly where the bytes are equal; adding 0x7F carries
  // into a lane's top bit only when its low seven bits are not all zero.
  const uint64_t differ = ahead ^ (at[0] * 0x0101010101010101ull);
  return ~(((differ & kLow7) + kLow7) | differ | kLow7);
}
