// The run form of the second block stage (archive/block_format.h): chooses
// the tokens that cost the fewest coded bits.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "archive/block_format.h"

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
