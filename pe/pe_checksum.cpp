#include "pe/pe_checksum.h"

uint32_t PeCheckSum(std::span<const uint8_t> file, uint32_t checkSumOffset) {
  auto byteAt = [&](size_t i) -> uint32_t {
    if (i >= file.size() || (i >= checkSumOffset && i - checkSumOffset < 4)) return 0;
    return file[i];
  };
  // Ones' complement addition may fold its carries at the end: the 64-bit
  // sum of at most 2^31 words cannot overflow.
  uint64_t sum = 0;
  for (size_t i = 0; i < file.size(); i += 2) sum += byteAt(i) | byteAt(i + 1) << 8;
  while (sum > 0xFFFF) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint32_t>(sum + file.size());
}
