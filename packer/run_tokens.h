// The run form of the second block stage: after the form byte 1 and the
// escape byte E come literals (any byte but E), the escaped E (E, 0xFF), and
// runs of a 1- to 8-byte pattern (E, token byte, [long-run count byte],
// pattern bytes). Chooses the tokens that cost the fewest coded bits.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

inline constexpr int kMaxPatternLength = 8;
inline constexpr int kMaxShortRepeats = 16;  // short form: N - 1 in the token's low nibble
inline constexpr int kMaxLongRepeats = 3856;  // long form: N = 16 + 15 x + low nibble

// A long run of 8-byte patterns cannot use the low nibble 15 (its token byte
// would be 0xFF, the escaped E), which caps it one repeat lower.
inline int MaxRepeats(int patternLength) {
  return patternLength == kMaxPatternLength ? kMaxLongRepeats - 1 : kMaxLongRepeats;
}

// What each byte value costs in the coded stream, in bits.
using ByteBits = std::array<uint32_t, 256>;

// The least frequent byte value of data: each literal occurrence of E costs
// a second byte.
uint8_t ChooseEscapeByte(std::span<const uint8_t> data);

// The run-form stream of data (at least one byte) with this escape byte
// whose bytes cost the fewest bits under `bits`: a shortest-path parse over
// every position, not a greedy one. It is exact wherever at most 64 repeats
// fit; inside longer stretches it tries every short count and the 15
// longest long counts of each pattern length, and a pattern that repeats a
// shorter one only at its longest.
//
// The parse's tables take 6 bytes per byte of data; `scratch` keeps them
// from one block to the next, since fresh ones for every block cost page
// faults worth about a tenth of the encoding time. `stream` is replaced.
struct RunParseScratch {
  std::vector<uint32_t> costFrom;
  std::vector<uint16_t> choice;
};
void BuildRunStream(std::span<const uint8_t> data, uint8_t escape, const ByteBits& bits, RunParseScratch& scratch,
                    std::vector<uint8_t>& stream);

inline std::vector<uint8_t> BuildRunStream(std::span<const uint8_t> data, uint8_t escape, const ByteBits& bits) {
  RunParseScratch scratch;
  std::vector<uint8_t> stream;
  BuildRunStream(data, escape, bits, scratch, stream);
  return stream;
}
