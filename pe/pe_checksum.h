// The CheckSum field of a PE image's optional header.
#pragma once

#include <cstdint>
#include <span>

// The image's checksum as Windows computes it: the file summed as 16-bit
// little-endian words with end-around carry (an odd last byte counts as a
// word of its own), the 4-byte CheckSum field at checkSumOffset left out,
// folded to 16 bits, plus the file's length.
uint32_t PeCheckSum(std::span<const uint8_t> file, uint32_t checkSumOffset);

// The same sum over a file that passes by in pieces of any length, for one
// too large to hold: the caller hands in the CheckSum field as zeros.
class PeCheckSumAccumulator {
 public:
  void Add(std::span<const uint8_t> bytes);
  uint32_t Finish() const;

 private:
  // Ones' complement addition may fold its carries at the end: 64-bit sums
  // of at most 2^32 bytes cannot overflow.
  uint64_t low_ = 0;   // bytes at even file offsets
  uint64_t high_ = 0;  // at odd ones, the high bytes of their words
  uint64_t length_ = 0;
};
