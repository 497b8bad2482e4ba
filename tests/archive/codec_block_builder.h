// Builds coded blocks for the decoder tests: a level table written field by
// field, and symbols coded with the canonical code that the table defines.
// Kept apart from the packer's encoder, so the decoder is checked against an
// independent writer.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/little_endian.h"

namespace codec_test {

// Appends bit fields most significant bit first.
class BitSink {
 public:
  void Put(uint32_t value, int width) {
    for (int bit = width - 1; bit >= 0; --bit) {
      if (used_ == 0) bytes_.push_back(0);
      if (bit < 32 && ((value >> bit) & 1)) bytes_.back() |= static_cast<uint8_t>(0x80 >> used_);
      used_ = (used_ + 1) % 8;
    }
  }
  // Appends a string of '0' and '1' (other characters are skipped).
  void PutBits(const std::string& bits) {
    for (char c : bits) {
      if (c == '0' || c == '1') Put(c == '1' ? 1 : 0, 1);
    }
  }
  size_t BitCount() const { return bytes_.size() * 8 - (used_ == 0 ? 0 : 8 - used_); }
  const std::vector<uint8_t>& Bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  int used_ = 0;  // bits used in the last byte; 0 when it is full
};

// A level table as a block stores it.
struct LevelTable {
  std::vector<int> lengths;           // L[0..g-1]
  std::array<int, 256> levelIndex{};  // per byte value; >= g: no code
};

// Width of one level index: the smallest w >= 1 with 2^w >= g.
inline int IndexWidth(int g) {
  int width = 1;
  while ((1 << width) < g) ++width;
  return width;
}

inline void PutDecodedLength(std::vector<uint8_t>& block, int32_t d) { AppendUint32(block, static_cast<uint32_t>(d)); }

// g, the level lengths and (for g >= 2) the level indices.
inline void PutHeader(BitSink& sink, const LevelTable& table) {
  const int g = static_cast<int>(table.lengths.size());
  sink.Put(static_cast<uint32_t>(g), 8);
  for (int length : table.lengths) sink.Put(static_cast<uint32_t>(length), 8);
  if (g >= 2) {
    for (int index : table.levelIndex) sink.Put(static_cast<uint32_t>(index), IndexWidth(g));
  }
}

// One code: its value in its low `length` bits.
struct Code {
  uint32_t value = 0;
  int length = -1;  // -1: the byte value has no code
};

// The canonical code of a possible table: per level, the byte values in
// increasing order take consecutive values, starting at the previous
// level's next free value shifted left by the difference of the lengths.
// (For a malformed table the values are of no use, but still defined.)
inline std::array<Code, 256> CanonicalCodes(const LevelTable& table) {
  std::array<Code, 256> codes{};
  uint64_t next = 0;
  int previous = 0;
  for (size_t k = 0; k < table.lengths.size(); ++k) {
    const int step = table.lengths[k] - previous;
    next = step >= 0 && step < 64 ? next << step : 0;
    previous = table.lengths[k];
    for (int s = 0; s < 256; ++s) {
      if (table.levelIndex[s] == static_cast<int>(k)) {
        codes[s] = Code{static_cast<uint32_t>(next), table.lengths[k]};
        ++next;
      }
    }
  }
  return codes;
}

// A whole block: decoded length d (symbols.size() unless given), header,
// the codes of `symbols`, zero bits to the byte boundary.
inline std::vector<uint8_t> BuildBlock(const LevelTable& table, const std::vector<uint8_t>& symbols,
                                       int32_t d) {
  BitSink sink;
  PutHeader(sink, table);
  const std::array<Code, 256> codes = CanonicalCodes(table);
  for (uint8_t s : symbols) sink.Put(codes[s].value, codes[s].length);
  std::vector<uint8_t> block;
  block.reserve(4 + sink.Bytes().size());
  PutDecodedLength(block, d);
  block.insert(block.end(), sink.Bytes().begin(), sink.Bytes().end());
  return block;
}
inline std::vector<uint8_t> BuildBlock(const LevelTable& table, const std::vector<uint8_t>& symbols) {
  return BuildBlock(table, symbols, static_cast<int32_t>(symbols.size()));
}

// The level table for per-byte code lengths (-1: no code; 0 is a code of no
// bits, possible only for a single byte value). One level per distinct
// length; empty levels are added in front when no index value is left for
// "no code", and between lengths that differ by more than 25 bits.
inline LevelTable TableFromCodeLengths(const std::array<int, 256>& codeLengths) {
  std::vector<int> distinct;
  bool uncoded = false;
  for (int length : codeLengths) {
    if (length < 0) {
      uncoded = true;
    } else if (std::find(distinct.begin(), distinct.end(), length) == distinct.end()) {
      distinct.push_back(length);
    }
  }
  std::sort(distinct.begin(), distinct.end());
  std::vector<int> lengths;
  for (int length : distinct) {
    while (length - (lengths.empty() ? 0 : lengths.back()) > 25) lengths.push_back(lengths.empty() ? 25 : lengths.back() + 25);
    lengths.push_back(length);
  }
  auto spareIndex = [&] {
    const int g = static_cast<int>(lengths.size());
    return g == 0 || (g >= 2 && (1 << IndexWidth(g)) > g);
  };
  while (uncoded && !spareIndex()) lengths.insert(lengths.begin(), lengths.front());

  LevelTable table;
  table.lengths = lengths;
  const int g = static_cast<int>(lengths.size());
  for (int s = 0; s < 256; ++s) {
    if (codeLengths[s] < 0) {
      table.levelIndex[s] = g;
      continue;
    }
    // The last level of that length: the empty ones in front stay empty.
    int k = g - 1;
    while (lengths[k] != codeLengths[s]) --k;
    table.levelIndex[s] = k;
  }
  return table;
}

// Bytes from a hex string; spaces are ignored.
inline std::vector<uint8_t> Hex(const std::string& text) {
  std::vector<uint8_t> bytes;
  int nibbles = 0;
  uint8_t value = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      continue;
    }
    value = static_cast<uint8_t>(value << 4 | digit);
    if (++nibbles % 2 == 0) bytes.push_back(value);
  }
  return bytes;
}

