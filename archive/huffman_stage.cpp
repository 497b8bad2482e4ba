// The Huffman stage of block decoding.
//
// The header is read through BitReader exactly as the format lays it out.
// The codes are then decoded with a left-justified 64-bit window: the next
// 32 stream bits, compared with the first code value past each level
// (left-justified as well), give the level of the next code directly, with
// one comparison per level and one refill per code. That is the same code
// value extended level by level that the canonical code defines, without a
// lookup table per code.
#include "archive/huffman_stage.h"

#include <bit>
#include <cstring>
#include <new>

#include "archive/bit_reader.h"

namespace {

constexpr int kLevels = 256;   // at most 255 levels, plus the "no level" row
constexpr int kSymbols = 256;  // byte values
constexpr int kMaxLength = 31; // code lengths must fit a 32-bit code value
constexpr int kMaxStep = 25;   // the widest field the reader delivers
// Zeroed bytes after the working copy: the header reader may fetch 4 bytes
// past the last bit and the code window 8 bytes from up to 7 bytes past it.
constexpr int kSlack = 16;

// One level that holds codes, as the code window uses it.
struct DecodeLevel {
  uint64_t limit;   // first code value past the level, left-justified to 32
                    // bits (up to 2^32 when the level fills the code space)
  int64_t base;     // code value + base = index into the symbol lists
  int32_t shift;    // 64 - length: brings a code to the low bits
  int32_t length;   // the code length in bits
};

// The working tables of one call. About 270 KB: they live in the calling
// thread's stack frame, never on the heap.
struct CodeTables {
  int32_t levelCount;                // g
  int32_t lengths[kLevels];          // L[k], code length of level k
  int32_t levelIndex[kSymbols];      // level of each byte value (>= g: none)
  int32_t step[kLevels];             // L[k] - L[k-1]; step[0] = L[0]
  uint32_t endValue[kLevels];        // one past the last code of level k
  int32_t levelSize[kLevels];        // byte values at level k
  uint32_t symbols[kLevels * kSymbols];  // row k: level k's byte values, ascending
  int32_t decodeCount;               // levels that hold codes
  DecodeLevel decode[kLevels + 1];   // those levels, then a sentinel
};

// Level count and level lengths. Lengths that fall, reach 32 bits or step
// by more than 25 bits cannot be decoded: refused.
bool ReadLevels(BitReader& reader, CodeTables& t) {
  t.levelCount = static_cast<int32_t>(reader.ReadField(8));
  int32_t previous = 0;
  for (int32_t k = 0; k < t.levelCount; ++k) {
    const int32_t length = static_cast<int32_t>(reader.ReadField(8));
    // Checked per field, so that a short block never runs the reader far
    // past the end of the data.
    if (reader.Overrun()) return false;
    if (length < previous || length > kMaxLength || length - previous > kMaxStep) return false;
    t.lengths[k] = length;
    t.step[k] = length - previous;
    previous = length;
  }
  t.step[t.levelCount] = 0;
  return !reader.Overrun();
}

// The level index of every byte value: w bits each, 2^w >= g, when g >= 2;
// all 0 otherwise.
bool ReadLevelIndices(BitReader& reader, CodeTables& t) {
  if (t.levelCount <= 1) {
    for (int32_t& index : t.levelIndex) index = 0;
    return true;
  }
  int width = 1;
  for (int32_t power = 2; power < t.levelCount; power *= 2) ++width;
  for (int32_t& index : t.levelIndex) {
    index = static_cast<int32_t>(reader.ReadField(width));
    if (reader.Overrun()) return false;
  }
  return true;
}

// The canonical code: level by level, the byte values of a level take
// consecutive code values in increasing order, starting at the next free
// code of the previous level shifted left by the step. A level that needs
// more codes than its length offers makes the table impossible; so does a
// level before the last that uses the code space up exactly (the last one
// may). Also lays out the levels that hold codes for the code window.
bool AssignCodes(CodeTables& t) {
  for (int32_t k = 0; k < t.levelCount; ++k) t.levelSize[k] = 0;
  for (int32_t s = 0; s < kSymbols; ++s) {
    const int32_t k = t.levelIndex[s];
    if (k < t.levelCount) t.symbols[k * kSymbols + t.levelSize[k]++] = static_cast<uint32_t>(s);
  }

  uint64_t nextFree = 0;  // next free code value of length L[k]
  t.decodeCount = 0;
  for (int32_t k = 0; k < t.levelCount; ++k) {
    const int32_t length = t.lengths[k];
    const uint64_t space = uint64_t{1} << length;
    nextFree = (nextFree << t.step[k]) + static_cast<uint64_t>(t.levelSize[k]);
    const bool last = k == t.levelCount - 1;
    if (nextFree > space || (!last && nextFree == space)) return false;
    t.endValue[k] = static_cast<uint32_t>(nextFree);
    if (t.levelSize[k] == 0) continue;
    DecodeLevel& level = t.decode[t.decodeCount++];
    level.limit = nextFree << (32 - length);
    level.base = int64_t{k} * kSymbols - static_cast<int64_t>(nextFree - static_cast<uint64_t>(t.levelSize[k]));
    level.shift = 64 - length;
    level.length = length;
  }
  // Above every 32-bit window: ends the level search at "no such code".
  t.decode[t.decodeCount] = DecodeLevel{uint64_t{1} << 33, 0, 0, 0};
  return true;
}

// The next stream bits, left-justified in 64 bits.
struct CodeWindow {
  const uint8_t* next;  // the byte after the last whole byte in `bits`
  uint64_t bits;        // valid bits from the top; below them zeros or the
                        // stream's own next bits
  int32_t count;        // valid bits, 56 to 63 after a refill

