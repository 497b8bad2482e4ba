// The block encoder: turns one block of bytes into a coded block that the
// block codec decodes back exactly.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

// The most bytes one block may carry (the archive's largest block size).
inline constexpr size_t kMaxBlockBytes = 4000000;

// Replaces out with the coded block of data (the 4-byte decoded length and
// the bit stream), at most data.size() + 16 bytes long. Chooses the stored or
// the run form, whichever codes smaller. Returns false, with out empty, for
// an empty block (a block must decode to at least one byte) or one of more
// than kMaxBlockBytes.
bool EncodeBlock(std::span<const uint8_t> data, std::vector<uint8_t>& out);
