// The narrow window's fast steps (FastSteps32), apart from the rest of the
// stream code: the loop that a 32-bit machine spends most of a decode in,
// which the installer, otherwise built for size, builds for speed.
#include "archive/huffman_one_stream.h"

namespace huffman {

namespace {

// The narrow window: `count` valid bits from the top of `bits`, and below
// them zeros or the stream's own next bits; `next` the byte after the last
// one whose bits it may hold.
struct NarrowWindow {
  const uint8_t* next;
  uint32_t bits;
  int32_t count;

  // At a bit of the stream: its byte's four bytes, counted as three.
  [[gnu::always_inline]] void Seek(const uint8_t* base, uint32_t position) {
    const uint8_t* at = base + (position >> 3);
    bits = LoadBigEndian32(at) << (position & 7);
    count = 24 - static_cast<int32_t>(position & 7);
    next = at + 3;
  }
  [[gnu::always_inline]] uint32_t Position(const uint8_t* base) const {
    return static_cast<uint32_t>(next - base) * 8 - static_cast<uint32_t>(count);
  }
  [[gnu::always_inline]] void Refill() {
    bits |= LoadBigEndian32(next) >> count;
    next += (31 - count) >> 3;
    count |= 24;
  }
};

// WalkLevels on the 32 bits from a bit of the stream, read as a word and
// the byte after it: a long code, which the narrow window may not hold.
[[gnu::noinline]] int32_t WalkLevelsAt(const uint8_t* base, uint32_t position, const CodeTables& t,
                                       uint32_t startLevel) {
  const uint8_t* at = base + (position >> 3);
  const uint32_t shift = position & 7;
  const uint32_t top = (LoadBigEndian32(at) << shift) | (at[4] >> (8 - shift));
  return WalkLevels(uint64_t{top} << 32, t, startLevel);
}

}  // namespace

void FastSteps32(StreamCursor& s, const StreamBytes& bytes, const CodeTables& t, const uint8_t* outStop) {
  if (s.failed) return;
  const uint8_t* const base = bytes.Start();
  // Blocks stay below 4 MB, so their bit positions fit 32 bits. The window
  // reads at most 4 bytes past the byte of its next bit, so a batch that
  // starts with `next` below the last whole byte before fetchEnd starts
  // below fetchEnd.
  if (s.fetchEnd < 8 || outStop - s.out <= kOutputClear) return;
  const uint8_t* const fetchLimit = base + s.fetchEnd / 8;
  const uint8_t* const outLimit = outStop - kOutputClear;
  NarrowWindow w;
  w.Seek(base, static_cast<uint32_t>(bytes.Position(s.window)));
  uint8_t* out = s.out;
  while (w.next < fetchLimit && out < outLimit) {
    w.Refill();
    for (int step = 0; step < 2; ++step) {
      const uint32_t entry = t.fast[w.bits >> (32 - kFastBits)];
      if (CodesIn(entry) == 0) {
        const uint32_t at = w.Position(base);
        const int32_t code = WalkLevelsAt(base, at, t, StartLevel(entry));
        if (code < 0) {
          s.window = bytes.WindowAt(at);
          s.out = out;
          s.failed = true;
          return;
        }
        *out++ = static_cast<uint8_t>(code);
        w.Seek(base, at + static_cast<uint32_t>(code >> 8));
        break;
      }
      StoreUint32(out, entry);
      out += CodesIn(entry);
      // Two codes of kFastBits at most: the count is below 32.
      const uint32_t consumed = Consumed(entry) & 31;
      w.bits <<= consumed;
      w.count -= static_cast<int32_t>(consumed);
    }
  }
  s.window = bytes.WindowAt(w.Position(base));
  s.out = out;
}

}  // namespace huffman
