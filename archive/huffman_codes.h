// Decoding codes of the Huffman stage from the coded block's bit stream:
// the window of stream bits, the stream's bytes, one code by the fast table
// or the level walk, and the step that stores a decoded code and consumes
// its bits.
#pragma once

#include <cstdint>
#include <cstring>

#include "archive/huffman_tables.h"
#include "base/big_endian.h"
#include "base/little_endian.h"

namespace huffman {

// The next stream bits, left-justified in 64 bits.
struct CodeWindow {
  const uint8_t* next;  // the byte after the last whole byte in `bits`
  uint64_t bits;        // valid bits from the top; below them zeros or the
                        // stream's own next bits
  int32_t count;        // valid bits, 56 to 63 after a refill

  // Needs 8 readable bytes at next.
  [[gnu::always_inline]] void Refill() { RefillWith(LoadBigEndian64(next)); }
  [[gnu::always_inline]] void RefillWith(uint64_t loaded) {
    bits |= loaded >> count;
    next += (63 - count) >> 3;
    count |= 56;
  }
  [[gnu::always_inline]] void Consume(uint32_t n) {
    bits <<= n & 63;
    count -= static_cast<int32_t>(n & 63);
  }
};

// The coded block's bit stream: where it lies, and the zeroed bytes that
// the format's decoder saw past its end.
class StreamBytes {
 public:
  StreamBytes(const uint8_t* stream, int32_t streamBytes) : start_(stream), end_(stream + streamBytes) {
    const int32_t kept = streamBytes < kTailBytes ? streamBytes : kTailBytes;
    tailStart_ = end_ - kept;
    std::memcpy(tail_, tailStart_, static_cast<size_t>(kept));
    std::memset(tail_ + kept, 0, sizeof tail_ - static_cast<size_t>(kept));
  }
  const uint8_t* Start() const { return start_; }
  const uint8_t* End() const { return end_; }
  int64_t Position(const CodeWindow& w) const { return (w.next - start_) * int64_t{8} - w.count; }
  int64_t EndPosition() const { return (end_ - start_) * int64_t{8}; }
  CodeWindow WindowAt(int64_t position) const {
    CodeWindow window{start_ + position / 8, 0, 0};
    RefillSafely(window);
    window.Consume(static_cast<uint32_t>(position % 8));
    return window;
  }
  // A refill anywhere up to 15 bytes past the end: zeros beyond it.
  void RefillSafely(CodeWindow& w) const {
    if (end_ - w.next >= 8) {
      w.Refill();
    } else {
      w.RefillWith(LoadBigEndian64(tail_ + (w.next - tailStart_)));
    }
  }

 private:
  static constexpr int32_t kTailBytes = 32;
  const uint8_t* start_;
  const uint8_t* end_;
  const uint8_t* tailStart_;
  uint8_t tail_[kTailBytes + 16];
};

// One code by the level walk, from a window that holds at least 31 bits:
// its length << 8 | its byte value, or -1 when the window's value lies past
// the last level's codes.
inline int32_t WalkLevels(uint64_t bits, const CodeTables& t, uint32_t startLevel) {
  if (startLevel == 0) return -1;
  const uint32_t top = static_cast<uint32_t>(bits >> (64 - kMaxLength));
  const DecodeLevel* level = t.decode + startLevel;
  while (top >= level->limit) ++level;
  if (level == t.decode + t.decodeCount + 1) return -1;
  const uint8_t symbol = t.symbols[static_cast<uint32_t>(bits >> level->shift) + level->base];
  return level->length << 8 | symbol;
}

// WalkLevels for the joint steps of blocks whose walks are common: past
// the first level without a branch per level, as a walk of random length
// would mispredict where it ends and hold up every stream. The levels are
// in order of their limits, so the code's level lies as many levels on as
// there are limits not above the window.
inline int32_t CountLevels(uint64_t bits, const CodeTables& t, uint32_t startLevel) {
  if (startLevel == 0) return -1;
  const uint32_t top = static_cast<uint32_t>(bits >> (64 - kMaxLength));
  const DecodeLevel* level = t.decode + startLevel;
  if (top >= level->limit) {
    uint32_t below = 1;
    for (int32_t k = static_cast<int32_t>(startLevel) + 1; k <= t.decodeCount; ++k) below += top >= t.limits[k];
    level += below;
    if (level == t.decode + t.decodeCount + 1) return -1;
  }
  const uint8_t symbol = t.symbols[static_cast<uint32_t>(bits >> level->shift) + level->base];
  return level->length << 8 | symbol;
}

// One code from a window that holds at least 31 bits: its length << 8 | its
// byte value, or -1.
inline int32_t OneCode(uint64_t bits, const CodeTables& t) {
  if (!t.fastTable) return WalkLevels(bits, t, 1);
  const uint32_t prefix = static_cast<uint32_t>(bits >> (64 - kFastBits));
  const uint32_t entry = t.fast[prefix];
  if (t.firstCodes) {
    if (t.firstCode[prefix] != 0) return t.firstCode[prefix];
  } else if (CodesIn(entry) == 1) {
    return static_cast<int32_t>((Consumed(entry) & 63) << 8 | (entry & 0xFF));
  } else if (CodesIn(entry) == 2) {
    // The first of two short codes, whose length the entry does not keep
    // but its byte value's level does.
    const uint32_t symbol = entry & 0xFF;
    return t.lengths[t.levelIndex[symbol]] << 8 | static_cast<int32_t>(symbol);
  }
  return WalkLevels(bits, t, StartLevel(entry));
}

// Store and consume, after a code was decoded (its length << 8 | its byte
// value, as the lookups above give it): the byte goes to `out`, moving it
// on upwards (kDirection 1) or, written below it, downwards (-1), and the
// code's bits leave `bits` (a CodeWindow or anything with Consume). False,
// with nothing changed, when the lookup found no code.
template <int kDirection, typename Bits>
inline bool StoreCode(int32_t code, uint8_t*& out, Bits& bits) {
  if (code < 0) return false;
  if constexpr (kDirection > 0) {
    *out++ = static_cast<uint8_t>(code);
  } else {
    *--out = static_cast<uint8_t>(code);
  }
  bits.Consume(static_cast<uint32_t>(code >> 8));
  return true;
}

}  // namespace huffman
