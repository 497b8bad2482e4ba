// The block decoder as it stood before the table-driven fast path, kept
// unchanged as the oracle of the differential tests: the current decoder
// must give the same result and leave the same bytes in the whole buffer
// (output, partial output after a failure, sentinel, untouched rest) on
// every block. Do not "fix" or speed up this copy: its answers, right or
// wrong, are what the current decoder is held to.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <new>

namespace codec_previous {
namespace detail {

constexpr int kLevels = 256;
constexpr int kSymbols = 256;
constexpr int kMaxLength = 31;
constexpr int kMaxStep = 25;
constexpr int kPrefixBits = 11;
constexpr int kSlack = 16;

// The reader fields that the header uses (the archive's BitReader then).
struct Reader {
  const uint8_t* start = nullptr;
  const uint8_t* current = nullptr;
  uint32_t accumulator = 0;
  int32_t bitCount = 0;
  int32_t bitsTotal = 0;
  int32_t bitLimit = 0;

  void Init(const uint8_t* data, int32_t byteLength) {
    start = data;
    const int64_t bits = int64_t{byteLength} * 8 - 32;
    bitLimit = bits > INT32_MAX ? INT32_MAX : bits < INT32_MIN ? INT32_MIN : static_cast<int32_t>(bits);
    bitsTotal = 0;
    accumulator = 0;
    current = start;
    bitCount = 0;
  }
  uint32_t ReadField(int width) {
    if (bitCount < width) {
      while (bitCount <= 24) {
        accumulator = accumulator << 8 | *current++;
        bitCount += 8;
      }
    }
    bitCount -= width;
    const uint32_t value = static_cast<uint32_t>(uint64_t{accumulator} >> bitCount);
    accumulator -= static_cast<uint32_t>(uint64_t{value} << bitCount);
    bitsTotal += width;
    return value;
  }
  bool Overrun() const { return bitsTotal > bitLimit; }
};

struct DecodeLevel {
  uint32_t limit;
  uint32_t base;
  uint8_t shift;
  uint8_t length;
};
constexpr uint32_t kNoLevel = 0xFFFFFFFF;

struct LevelStart {
  uint8_t level;
  uint8_t length;
};

struct CodeTables {
  LevelStart firstLevel[1 << kPrefixBits];
  DecodeLevel decode[kLevels + 1];
  int32_t levelCount;
  int32_t lengths[kLevels];
  int32_t levelIndex[kSymbols];
  int32_t step[kLevels];
  int32_t levelSize[kLevels];
  uint32_t symbols[kLevels * kSymbols];
  int32_t decodeCount;
  int32_t longestCode;
};

inline bool ReadLevels(Reader& reader, CodeTables& t) {
  t.levelCount = static_cast<int32_t>(reader.ReadField(8));
  int32_t previous = 0;
  for (int32_t k = 0; k < t.levelCount; ++k) {
    const int32_t length = static_cast<int32_t>(reader.ReadField(8));
    if (reader.Overrun()) return false;
    if (length < previous || length > kMaxLength || length - previous > kMaxStep) return false;
    t.lengths[k] = length;
    t.step[k] = length - previous;
    previous = length;
  }
  t.step[t.levelCount] = 0;
  return !reader.Overrun();
}

inline bool ReadLevelIndices(Reader& reader, CodeTables& t) {
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

inline bool AssignCodes(CodeTables& t) {
  for (int32_t k = 0; k < t.levelCount; ++k) t.levelSize[k] = 0;
  for (int32_t s = 0; s < kSymbols; ++s) {
    if (t.levelIndex[s] < t.levelCount) ++t.levelSize[t.levelIndex[s]];
  }
  int32_t place[kLevels];
  for (int32_t k = 0; k < t.levelCount; ++k) {
    place[k] = k > 0 && t.lengths[k] == t.lengths[k - 1] ? place[k - 1] + t.levelSize[k - 1] : k * kSymbols;
  }
  for (int32_t s = 0; s < kSymbols; ++s) {
    const int32_t k = t.levelIndex[s];
    if (k < t.levelCount) t.symbols[place[k]++] = static_cast<uint32_t>(s);
  }

  uint64_t nextFree = 0;
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
      t.decode[t.decodeCount].limit = limit;
      continue;
    }
    DecodeLevel& level = t.decode[++t.decodeCount];
    const uint64_t first = nextFree - static_cast<uint64_t>(t.levelSize[k]);
    const int32_t row = place[k] - t.levelSize[k];
    level.limit = limit;
    level.base = static_cast<uint32_t>(static_cast<uint64_t>(row) - first);
    level.shift = static_cast<uint8_t>(64 - length);
    level.length = static_cast<uint8_t>(length);
    if (length > t.longestCode) t.longestCode = length;
  }
  t.decode[t.decodeCount + 1] = DecodeLevel{kNoLevel, 0, 0, 0};

