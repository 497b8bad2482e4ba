// The level table that heads a Huffman-coded block, as the reader
// (huffman_tables.cpp) takes it apart and the encoder (packer/) writes and
// prices it:
//
//   g          the level count, kLevelCountBits
//   L[0..g-1]  the code length of each level, kLevelLengthBits each,
//              never falling, at most kMaxLength, and stepping by at most
//              kMaxStep
//   index[256] each byte value's level, LevelIndexWidth(g) bits each, only
//              when g >= 2; an index of g or more gives the value no code
#pragma once

#include <cstdint>

namespace huffman {

inline constexpr int kLevelCountBits = 8;   // up to 255 levels
inline constexpr int kLevelLengthBits = 8;
inline constexpr int kMaxLength = 31;  // code lengths must fit a 32-bit code value
inline constexpr int kMaxStep = 25;    // the widest field the reader delivers

// Width of each byte value's level index: the smallest w >= 1 with 2^w >= g.
constexpr int LevelIndexWidth(int levelCount) {
  int width = 1;
  for (int power = 2; power < levelCount; power *= 2) ++width;
  return width;
}

// Bits of the level count, level lengths and level indices of g levels.
constexpr uint64_t HeaderBits(int levelCount) {
  uint64_t bits = kLevelCountBits + kLevelLengthBits * static_cast<uint64_t>(levelCount);
  if (levelCount >= 2) bits += 256 * static_cast<uint64_t>(LevelIndexWidth(levelCount));
  return bits;
}

}  // namespace huffman
