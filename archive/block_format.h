// A coded block, as the codec (archive/block_codec.cpp) reads it and the
// block encoder (packer/) writes it. The Huffman stage's output, the run
// stage's input, starts with a form byte:
//
//   0  stored: the block's bytes follow as they are
//   1  run form: an escape byte E, then tokens until the end:
//        any byte but E                 itself
//        E, 0xFF                        E itself
//        E, 0LLLNNNN, pattern           a short run: the (LLL + 1)-byte
//                                       pattern repeated NNNN + 1 times (1-16)
//        E, 1LLLNNNN, X, pattern        a long run: the (LLL + 1)-byte
//                                       pattern repeated 16 + 15 X + NNNN times
//
// A long run of 8-byte patterns cannot have NNNN = 15, whose token would be
// 0xFF, the escaped E: 3855 repeats at the most, not 3856.
#pragma once

#include <cstdint>

namespace block_format {

inline constexpr uint8_t kStoredForm = 0;
inline constexpr uint8_t kRunForm = 1;

// After E: the escaped escape byte, and the first token of a long run.
inline constexpr uint8_t kEscapedEscape = 0xFF;
inline constexpr uint8_t kFirstLongRun = 0x80;

inline constexpr int kMaxPatternLength = 8;
inline constexpr int kMaxShortRepeats = 16;
// A long run's count byte X counts this many repeats.
inline constexpr int kLongRunStep = 15;
inline constexpr int kMaxLongRepeats = kMaxShortRepeats + kLongRunStep * 255 + 15;  // 3856

// The most repeats a run of patterns of this length can say.
constexpr int MaxRepeats(int patternLength) {
  return patternLength == kMaxPatternLength ? kMaxLongRepeats - 1 : kMaxLongRepeats;
}

// The token of a short run (1 to kMaxShortRepeats repeats), and of a long
// run whose count byte X is written after it: repeats = kMaxShortRepeats +
// kLongRunStep X + nibble.
constexpr int ShortRunToken(int patternLength, int repeats) { return (patternLength - 1) << 4 | (repeats - 1); }
constexpr int LongRunToken(int patternLength, int nibble) { return kFirstLongRun | (patternLength - 1) << 4 | nibble; }

// What a token says: the pattern's length, and the repeats of a short run
// or, with the count byte after it, of a long one.
constexpr int RunPatternLength(uint8_t token) { return ((token >> 4) & 7) + 1; }
constexpr int ShortRunRepeats(uint8_t token) { return (token & 0x0F) + 1; }
constexpr int LongRunRepeats(uint8_t token, uint8_t count) {
  return kMaxShortRepeats + kLongRunStep * count + (token & 0x0F);
}

}  // namespace block_format
