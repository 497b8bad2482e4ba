// The Huffman stage of block decoding.
//
// The header is read through BitReader exactly as the format lays it out.
// The codes are then decoded with a left-justified 64-bit window: the next
// 31 stream bits, compared with the first code value past each level
// (left-justified as well), give the level of the next code, one comparison
// per level. That is the code value extended level by level that the
// canonical code defines, without a lookup table per code. Three things keep
// it fast: the window's first 11 bits choose the level where the comparisons
// start (levels shorter than the code cannot hold it), so nearly every code
// takes a single, well predicted comparison; the length that moves the
// window on to the next code is read from that same small entry, so the
// chain from one code to the next is a shift, one load and a shift; and one
// refill serves as many codes as 56 bits hold.
#include "archive/huffman_stage.h"

#include <bit>
#include <cstring>
#include <new>

#include "archive/bit_reader.h"

namespace {

constexpr int kLevels = 256;   // the level count has 8 bits: up to 255 levels
constexpr int kSymbols = 256;  // byte values
constexpr int kMaxLength = 31; // code lengths must fit a 32-bit code value
constexpr int kMaxStep = 25;   // the widest field the reader delivers
// Bits of the window that choose where the level search starts: codes up to
// this long are found at the first comparison, and the start table (2 bytes
// per entry, 4 KB) stays well inside the first-level data cache.
constexpr int kPrefixBits = 11;
// Zeroed bytes after the working copy: the header reader may fetch 4 bytes
// past the last bit and the code window 8 bytes from up to 7 bytes past it.
constexpr int kSlack = 16;

// One level that holds codes, as the code window uses it.
struct DecodeLevel {
  uint32_t limit;   // first code value past the level, left-justified to 31
                    // bits (2^31 when the level fills the code space)
  uint32_t base;    // code value + base (mod 2^32) = index into the symbol lists
  uint8_t shift;    // 64 - length: brings a code to the low bits
  uint8_t length;   // the code length in bits
};
// Above every 31-bit window: ends the level search at "no such code".
constexpr uint32_t kNoLevel = 0xFFFFFFFF;

// Where the level search starts for one value of the window's first bits.
// Two bytes, so that the table stays small in the data cache; the length is
// kept beside the level number because it decides where the next code
// starts, and reading it here saves a second dependent load per code.
struct LevelStart {
  uint8_t level;   // index into CodeTables::decode; 0 when no level is left
  uint8_t length;  // that level's code length
};
static_assert(kLevels - 1 <= 0xFF, "every level that holds codes must have a number below 256");

// The working tables of one call. About 270 KB, nearly all of it the symbol
// lists: they live in the calling thread's stack frame, never on the heap.
// Only the rows and entries that the block's table fills are ever read, so
// nothing needs clearing between blocks.
struct CodeTables {
  // For each value of the window's first kPrefixBits bits, the first level
  // that can hold a code starting so: the level search begins there.
  LevelStart firstLevel[1 << kPrefixBits];
  // decode[0] has limit 0 and stands for "no level left"; decode[1 ..
  // decodeCount] are the levels that hold codes, consecutive levels of one
  // length taken together; then a sentinel.
  DecodeLevel decode[kLevels + 1];
  int32_t levelCount;                // g
  int32_t lengths[kLevels];          // L[k], code length of level k
  int32_t levelIndex[kSymbols];      // level of each byte value (>= g: none)
  int32_t step[kLevels];             // L[k] - L[k-1]; step[0] = L[0]
  int32_t levelSize[kLevels];        // byte values at level k
  uint32_t symbols[kLevels * kSymbols];  // row k: level k's byte values, ascending,
                                         // then those of the levels of its length after it
  int32_t decodeCount;               // levels that hold codes
  int32_t longestCode;               // bits
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
    if (t.levelIndex[s] < t.levelCount) ++t.levelSize[t.levelIndex[s]];
  }
  // Consecutive levels of one length hold consecutive code values, so they
  // are decoded as one level: their byte values go one after the other into
  // the row of the first of them. Otherwise a table of up to 255 levels of
  // one length, all behind the same window prefix, would cost a comparison
  // per level for every code; merged, a prefix leads to at most 20 levels
  // (one per length from 12 to 31 bits).
  int32_t place[kLevels];  // where level k's next byte value goes
  for (int32_t k = 0; k < t.levelCount; ++k) {
    place[k] = k > 0 && t.lengths[k] == t.lengths[k - 1] ? place[k - 1] + t.levelSize[k - 1] : k * kSymbols;
  }
  for (int32_t s = 0; s < kSymbols; ++s) {
    const int32_t k = t.levelIndex[s];
    if (k < t.levelCount) t.symbols[place[k]++] = static_cast<uint32_t>(s);
  }