// splitmix64: the same sequence on every platform and standard library.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // 0 .. bound - 1
  int Below(int bound) { return static_cast<int>(Next() % static_cast<uint64_t>(bound)); }
  bool OneIn(int n) { return Below(n) == 0; }

 private:
  uint64_t state_;
};

// Code lengths of a random prefix code over a random set of byte values:
// leaves of a tree grown by splitting random leaves (no deeper than
// maxDepth), some of them dropped again so that codes may be incomplete.
inline std::array<int, 256> RandomCodeLengths(Random& random) {
  const int symbols = 1 + random.Below(256);
  const int maxDepth = 8 + random.Below(24);
  std::vector<int> depths{0};
  while (static_cast<int>(depths.size()) < symbols) {
    // Favour the last leaves, for skewed (long-tailed) codes.
    size_t leaf = random.OneIn(2) ? depths.size() - 1 - static_cast<size_t>(random.Below(static_cast<int>(std::min<size_t>(depths.size(), 4))))
                                  : static_cast<size_t>(random.Below(static_cast<int>(depths.size())));
    if (depths[leaf] >= maxDepth) {
      leaf = 0;
      while (leaf < depths.size() && depths[leaf] >= maxDepth) ++leaf;
      if (leaf == depths.size()) break;
    }
    const int depth = ++depths[leaf];
    depths.push_back(depth);
  }
  if (depths.size() > 1 && random.OneIn(3)) {
    const int drops = 1 + random.Below(static_cast<int>(depths.size()) - 1);
    for (int i = 0; i < drops; ++i) depths.erase(depths.begin() + random.Below(static_cast<int>(depths.size())));
  }
  std::array<int, 256> lengths;
  lengths.fill(-1);
  std::array<int, 256> order;
  for (int s = 0; s < 256; ++s) order[s] = s;
  for (int s = 255; s > 0; --s) std::swap(order[s], order[random.Below(s + 1)]);
  for (size_t i = 0; i < depths.size(); ++i) lengths[order[i]] = depths[i];
  return lengths;
}

inline std::vector<uint8_t> RandomText(Random& random, const std::array<int, 256>& lengths, int count) {
  std::vector<uint8_t> coded;
  for (int s = 0; s < 256; ++s) {
    if (lengths[s] >= 0) coded.push_back(static_cast<uint8_t>(s));
  }
  std::vector<uint8_t> text;
  // Short codes more often, as real data would have it.
  for (int i = 0; i < count; ++i) {
    uint8_t pick = coded[static_cast<size_t>(random.Below(static_cast<int>(coded.size())))];
    for (int tries = 0; tries < 3 && lengths[pick] > 8; ++tries) {
      pick = coded[static_cast<size_t>(random.Below(static_cast<int>(coded.size())))];
    }
    text.push_back(pick);
  }
  return text;
}

}  // namespace codec_test