  static uint64_t LoadBigEndian(const uint8_t* p) {
    uint64_t value;
    std::memcpy(&value, p, sizeof value);
    if constexpr (std::endian::native == std::endian::little) value = __builtin_bswap64(value);
    return value;
  }
  void Refill() {
    bits |= LoadBigEndian(next) >> count;
    next += (63 - count) >> 3;
    count |= 56;
  }
  void Consume(int32_t n) {
    bits <<= n;
    count -= n;
  }
  // Whether more bits have been consumed than lie before `end`.
  bool Overrun(const uint8_t* end) const { return next > end && (next - end) * 8 > count; }
};

// Decodes d codes into out. Fails when the bits run out first or a code
// value lies past the last level's codes.
bool DecodeSymbols(BitReader& reader, const CodeTables& t, const uint8_t* streamEnd,
                   uint8_t* out, int32_t d) {
  if (t.decodeCount == 0) return false;  // no byte value has a code
  const DecodeLevel* levels = t.decode;
  if (levels[0].length == 0) {
    // A single code of no bits, which alone fills the code space: every
    // byte is the same and no bit is read.
    std::memset(out, static_cast<int>(t.symbols[(levels[0].base)]), static_cast<size_t>(d));
    return true;
  }

  // Continue where the header ended.
  const int32_t headerBits = reader.bitsTotal;
  CodeWindow window{reader.start + headerBits / 8, 0, 0};
  window.Refill();
  window.Consume(headerBits % 8);

  const DecodeLevel* const noLevel = levels + t.decodeCount;
  for (uint8_t* const end = out + d; out != end; ++out) {
    // Stops a stream that is too short before the window runs off the
    // working copy's slack.
    if (window.next > streamEnd && window.Overrun(streamEnd)) return false;
    window.Refill();
    const uint64_t top = window.bits >> 32;
    const DecodeLevel* level = levels;
    while (top >= level->limit) ++level;
    if (level == noLevel) return false;
    *out = static_cast<uint8_t>(t.symbols[static_cast<int64_t>(window.bits >> level->shift) + level->base]);
    window.Consume(level->length);
  }
  if (window.Overrun(streamEnd)) return false;

  const int64_t consumed = (window.next - reader.start) * int64_t{8} - window.count;
  reader.Finish(consumed > INT32_MAX ? INT32_MAX : static_cast<int32_t>(consumed));
  return true;
}

// Decodes from the working copy (with its zeroed slack) into buffer.
int32_t DecodeCopy(const uint8_t* copy, int32_t length, int32_t decodedLength, uint8_t* buffer) {
  CodeTables tables;
  BitReader reader;
  reader.Init(copy + 4, length, 1);
  reader.ResetEmpty();
  if (!ReadLevels(reader, tables) || !ReadLevelIndices(reader, tables) || !AssignCodes(tables)) return 0;
  if (decodedLength <= 0) {
    reader.Finish(0);
    return decodedLength;
  }
  if (!DecodeSymbols(reader, tables, copy + length, buffer, decodedLength)) return 0;
  return decodedLength;
}

}  // namespace

int32_t DecodeHuffmanBlock(uint8_t* buffer, int32_t length, int32_t capacity) {
  if (length < 4) return 0;  // not even the decoded length
  int32_t decodedLength;
  std::memcpy(&decodedLength, buffer, sizeof decodedLength);
  if constexpr (std::endian::native == std::endian::big) decodedLength = __builtin_bswap32(decodedLength);
  if (decodedLength > capacity) return 0;

  // The output overwrites the input, and short codes make it run ahead of
  // the bits that are still to be read: decode from a copy.
  const size_t copySize = static_cast<size_t>(length) + kSlack;
  uint8_t* copy = new (std::nothrow) uint8_t[copySize];
  if (copy == nullptr) return 0;
  std::memcpy(copy, buffer, static_cast<size_t>(length));
  std::memset(copy + length, 0, kSlack);
  const int32_t result = DecodeCopy(copy, length, decodedLength, buffer);
  delete[] copy;
  return result;
}