  uint64_t nextFree = 0;  // next free code value of length L[k]
  t.decodeCount = 0;
  t.longestCode = 0;
  t.decode[0] = DecodeLevel{0, 0, 0, 0};
  for (int32_t k = 0; k < t.levelCount; ++k) {
    const int32_t length = t.lengths[k];
    const uint64_t space = uint64_t{1} << length;
    nextFree = (nextFree << t.step[k]) + static_cast<uint64_t>(t.levelSize[k]);
    const bool last = k == t.levelCount - 1;
    if (nextFree > space || (!last && nextFree == space)) return false;
    if (t.levelSize[k] == 0) continue;
    const uint32_t limit = static_cast<uint32_t>(nextFree << (kMaxLength - length));
    if (t.decodeCount > 0 && t.decode[t.decodeCount].length == length) {
      t.decode[t.decodeCount].limit = limit;  // its codes and byte values follow on
      continue;
    }
    DecodeLevel& level = t.decode[++t.decodeCount];
    const uint64_t first = nextFree - static_cast<uint64_t>(t.levelSize[k]);
    const int32_t row = place[k] - t.levelSize[k];  // where its byte values begin
    level.limit = limit;
    level.base = static_cast<uint32_t>(static_cast<uint64_t>(row) - first);
    level.shift = static_cast<uint8_t>(64 - length);
    level.length = static_cast<uint8_t>(length);
    if (length > t.longestCode) t.longestCode = length;
  }
  t.decode[t.decodeCount + 1] = DecodeLevel{kNoLevel, 0, 0, 0};

  // Levels are ordered by code value: a window whose first bits are p is at
  // least p followed by zeros, so its level is not before the first one
  // whose limit lies above that.
  int32_t level = 1;
  for (uint32_t prefix = 0; prefix < (1u << kPrefixBits); ++prefix) {
    const uint32_t smallest = prefix << (kMaxLength - kPrefixBits);
    while (smallest >= t.decode[level].limit) ++level;
    const bool none = level > t.decodeCount;
    t.firstLevel[prefix] = none ? LevelStart{0, 0}
                                : LevelStart{static_cast<uint8_t>(level), t.decode[level].length};
  }
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

// Decodes one code from a window that holds enough bits. Returns false
// for a code value past the last level's codes.
inline bool DecodeOne(CodeWindow& window, const CodeTables& t, uint8_t* out) {
  const uint32_t top = static_cast<uint32_t>(window.bits >> (64 - kMaxLength));
  const LevelStart start = t.firstLevel[window.bits >> (64 - kPrefixBits)];
  const DecodeLevel* level = t.decode + start.level;
  if (top < level->limit) [[likely]] {
    *out = static_cast<uint8_t>(t.symbols[static_cast<uint32_t>(window.bits >> level->shift) + level->base]);
    window.Consume(start.length);
    return true;
  }
  if (start.level == 0) return false;  // past the last level's codes
  ++level;
  while (top >= level->limit) ++level;
  if (level == t.decode + t.decodeCount + 1) return false;
  *out = static_cast<uint8_t>(t.symbols[static_cast<uint32_t>(window.bits >> level->shift) + level->base]);
  window.Consume(level->length);
  return true;
}

// Decodes out[0 .. d-1], kCodes codes per refill (a refill leaves at least
// 56 bits, so kCodes codes of the longest length must fit in 56 bits).
template <int kCodes>
bool DecodeCodes(CodeWindow& window, const CodeTables& t, const uint8_t* streamEnd,
                 uint8_t* out, int32_t d) {
  uint8_t* const end = out + d;
  for (;;) {
    // Stops a stream that is too short before the window runs off the
    // working copy's slack.
    if (window.next > streamEnd && window.Overrun(streamEnd)) return false;
    window.Refill();
    if (end - out < kCodes) break;
    for (int i = 0; i < kCodes; ++i) {
      if (!DecodeOne(window, t, out + i)) return false;
    }
    out += kCodes;
  }
  // The last few codes, from the refill just made.
  for (; out != end; ++out) {
    if (!DecodeOne(window, t, out)) return false;
  }
  return !window.Overrun(streamEnd);
}

// Decodes d codes into out. Fails when the bits run out first or a code
// value lies past the last level's codes.
bool DecodeSymbols(BitReader& reader, const CodeTables& t, const uint8_t* streamEnd,
                   uint8_t* out, int32_t d) {
  if (t.decodeCount == 0) return false;  // no byte value has a code
  const DecodeLevel& first = t.decode[1];
  if (first.length == 0) {
    // A single code of no bits, which alone fills the code space: every
    // byte is the same and no bit is read.
    std::memset(out, static_cast<int>(t.symbols[first.base]), static_cast<size_t>(d));
    return true;
  }

  // Continue where the header ended.
  const int32_t headerBits = reader.bitsTotal;
  CodeWindow window{reader.start + headerBits / 8, 0, 0};
  window.Refill();
  window.Consume(headerBits % 8);

  const int32_t codesPerRefill = 56 / t.longestCode;
  const bool decoded = codesPerRefill >= 4   ? DecodeCodes<4>(window, t, streamEnd, out, d)
                       : codesPerRefill == 3 ? DecodeCodes<3>(window, t, streamEnd, out, d)
                       : codesPerRefill == 2 ? DecodeCodes<2>(window, t, streamEnd, out, d)
                                             : DecodeCodes<1>(window, t, streamEnd, out, d);
  if (!decoded) return false;

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
