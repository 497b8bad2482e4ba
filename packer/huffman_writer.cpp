#include "packer/huffman_writer.h"

#include <array>

#include "archive/huffman_header.h"
#include "packer/bit_writer.h"

namespace {

// The decoder's assignment: levels in order, and within a level the byte
// values in increasing order take consecutive code values; the first code of
// a level is the next free code of the level before, shifted left by the
// difference of their lengths (an empty level only shifts).
std::array<uint32_t, 256> CanonicalCodes(const HuffmanTable& table) {
  std::array<uint32_t, 256> codes{};
  uint32_t next = 0;
  int previousLength = table.levelLengths.empty() ? 0 : table.levelLengths[0];
  for (const uint8_t length : table.levelLengths) {
    next <<= (length - previousLength);
    previousLength = length;
    for (int s = 0; s < 256; ++s) {
      if (table.codeLength[s] == length) codes[s] = next++;
    }
  }
  return codes;
}

}  // namespace

void WriteHuffmanBlock(const HuffmanTable& table, std::span<const uint8_t> stream,
                       std::vector<uint8_t>& out) {
  ByteCounts counts{};
  for (const uint8_t byte : stream) ++counts[byte];
  const uint64_t codedBits = CodedBits(table, counts);
  if (codedBits == UINT64_MAX) return;  // a byte without a code: nothing could decode it
  const size_t start = out.size();
  const size_t codedBytes = 4 + static_cast<size_t>((codedBits + 7) / 8);
  out.resize(start + codedBytes);
  uint8_t* at = out.data() + start;
  const uint32_t decodedLength = static_cast<uint32_t>(stream.size());
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(decodedLength >> (8 * i));

  BitWriter bits(at + 4);
  const int levelCount = static_cast<int>(table.levelLengths.size());
  bits.Put(static_cast<uint32_t>(levelCount), huffman::kLevelCountBits);
  for (const uint8_t length : table.levelLengths) bits.Put(length, huffman::kLevelLengthBits);
  if (levelCount >= 2) {
    const int width = LevelIndexWidth(levelCount);
    std::array<uint32_t, 33> levelOfLength;
    levelOfLength.fill(static_cast<uint32_t>(levelCount));  // no code: an index past the levels
    for (int k = 0; k < levelCount; ++k) levelOfLength[table.levelLengths[k]] = static_cast<uint32_t>(k);
    for (int s = 0; s < 256; ++s) {
      bits.Put(table.codeLength[s] == 0 ? static_cast<uint32_t>(levelCount)
                                        : levelOfLength[table.codeLength[s]],
               width);
    }
  }

  const std::array<uint32_t, 256> codes = CanonicalCodes(table);
  for (const uint8_t byte : stream) bits.Put(codes[byte], table.codeLength[byte]);
  bits.Flush();
}
