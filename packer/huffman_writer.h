// Writes a coded block: the 4-byte decoded length, then the code table and
// the canonical codes of the stream, most significant bit first.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "packer/level_table.h"

// Appends the coded block of `stream` to out. Every byte of the stream must
// have a code in the table; if one has none, nothing is appended.
void WriteHuffmanBlock(const HuffmanTable& table, std::span<const uint8_t> stream,
                       std::vector<uint8_t>& out);
