// Optimal prefix-code lengths under a length limit: the Huffman code where
// it keeps to the limit, else package-merge.
#pragma once

#include <array>
#include <cstdint>

#include "archive/huffman_header.h"

using ByteCounts = std::array<uint64_t, 256>;
using CodeLengths = std::array<uint8_t, 256>;  // 0: the byte value has no code

// The longest code the encoder ever writes. The decoder reads codes in steps
// of at most 25 bits and keeps lengths below 32; staying well under that also
// keeps every canonical code value within 32-bit arithmetic.
inline constexpr int kMaxCodeLength = 24;
static_assert(kMaxCodeLength <= huffman::kMaxLength && kMaxCodeLength <= huffman::kMaxStep);

// Code lengths that minimise sum(count * length) with every length at most
// maxLength (1 to kMaxCodeLength). Byte values with count 0 get no code unless
// codeEveryValue is set, in which case they take part with weight 0. A single
// coded value gets a 1-bit code (a prefix code needs at least one bit).
CodeLengths LimitedCodeLengths(const ByteCounts& counts, int maxLength, bool codeEveryValue);