  int32_t level = 1;
  for (uint32_t prefix = 0; prefix < (1u << kPrefixBits); ++prefix) {
    const uint32_t smallest = prefix << (kMaxLength - kPrefixBits);
    while (smallest >= t.decode[level].limit) ++level;
    const bool none = level > t.decodeCount;
    t.firstLevel[prefix] = none ? LevelStart{0, 0} : LevelStart{static_cast<uint8_t>(level), t.decode[level].length};
  }
  return true;
}

struct CodeWindow {
  const uint8_t* next;
  uint64_t bits;
  int32_t count;

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
  bool Overrun(const uint8_t* end) const { return next > end && (next - end) * 8 > count; }
};

inline bool DecodeOne(CodeWindow& window, const CodeTables& t, uint8_t* out) {
  const uint32_t top = static_cast<uint32_t>(window.bits >> (64 - kMaxLength));
  const LevelStart start = t.firstLevel[window.bits >> (64 - kPrefixBits)];
  const DecodeLevel* level = t.decode + start.level;
  if (top < level->limit) {
    *out = static_cast<uint8_t>(t.symbols[static_cast<uint32_t>(window.bits >> level->shift) + level->base]);
    window.Consume(start.length);
    return true;
  }
  if (start.level == 0) return false;
  ++level;
  while (top >= level->limit) ++level;
  if (level == t.decode + t.decodeCount + 1) return false;
  *out = static_cast<uint8_t>(t.symbols[static_cast<uint32_t>(window.bits >> level->shift) + level->base]);
  window.Consume(level->length);
  return true;
}

template <int kCodes>
bool DecodeCodes(CodeWindow& window, const CodeTables& t, const uint8_t* streamEnd, uint8_t* out, int32_t d) {
  uint8_t* const end = out + d;
  for (;;) {
    if (window.next > streamEnd && window.Overrun(streamEnd)) return false;
    window.Refill();
    if (end - out < kCodes) break;
    for (int i = 0; i < kCodes; ++i) {
      if (!DecodeOne(window, t, out + i)) return false;
    }
    out += kCodes;
  }
  for (; out != end; ++out) {
    if (!DecodeOne(window, t, out)) return false;
  }
  return !window.Overrun(streamEnd);
}

inline bool DecodeSymbols(const Reader& reader, const CodeTables& t, const uint8_t* streamEnd, uint8_t* out,
                          int32_t d) {
  if (t.decodeCount == 0) return false;
  const DecodeLevel& first = t.decode[1];
  if (first.length == 0) {
    std::memset(out, static_cast<int>(t.symbols[first.base]), static_cast<size_t>(d));
    return true;
  }
  const int32_t headerBits = reader.bitsTotal;
  CodeWindow window{reader.start + headerBits / 8, 0, 0};
  window.Refill();
  window.Consume(headerBits % 8);
  const int32_t codesPerRefill = 56 / t.longestCode;
  return codesPerRefill >= 4   ? DecodeCodes<4>(window, t, streamEnd, out, d)
         : codesPerRefill == 3 ? DecodeCodes<3>(window, t, streamEnd, out, d)
         : codesPerRefill == 2 ? DecodeCodes<2>(window, t, streamEnd, out, d)
                               : DecodeCodes<1>(window, t, streamEnd, out, d);
}

inline int32_t DecodeCopy(const uint8_t* copy, int32_t length, int32_t decodedLength, uint8_t* buffer) {
  CodeTables tables;
  Reader reader;
  reader.Init(copy + 4, length);
  if (!ReadLevels(reader, tables) || !ReadLevelIndices(reader, tables) || !AssignCodes(tables)) return 0;
  if (decodedLength <= 0) return decodedLength;
  if (!DecodeSymbols(reader, tables, copy + length, buffer, decodedLength)) return 0;
  return decodedLength;
}

inline void RepeatPattern(uint8_t* out, const uint8_t* pattern, int32_t size, int32_t count) {
  const int32_t total = size * count;
  if (size == 1) {
    std::memset(out, *pattern, static_cast<size_t>(total));
    return;
  }
  std::memcpy(out, pattern, static_cast<size_t>(size));
  for (int32_t filled = size; filled < total;) {
    const int32_t chunk = filled < total - filled ? filled : total - filled;
    std::memcpy(out + filled, out, static_cast<size_t>(chunk));
    filled += chunk;
  }
}

inline int32_t ExpandRuns(uint8_t* in, int32_t n, int32_t capacity, uint8_t* out) {
  const uint8_t escape = in[1];
  in[n] = escape;
  int32_t i = 2;
  int32_t o = 0;
  while (i < n) {
    const void* hit = std::memchr(in + i, escape, static_cast<size_t>(n - i));
    const int32_t literals = hit ? static_cast<int32_t>(static_cast<const uint8_t*>(hit) - in) - i : n - i;
    if (literals > capacity - o) return -1;
    std::memcpy(out + o, in + i, static_cast<size_t>(literals));
    o += literals;
    i += literals;
    if (i == n) break;
    if (n - i < 2) return -1;
    const uint8_t token = in[i + 1];
    i += 2;
    if (token == 0xFF) {
      if (o == capacity) return -1;
      out[o++] = escape;
      continue;
    }
    int32_t size;
    int32_t count;
    if (token < 0x80) {
      size = (token >> 4) + 1;
      count = (token & 0x0F) + 1;
    } else {
      if (i == n) return -1;
      size = ((token >> 4) & 7) + 1;
      count = 16 + 15 * in[i] + (token & 0x0F);
      ++i;
    }
    if (size > n - i) return -1;
    if (size * count > capacity - o) return -1;
    RepeatPattern(out + o, in + i, size, count);
    o += size * count;
    i += size;
  }
  return o;
}

}  // namespace detail

