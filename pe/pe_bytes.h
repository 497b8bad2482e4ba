// Fields of a PE image: little-endian numbers (the archive's helpers, the
// same byte order) and the alignment of sections and data.
#pragma once

#include <cstdint>

#include "base/little_endian.h"

// value rounded up to a multiple of alignment (a power of two), in 64 bits
// so that it cannot wrap.
inline uint64_t AlignUp(uint64_t value, uint32_t alignment) {
  return (value + alignment - 1) & ~static_cast<uint64_t>(alignment - 1);
}
