// The code table that heads a coded block: the levels (distinct code lengths,
// strictly increasing, possibly with empty levels in between) and the length
// of each byte value's code. Chooses the table that makes a given byte string
// smallest, header included.
#pragma once

#include <cstdint>
#include <vector>

#include "archive/huffman_header.h"
#include "packer/code_lengths.h"

struct HuffmanTable {
  std::vector<uint8_t> levelLengths;  // L[0..g-1]
  CodeLengths codeLength{};           // each non-zero value is one of levelLengths
};

// g = 1, L[0] = 8: every byte value is its own 8-bit code and the header
// carries no level indices.
HuffmanTable IdentityTable();

// Width of each byte value's level index (archive/huffman_header.h).
using huffman::LevelIndexWidth;

// Bits of the level count, level lengths and level indices.
uint64_t TableHeaderBits(const HuffmanTable& table);

// Header bits plus the codes of a string with these byte counts.
uint64_t CodedBits(const HuffmanTable& table, const ByteCounts& counts);

// The table with the fewest coded bits for these counts (at least one count
// must be non-zero). It always satisfies the decoder's code assignment: at
// most kMaxCodeLength bits, no level before the last that uses up the whole
// code space, and an index value beyond the levels for uncoded byte values.
HuffmanTable ChooseHuffmanTable(const ByteCounts& counts);