inline int32_t DecodeHuffmanBlock(uint8_t* buffer, int32_t length, int32_t capacity) {
  if (length < 4) return 0;
  int32_t decodedLength;
  std::memcpy(&decodedLength, buffer, sizeof decodedLength);
  if constexpr (std::endian::native == std::endian::big) decodedLength = __builtin_bswap32(decodedLength);
  if (decodedLength > capacity) return 0;
  const size_t copySize = static_cast<size_t>(length) + detail::kSlack;
  uint8_t* copy = new (std::nothrow) uint8_t[copySize];
  if (copy == nullptr) return 0;
  std::memcpy(copy, buffer, static_cast<size_t>(length));
  std::memset(copy + length, 0, detail::kSlack);
  const int32_t result = detail::DecodeCopy(copy, length, decodedLength, buffer);
  delete[] copy;
  return result;
}

inline int32_t DecodeRuns(uint8_t* buffer, int32_t n, int32_t capacity) {
  if (n < 1 || capacity < 0) return -1;
  if (buffer[0] == 0) {
    if (n - 1 > capacity) return -1;
    std::memmove(buffer, buffer + 1, static_cast<size_t>(n - 1));
    return n - 1;
  }
  if (buffer[0] != 1 || n == 1) return -1;
  uint8_t* scratch = new (std::nothrow) uint8_t[static_cast<size_t>(capacity) + 16];
  if (scratch == nullptr) return -1;
  const int32_t produced = detail::ExpandRuns(buffer, n, capacity, scratch);
  if (produced > 0) std::memcpy(buffer, scratch, static_cast<size_t>(produced));
  delete[] scratch;
  return produced;
}

inline int32_t Decode(uint8_t* buffer, int32_t length, int32_t capacity) {
  const int32_t decoded = DecodeHuffmanBlock(buffer, length, capacity);
  if (decoded <= 0) return decoded;
  return DecodeRuns(buffer, decoded, capacity);
}

}  // namespace codec_previous
