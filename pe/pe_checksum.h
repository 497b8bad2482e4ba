// The CheckSum field of a PE image's optional header.
#pragma once

#include <cstdint>
#include <span>

// The image's checksum as Windows computes it: the file summed as 16-bit
// little-endian words with end-around carry (an odd last byte counts as a
// word of its own), the 4-byte CheckSum field at checkSumOffset left out,
// folded to 16 bits, plus the file's length.
uint32_t PeCheckSum(std::span<const uint8_t> file, uint32_t checkSumOffset);
