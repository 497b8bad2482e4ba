// The block encoder: turns one block of bytes into a coded block that the
// block codec decodes back exactly.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "archive/archive_format.h"
#include "packer/run_tokens.h"

// The most bytes one block may carry (the archive's largest block size).
inline constexpr size_t kMaxBlockBytes = archive_format::kMaxBlockSize;

// Replaces out with the coded block of data (the 4-byte decoded length and
// the bit stream), at most data.size() + 16 bytes long. Chooses the stored or
// the run form, whichever codes smaller. Returns false, with out empty, for
// an empty block (a block must decode to at least one byte) or one of more
// than kMaxBlockBytes.
bool EncodeBlock(std::span<const uint8_t> data, std::vector<uint8_t>& out);

// What encoding keeps from one block to the next (about 7 bytes per byte of
// the largest block seen), for a caller that encodes many.
struct EncoderScratch {
  RunParseScratch parse;
  std::array<std::vector<uint8_t>, 2> streams;  // the best stream so far, and the next candidate
};
bool EncodeBlock(std::span<const uint8_t> data, std::vector<uint8_t>& out, EncoderScratch& scratch);
