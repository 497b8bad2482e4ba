// The Huffman stage of block decoding.
//
// The header is read through BitReader exactly as the format lays it out.
// The codes are then decoded through left-justified 64-bit windows, in ways
// that all give the code that the canonical code defines:
//
// - A fast table indexed by the window's first kFastBits bits holds, for
//   every code that short, its byte value and length, and when a second
//   short code fits in the same bits, that one too: one load and one shift
//   per one or two codes. Longer codes, and values that are no code, send
//   the decoder to the level walk: the code value extended level by level
//   and compared with each level's end, starting at the first level longer
//   than kFastBits that can hold it (at most 20 levels: one per length).
// - Each table step depends on the one before (the length decides where the
//   next code starts), so one stream of codes runs at the speed of that
//   chain. A large block is therefore decoded as up to four streams at
//   once: the first from the first code, the others from bits a quarter,
//   half and three quarters into the stream. A later stream cannot know
//   where a code starts there, but a prefix code falls into step with the
//   true code boundaries after a few codes; it records where its first
//   steps start, and when the stream before it reaches one of those
//   positions the two agree from there on. Streams write in pairs from the
//   two ends of a stretch of the output room towards each other; their
//   output is moved into place once they have met. A stream that never
//   meets the one after it (codes that keep out of step, damaged data) just
//   carries on past it. On 32-bit machines one stream decodes alone.
// - Near the end of the stream and of the output, and wherever a code turns
//   out malformed, decoding goes on one code at a time with the checks at
//   the very points where the format's decoder made them (bits that run out
//   are found once per group of codes that one refill of 56 bits serves), so
//   that every failure leaves the same partial output behind.
//
// The output goes into room of its own, never over the coded block: that
// spares a working copy of the block and lets the output run ahead freely.
#include "archive/huffman_stage.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <utility>

#include "archive/bit_reader.h"

namespace {

constexpr int kLevels = 256;   // the level count has 8 bits: up to 255 levels
constexpr int kSymbols = 256;  // byte values
constexpr int kMaxLength = 31; // code lengths must fit a 32-bit code value
constexpr int kMaxStep = 25;   // the widest field the reader delivers

// Bits of the window that index the fast table: 4096 entries of 4 bytes,
// well inside the first-level data cache, and up to two codes per entry.
constexpr int kFastBits = 12;
constexpr uint32_t kFastMask = (1u << kFastBits) - 1;
// Table steps per refill: a refill leaves at least 56 bits, and a step that
// the table serves takes at most kFastBits of them.
constexpr int kStepsPerRefill = 56 / kFastBits;

// Blocks that decode to fewer bytes go without the fast table.
constexpr int32_t kTableBytes = 1024;
// Table steps whose starts a later stream records, for the one before to
// meet; they decode at most twice as many codes.
constexpr int kMeetSteps = 256;
constexpr int kMeetCodes = 2 * kMeetSteps;
// How far on from its start a later stream tries again when it meets a
// value that is no code before the meeting records are full (with the
// records' own span, within their 16-bit offsets), and how many steps all
// its tries may take.
constexpr int64_t kMeetRetryBits = 16384;
constexpr int32_t kMeetRetrySteps = 8 * kMeetSteps;
// Pairs of streams: up to 2 (4 streams), one pair per kPairBytes of stream
// and of output; below that, one stream decodes alone. Four streams need
// the registers of a 64-bit machine: with the eight of 32-bit x86 they
// would only spill, and there one stream decodes alone, in less code.
constexpr int kPairLimit = 2;
constexpr int kMaxPairs = sizeof(void*) >= 8 ? kPairLimit : 0;
constexpr int32_t kPairBytes = 8192;
// Fast steps stay this many bytes clear of the end of the coded block, so
// that their 8-byte loads and a long code after a batch stay inside it.
constexpr int32_t kEndMargin = 64;
// Fast steps keep this many bytes clear of the end of their output, and of
// the other stream's: a batch writes at most 2 bytes per step, and 2 bytes
// of no use beyond them.
constexpr int32_t kOutputClear = 32;

// One level that holds codes, as the level walk uses it.
struct DecodeLevel {
  uint32_t limit;   // first code value past the level, left-justified to 31
                    // bits (2^31 when the level fills the code space)
  uint32_t base;    // code value + base (mod 2^32) = index into `symbols`
  uint8_t shift;    // 64 - length: brings a code to the low bits
  uint8_t length;   // the code length in bits
};
// Above every 31-bit window: ends the level walk at "no such code".
constexpr uint32_t kNoLevel = 0xFFFFFFFF;

// A fast table entry, one 32-bit word:
//   bits 0-7    the first code's byte value; for the walk, the level to
//               start at (0: the window holds no code at all)
//   bits 8-15   the second code's byte value
//   bits 16-23  the first code's byte value again
//   bits 24-29  bits that the step consumes (both codes' lengths)
//   bits 30-31  codes in the entry: 1 or 2; 0 sends the step to the walk
// So that a step costs few instructions: one store of the low bytes writes
// both codes in order upwards (bits 0-15), one of the entry shifted up by 8
// writes them in reverse order below its top (bits 8-23 in the upper two
// bytes), and the top byte is at once the shift (taken mod 64) and,
// shifted on, the number of codes.
constexpr uint32_t Entry(uint32_t consumed, uint32_t count, uint32_t symbol1, uint32_t symbol2) {
  return symbol1 | symbol2 << 8 | symbol1 << 16 | consumed << 24 | count << 30;
}
constexpr uint32_t WalkEntry(uint32_t startLevel) { return startLevel; }
constexpr uint32_t Consumed(uint32_t entry) { return entry >> 24; }  // mod 64
constexpr uint32_t StartLevel(uint32_t entry) { return entry & 0xFF; }

// Writes value's four bytes, least significant first, at `at`: one store,
// which costs less here than a 16-bit one even where only two of the
// bytes are wanted.
inline void StoreFour(uint8_t* at, uint32_t value) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(at, &value, sizeof value);
  } else {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
  }
}

// The working tables of one call, about 32 KB, in the calling thread's
// stack frame. Only entries that the block's table fills are read.
struct CodeTables {
  uint32_t fast[1 << kFastBits];
  // The first code in each entry's bits alone: its length << 8 | its byte
  // value, 0 when it is longer than kFastBits or no code.
  uint16_t firstCode[1 << kFastBits];
  // decode[0] has limit 0 and stands for "no level left"; decode[1 ..
  // decodeCount] are the levels that hold codes, consecutive levels of one
  // length taken together; then a sentinel.
  DecodeLevel decode[kLevels + 1];
  uint32_t limits[kLevels + 1];  // decode[k].limit, side by side for counting
  int32_t levelCount;                // g
  int32_t lengths[kLevels];          // L[k], code length of level k
  int32_t levelIndex[kSymbols];      // level of each byte value (>= g: none)
  int32_t step[kLevels];             // L[k] - L[k-1]; step[0] = L[0]
  int32_t levelSize[kLevels];        // byte values at level k
  uint8_t symbols[kSymbols];         // the byte values in code order
  int32_t decodeCount;               // levels that hold codes
  bool fastTable;                    // fast and firstCode are filled
  int32_t longestCode;               // bits
  int32_t lengthDivisor;             // greatest common divisor of the code lengths
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
// may). Also lays out the levels that hold codes for the level walk.
bool AssignCodes(CodeTables& t) {
  for (int32_t k = 0; k < t.levelCount; ++k) t.levelSize[k] = 0;
  for (int32_t s = 0; s < kSymbols; ++s) {
    if (t.levelIndex[s] < t.levelCount) ++t.levelSize[t.levelIndex[s]];
  }
  // Code order is level order, and within a level the order of the byte
  // values: each level's values follow those of the levels before it.
  // Consecutive levels of one length hold consecutive code values, so they
  // are walked as one level; otherwise up to 255 levels of one length would
  // cost a comparison each for every code.
  int32_t place[kLevels];  // where level k's next byte value goes
  int32_t placed = 0;
  for (int32_t k = 0; k < t.levelCount; ++k) {
    place[k] = placed;
    placed += t.levelSize[k];
  }
  for (int32_t s = 0; s < kSymbols; ++s) {
    const int32_t k = t.levelIndex[s];
    if (k < t.levelCount) t.symbols[place[k]++] = static_cast<uint8_t>(s);
  }

  uint64_t nextFree = 0;  // next free code value of length L[k]
  t.decodeCount = 0;
  t.longestCode = 0;
  t.lengthDivisor = 0;
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
    int32_t a = t.lengthDivisor, b = length;
    while (b != 0) {
      const int32_t r = a % b;
      a = b;
      b = r;
    }
    t.lengthDivisor = a;
  }
  t.decode[t.decodeCount + 1] = DecodeLevel{kNoLevel, 0, 0, 0};
  for (int32_t k = 0; k <= t.decodeCount + 1; ++k) t.limits[k] = t.decode[k].limit;
  return true;
}

// Fills the fast table. Levels are ordered by code value, and level k's
// codes, left-justified, take the values from level k-1's limit up to its
// own: the codes no longer than kFastBits, in code order, each fill the
// range of entries that start with them. Within a code's range, the codes
// short enough to follow it in the remaining bits fill sub-ranges in code
// order too, as pairs; the rest of the range holds the code alone. A later
// entry holds the start of a longer code, or of none.
struct TableShares {
  int32_t pairs;  // entries that hold two codes
  int32_t walks;  // entries that send the step to the walk
};

TableShares BuildFastTable(CodeTables& t) {
  constexpr int kJustify = kMaxLength - kFastBits;
  struct ShortCode {
    uint16_t first;  // the first entry that starts with it
    uint8_t length;
    uint8_t symbol;
  };
  ShortCode codes[kSymbols];
  int32_t count = 0;
  int32_t pairs = 0;
  uint32_t prefix = 0;
  int32_t level = 1;
  for (; level <= t.decodeCount && t.decode[level].length <= kFastBits; ++level) {
    const DecodeLevel& found = t.decode[level];
    const uint32_t end = found.limit >> kJustify;
    for (; prefix < end; prefix += 1u << (kFastBits - found.length)) {
      const uint8_t symbol = t.symbols[(prefix >> (kFastBits - found.length)) + found.base];
      codes[count++] = ShortCode{static_cast<uint16_t>(prefix), found.length, symbol};
    }
  }
  for (int32_t a = 0; a < count; ++a) {
    const ShortCode first = codes[a];
    const uint32_t rest = kFastBits - first.length;
    uint32_t* entry = t.fast + first.first;
    uint32_t* const end = entry + (1u << rest);
    for (int32_t b = 0; b < count && codes[b].length <= rest; ++b) {
      const uint32_t pair = Entry(first.length + codes[b].length, 2, first.symbol, codes[b].symbol);
      for (uint32_t* const stop = entry + (1u << (rest - codes[b].length)); entry != stop; ++entry) *entry = pair;
    }
    pairs += static_cast<int32_t>(entry - (t.fast + first.first));
    const uint32_t single = Entry(first.length, 1, first.symbol, 0);
    for (; entry != end; ++entry) *entry = single;
    const uint16_t code = static_cast<uint16_t>(first.length << 8 | first.symbol);
    for (uint32_t i = 0; i < 1u << rest; ++i) t.firstCode[first.first + i] = code;
  }
  int32_t walks = 0;
  for (; prefix <= kFastMask; ++prefix) {
    while (prefix << kJustify >= t.decode[level].limit) ++level;
    t.firstCode[prefix] = 0;
    t.fast[prefix] = level > t.decodeCount ? 0 : WalkEntry(static_cast<uint32_t>(level));
    walks += level <= t.decodeCount;
  }
  return {pairs, walks};
}

uint64_t LoadBigEndian(const uint8_t* p) {
  uint64_t value;
  std::memcpy(&value, p, sizeof value);
  if constexpr (std::endian::native == std::endian::little) value = __builtin_bswap64(value);
  return value;
}

// The next stream bits, left-justified in 64 bits.
struct CodeWindow {
  const uint8_t* next;  // the byte after the last whole byte in `bits`
  uint64_t bits;        // valid bits from the top; below them zeros or the
                        // stream's own next bits
  int32_t count;        // valid bits, 56 to 63 after a refill

  // Needs 8 readable bytes at next.
  void Refill() { RefillWith(LoadBigEndian(next)); }
  void RefillWith(uint64_t loaded) {
    bits |= loaded >> count;
    next += (63 - count) >> 3;
    count |= 56;
  }
  void Consume(uint32_t n) {
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
      w.RefillWith(LoadBigEndian(tail_ + (w.next - tailStart_)));
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
int32_t WalkLevels(uint64_t bits, const CodeTables& t, uint32_t startLevel) {
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
int32_t CountLevels(uint64_t bits, const CodeTables& t, uint32_t startLevel) {
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
int32_t OneCode(uint64_t bits, const CodeTables& t) {
  if (!t.fastTable) return WalkLevels(bits, t, 1);
  const uint32_t prefix = static_cast<uint32_t>(bits >> (64 - kFastBits));
  if (t.firstCode[prefix] != 0) return t.firstCode[prefix];
  return WalkLevels(bits, t, StartLevel(t.fast[prefix]));
}

// A stream of codes being decoded, from the first code or from a bit
// further on (see the top of the file). Streams with an even number write
// upwards, odd ones downwards; stream 2p and 2p+1 share one stretch of the
// output room, from its two ends towards each other.
struct Stream {
  CodeWindow window;
  uint8_t* out;              // where the next byte goes (below it, downwards)
  uint8_t* base;             // where the first byte went
  int64_t fetchEnd;          // fast steps start a batch only at a bit below this
  bool failed = false;       // stopped at a value that is no code (window before it)
  int64_t first = 0;         // bit where it started
  int32_t recorded = 0;      // starts of its first steps kept below
  uint16_t starts[kMeetSteps];  // those starts, as bits after `first`
  uint16_t before[kMeetSteps];  // and the codes it had decoded by then
};

// How the table steps go for one block (the shares are out of the 4096
// entries, which is a code's chance under the code itself).
struct StepPlan {
  bool oneCode;      // one code per step in the joint steps: few entries hold two
  int32_t steps;     // joint steps per load
  bool reloadWalks;  // a walk loads afresh before and after: its code may not fit the load
  int32_t aloneSteps;  // steps per refill of a stream alone (walks never reload there)
  bool countWalks;   // walks are common: find their level without a branch per level
};

StepPlan PlanSteps(const TableShares& shares, int32_t longestCode) {
  const int32_t widest = longestCode > kFastBits ? longestCode : kFastBits;
  StepPlan plan{shares.pairs < (1 << kFastBits) / 8, kStepsPerRefill, kStepsPerRefill * widest > 56, 56 / widest,
                false};
  return plan;
}

// Long codes in the joint steps: while walks are rare they pay for loads of
// their own; once more than one step in 16 of the later streams' first
// steps was a walk, a load serves only as many steps as the longest code
// allows, and the walks count their way to the level rather than step
// there (the data decides: a table tells little about how often a hostile
// block uses its long codes).
void PlanWalks(StepPlan& plan, int32_t walks, int32_t steps) {
  if (walks * 16 <= steps) return;
  plan.countWalks = true;
  if (plan.reloadWalks) {
    plan.reloadWalks = false;
    plan.steps = plan.aloneSteps;
  }
}

// A stream's state in the joint steps below: three words, one fewer than
// a CodeWindow and its output, so that four streams fit the registers. The
// bits are loaded afresh from the position for each batch of steps.
struct Lane {
  uint64_t bits;      // the stream from `position` on, 57 to 64 of them after a load
  int64_t position;   // bits consumed from the start of the stream
  uint8_t* out;
};

inline void Load(Lane& lane, const uint8_t* start) {
  lane.bits = LoadBigEndian(start + (lane.position >> 3)) << (lane.position & 7);
}

// One table step on a lane, the i-th since its load: writes one or two
// bytes upwards (kDirection 1) or downwards (-1), and two bytes of no use
// beyond them, and moves on. A longer code goes by the walk (which counts
// its way to the level with kCounting), from a fresh load when `reload`
// says the code may not fit what is left of the last one. kOneCode takes
// one code per step, from firstCode, and writes it at out[i] (upwards) or
// out[-1 - i] (downwards), out moving on only after the batch: for tables
// whose entries seldom hold two codes, a cheaper step whose stores do not
// wait for the step before. False, with the lane before it, at a value
// that is no code.
template <int kDirection, bool kOneCode, bool kCounting = false>
inline bool LaneStep(Lane& lane, int i, const uint8_t* start, const CodeTables& t, bool reload) {
  const uint32_t prefix = static_cast<uint32_t>(lane.bits >> (64 - kFastBits));
  uint64_t entry;
  bool walk;
  if constexpr (kOneCode) {
    entry = t.firstCode[prefix];
    walk = entry == 0;
  } else {
    entry = t.fast[prefix];
    walk = entry >> 30 == 0;
  }
  if (walk) [[unlikely]] {
    if (reload) Load(lane, start);
    const uint32_t startLevel = StartLevel(t.fast[prefix]);
    const int32_t code = kCounting ? CountLevels(lane.bits, t, startLevel) : WalkLevels(lane.bits, t, startLevel);
    if (code < 0) return false;
    if (kOneCode) {
      lane.out[kDirection > 0 ? i : -1 - i] = static_cast<uint8_t>(code);
    } else if (kDirection > 0) {
      *lane.out++ = static_cast<uint8_t>(code);
    } else {
      *--lane.out = static_cast<uint8_t>(code);
    }
    lane.position += code >> 8;
    if (reload) {
      Load(lane, start);
    } else {
      lane.bits <<= code >> 8;
    }
    return true;
  }
  uint32_t consumed;
  if constexpr (kOneCode) {
    lane.out[kDirection > 0 ? i : -1 - i] = static_cast<uint8_t>(entry);
    consumed = static_cast<uint32_t>(entry >> 8);
  } else {
    if (kDirection > 0) {
      StoreFour(lane.out, static_cast<uint32_t>(entry));
      lane.out += entry >> 30;
    } else {
      StoreFour(lane.out - 4, static_cast<uint32_t>(entry << 8));
      lane.out -= entry >> 30;
    }
    consumed = Consumed(static_cast<uint32_t>(entry)) & 63;
  }
  lane.bits <<= consumed;
  lane.position += consumed;
  return true;
}

// After a batch of kOneCode steps of which `done` were taken: out moves on.
template <int kDirection, bool kOneCode>
inline void Advance(Lane& lane, int done) {
  if constexpr (kOneCode) lane.out += kDirection * done;
}

// Table steps on one stream while, at the start of a batch, its next bit
// lies below its fetchEnd and its output is more than kOutputClear bytes
// from outStop. Stops at a value that is no code, marking the stream failed
// with its window before it. A stream alone is held up by the chain from
// one step to the next, not by the work of a step: it takes the two-code
// entries, and keeps its window as the format's decoder does, one refill
// serving as many steps as the longest step allows, so that a long code
// needs no load of its own.
template <int kDirection>
void FastSteps(Stream& s, const StreamBytes& bytes, const CodeTables& t, int32_t steps, const uint8_t* outStop) {
  if (s.failed) return;
  CodeWindow w = s.window;
  uint8_t* out = s.out;
  while (bytes.Position(w) < s.fetchEnd && (kDirection > 0 ? outStop - out : out - outStop) > kOutputClear) {
    w.Refill();
    for (int32_t i = 0; i < steps; ++i) {
      const uint32_t entry = t.fast[w.bits >> (64 - kFastBits)];
      if (entry >> 30 == 0) {
        const int32_t code = WalkLevels(w.bits, t, StartLevel(entry));
        if (code < 0) {
          s.failed = true;
          s.window = w;
          s.out = out;
          return;
        }
        if (kDirection > 0) {
          *out++ = static_cast<uint8_t>(code);
        } else {
          *--out = static_cast<uint8_t>(code);
        }
        w.Consume(static_cast<uint32_t>(code >> 8));
        continue;
      }
      if (kDirection > 0) {
        StoreFour(out, entry);
        out += entry >> 30;
      } else {
        StoreFour(out - 4, entry << 8);
        out -= entry >> 30;
      }
      w.Consume(Consumed(entry));
    }
  }
  s.window = w;
  s.out = out;
}

// FastSteps in the stream's direction (k even: upwards).
void FastStepsOf(int k, Stream& s, const StreamBytes& bytes, const CodeTables& t, int32_t steps,
                 const uint8_t* outStop) {
  if (k % 2 == 0) {
    FastSteps<1>(s, bytes, t, steps, outStop);
  } else {
    FastSteps<-1>(s, bytes, t, steps, outStop);
  }
}

// Pairs of streams (2 or 4 streams), one table step of each in turn, so
// that their dependency chains overlap: stream 2p writes upwards towards
// stream 2p+1, which writes downwards. Runs while, at the start of a batch,
// every stream's next bit lies below its fetchEnd, each pair's
// outputs are more than kOutputClear bytes apart and each upward output is
// that far below its upStop. Stops when any stream meets a value that is
// no code.
template <int kPairs, bool kOneCode, bool kCounting>
void FastStepsTogether(Stream* const* streams, const StreamBytes& bytes, const CodeTables& t, const StepPlan& plan,
                       const uint8_t* const* upStop) {
  const int32_t steps = plan.steps;
  const bool reload = plan.reloadWalks;
  static_assert(kPairs == 1 || kPairs == 2, "one or two pairs");
  constexpr int kCount = 2 * kPairs;
  const uint8_t* const start = bytes.Start();
  int64_t fetchEnd[kCount];
  for (int k = 0; k < kCount; ++k) fetchEnd[k] = streams[k]->fetchEnd;
  auto lane = [&](int k) { return Lane{0, bytes.Position(streams[k]->window), streams[k]->out}; };
  // Named, not in an array: they must live in registers.
  Lane l0 = lane(0), l1 = lane(1), l2 = l0, l3 = l1;
  if constexpr (kPairs == 2) {
    l2 = lane(2);
    l3 = lane(3);
  }
  const uint8_t* const stop0 = upStop[0];
  const uint8_t* const stop2 = upStop[kPairs - 1];
  auto more = [&] {
    bool go = (l0.position < fetchEnd[0]) & (l1.position < fetchEnd[1]) & (l1.out - l0.out > kOutputClear) &
              (stop0 - l0.out > kOutputClear);
    if constexpr (kPairs == 2) {
      go &= (l2.position < fetchEnd[2]) & (l3.position < fetchEnd[3]) & (l3.out - l2.out > kOutputClear) &
            (stop2 - l2.out > kOutputClear);
    }
    return go;
  };
  int failed = -1;
  while (more()) {
    Load(l0, start);
    Load(l1, start);
    if constexpr (kPairs == 2) {
      Load(l2, start);
      Load(l3, start);
    }
    int i = 0;
    for (; i < steps && failed < 0; ++i) {
      if (!LaneStep<1, kOneCode, kCounting>(l0, i, start, t, reload)) failed = 0;
      else if (!LaneStep<-1, kOneCode, kCounting>(l1, i, start, t, reload)) failed = 1;
      else if constexpr (kPairs == 2) {
        if (!LaneStep<1, kOneCode, kCounting>(l2, i, start, t, reload)) failed = 2;
        else if (!LaneStep<-1, kOneCode, kCounting>(l3, i, start, t, reload)) failed = 3;
      }
    }
    // Streams before the one that failed took its last step too.
    if (failed >= 0) --i;
    Advance<1, kOneCode>(l0, i + (failed > 0));
    Advance<-1, kOneCode>(l1, i + (failed > 1));
    if constexpr (kPairs == 2) {
      Advance<1, kOneCode>(l2, i + (failed > 2));
      Advance<-1, kOneCode>(l3, i);
    }
    if (failed >= 0) break;
  }
  auto back = [&](int k, const Lane& l) {
    streams[k]->window = bytes.WindowAt(l.position);
    streams[k]->out = l.out;
  };
  back(0, l0);
  back(1, l1);
  if constexpr (kPairs == 2) {
    back(2, l2);
    back(3, l3);
  }
  if (failed >= 0) streams[failed]->failed = true;
}

// FastStepsTogether in the kind of step that the plan chose.
template <int kPairs>
void Together(Stream* const* streams, const StreamBytes& bytes, const CodeTables& t, const StepPlan& plan,
              const uint8_t* const* upStop) {
  if (plan.countWalks) {
    plan.oneCode ? FastStepsTogether<kPairs, true, true>(streams, bytes, t, plan, upStop)
                 : FastStepsTogether<kPairs, false, true>(streams, bytes, t, plan, upStop);
  } else {
    plan.oneCode ? FastStepsTogether<kPairs, true, false>(streams, bytes, t, plan, upStop)
                 : FastStepsTogether<kPairs, false, false>(streams, bytes, t, plan, upStop);
  }
}

// What a decode left: the bytes of output written from the start, and
// whether decoding succeeded (a failure can still have written all d).
struct Decoded {
  int32_t written;
  bool ok;
};

// The rest of the output, from output position i onwards (the window at
// that code, anywhere in the stream), with the checks of the format's
// decoder: it refilled once per group of `codes` codes counted from the
// start of the output, and found bits that had run out only at a group's
// start and after the last code; a value that is no code ends decoding
// where it is. The caller guarantees that no check before i would have
// failed.
Decoded FinishExactly(CodeWindow window, const StreamBytes& bytes, const CodeTables& t, int32_t codes,
                      uint8_t* out, int32_t i, int32_t d) {
  const int64_t endPosition = bytes.EndPosition();
  int32_t groupStart = i - i % codes;
  bool atGroupStart = i == groupStart;
  for (;;) {
    if (atGroupStart && bytes.Position(window) > endPosition) return {i, false};
    bytes.RefillSafely(window);
    if (d - groupStart < codes) break;
    for (; i < groupStart + codes; ++i) {
      const int32_t code = OneCode(window.bits, t);
      if (code < 0) return {i, false};
      out[i] = static_cast<uint8_t>(code);
      window.Consume(static_cast<uint32_t>(code >> 8));
    }
    groupStart = i;
    atGroupStart = true;
  }
  // The last few codes, from the refill just made.
  for (; i < d; ++i) {
    const int32_t code = OneCode(window.bits, t);
    if (code < 0) return {i, false};
    out[i] = static_cast<uint8_t>(code);
    window.Consume(static_cast<uint32_t>(code >> 8));
  }
  return {d, bytes.Position(window) <= endPosition};
}

// Reverses the bytes of [low, high).
void Reverse(uint8_t* low, uint8_t* high) {
  while (high - low >= 16) {
    uint64_t a, b;
    std::memcpy(&a, low, 8);
    std::memcpy(&b, high - 8, 8);
    a = __builtin_bswap64(a);
    b = __builtin_bswap64(b);
    std::memcpy(low, &b, 8);
    std::memcpy(high - 8, &a, 8);
    low += 8;
    high -= 8;
  }
  while (high - low > 1) {
    const uint8_t byte = *low;
    *low++ = *--high;
    *high = byte;
  }
}

// Copies the bytes of [low, high) in reverse order to `to`, which lies
// clear of them.
void CopyReversed(uint8_t* to, const uint8_t* low, const uint8_t* high) {
  while (high - low >= 8) {
    uint64_t word;
    high -= 8;
    std::memcpy(&word, high, 8);
    word = __builtin_bswap64(word);
    std::memcpy(to, &word, 8);
    to += 8;
  }
  while (high != low) *to++ = *--high;
}

// The room that kPairs pairs of streams need for d bytes of output: each
// pair's stretch holds its codes and the codes that the streams decode
// before they fall into step.
constexpr int64_t PairStretch(int32_t d) { return int64_t{d} + 2 * kMeetCodes + 2 * kOutputClear; }

// Where output goes on after the streams: the position of the next byte
// and the window at its code, or the whole output when position is d.
struct Handover {
  CodeWindow window;
  int32_t position;
};

// Decodes with 2 * pairs streams (see the top of the file) as far as they
// reach together.
Handover DecodeStreams(const CodeWindow& firstWindow, int pairs, StepPlan plan, const StreamBytes& bytes,
                       int64_t headerBits, const CodeTables& t, uint8_t* out, int32_t d) {
  const int32_t steps = plan.aloneSteps;
  const int count = 2 * pairs;
  const int64_t stretch = PairStretch(d);
  const int64_t streamBits = bytes.EndPosition() - headerBits;
  Stream streams[2 * kPairLimit];
  // Stream k from bit k / count of the stream on, on a bit where a code
  // could start: the code lengths' common divisor apart from the first code
  // (8 for a table of 8-bit codes, which would otherwise never fall into
  // step). Each stops fetching short of the next one's start, so that the
  // meeting can step code by code through its first starts; a batch and a
  // walk take at most 5 codes of 31 bits.
  for (int k = 0; k < count; ++k) {
    Stream& s = streams[k];
    s.first = headerBits + streamBits * k / count;
    s.first -= (s.first - headerBits) % t.lengthDivisor;
    s.window = k == 0 ? firstWindow : bytes.WindowAt(s.first);
    s.base = out + stretch * (k / 2) + (k % 2 == 0 ? 0 : stretch);
    s.out = s.base;
  }
  for (int k = 0; k < count; ++k) {
    const int64_t nextFirst = k + 1 < count ? streams[k + 1].first : bytes.EndPosition();
    const int64_t fetchBits = nextFirst - 5 * kMaxLength - (k + 1 < count ? 0 : 8 * kEndMargin);
    streams[k].fetchEnd = fetchBits;
  }

  // Where the first table steps of the later streams start. Once a stream
  // is in step, the start of every step is the start of a true code. A
  // stream out of step can meet a value that is no code (incomplete codes
  // leave many): it starts again, with new records, one possible code
  // start further on than its last try, until a try fills the records or
  // a budget of steps and bits runs out.
  int32_t recordedSteps = 0;
  int32_t recordedWalks = 0;
  for (int k = 1; k < count; ++k) {
    Stream& s = streams[k];
    int64_t tryStart = s.first;
    int32_t budget = kMeetRetrySteps;
    Lane lane{0, tryStart, s.out};
    while (s.recorded < kMeetSteps && lane.position < s.fetchEnd) {
      s.starts[s.recorded] = static_cast<uint16_t>(lane.position - s.first);
      s.before[s.recorded] = static_cast<uint16_t>(k % 2 == 0 ? lane.out - s.base : s.base - lane.out);
      Load(lane, bytes.Start());
      ++recordedSteps;
      recordedWalks += t.fast[lane.bits >> (64 - kFastBits)] >> 30 == 0;
      const bool stepped = k % 2 == 0 ? LaneStep<1, false>(lane, 0, bytes.Start(), t, false)
                                      : LaneStep<-1, false>(lane, 0, bytes.Start(), t, false);
      if (stepped) {
        ++s.recorded;
      } else if (--budget > 0 && tryStart - s.first < kMeetRetryBits) {
        tryStart += t.lengthDivisor;
        lane.position = tryStart;
        lane.out = s.base;
        s.recorded = 0;
      } else {
        s.failed = true;
        break;
      }
    }
    s.window = bytes.WindowAt(lane.position);
    s.out = lane.out;
  }

  PlanWalks(plan, recordedWalks, recordedSteps);

  // All together, then each pair, then each stream alone, as far as each
  // reaches. The first stream keeps its output below d.
  const uint8_t* const outEnd = out + d;
  const uint8_t* const upStop[kPairLimit] = {outEnd, out + stretch * kPairLimit};
  Stream* order[2 * kPairLimit];
  for (int k = 0; k < count; ++k) order[k] = &streams[k];
  if (pairs == 2) Together<2>(order, bytes, t, plan, upStop);
  for (int p = 0; p < pairs; ++p) Together<1>(order + 2 * p, bytes, t, plan, upStop + p);
  for (int p = 0; p < pairs; ++p) {
    FastStepsOf(0, streams[2 * p], bytes, t, steps,
                std::min(upStop[p], static_cast<const uint8_t*>(streams[2 * p + 1].out)));
    FastStepsOf(1, streams[2 * p + 1], bytes, t, steps, streams[2 * p].out);
  }

  // One stream of decoding from the first on: it takes each later stream's
  // codes once it has met it, and decodes what lies between itself.
  Stream front = streams[0];
  for (int k = 1; k < count && !front.failed; ++k) {
    Stream& s = streams[k];
    front.fetchEnd = streams[k - 1].fetchEnd;
    // The second stream's output lies below d; the later ones' above it.
    const uint8_t* const stop = k == 1 ? std::min(outEnd, static_cast<const uint8_t*>(s.out)) : outEnd;
    FastStepsOf(0, front, bytes, t, steps, stop);
    int32_t j = 0;
    bool met = false;
    while (!front.failed) {
      const int64_t position = bytes.Position(front.window) - s.first;
      while (j < s.recorded && s.starts[j] < position) ++j;
      if (j == s.recorded) break;
      if (s.starts[j] == position) {
        met = true;
        break;
      }
      if (stop - front.out <= kOutputClear) break;
      front.window.Refill();
      const int32_t code = OneCode(front.window.bits, t);
      if (code < 0) {
        front.failed = true;
        break;
      }
      *front.out++ = static_cast<uint8_t>(code);
      front.window.Consume(static_cast<uint32_t>(code >> 8));
    }
    if (!met) continue;  // its work is lost: decoding goes on past it
    // Its codes from the one at its j-th step on are the true codes from
    // here on; a stream that wrote downwards has them in reverse.
    const int32_t skipped = s.before[j];
    uint8_t* low = k % 2 == 0 ? s.base + skipped : s.out;
    uint8_t* high = k % 2 == 0 ? s.out : s.base - skipped;
    const int32_t position = static_cast<int32_t>(front.out - out);
    const int32_t taken = static_cast<int32_t>(std::min<int64_t>(high - low, d - position));
    if (k % 2 == 0) {
      std::memmove(front.out, low, static_cast<size_t>(taken));
    } else if (front.out + (high - low) <= low) {
      CopyReversed(front.out, high - taken, high);
    } else {
      Reverse(low, high);
      std::memmove(front.out, low, static_cast<size_t>(taken));
    }
    front.out += taken;
    if (front.out == outEnd) return {front.window, d};
    front.window = s.window;
    front.failed = s.failed;
  }
  if (!front.failed) {
    front.fetchEnd = streams[count - 1].fetchEnd;
    FastStepsOf(0, front, bytes, t, steps, outEnd);
  }
  return {front.window, static_cast<int32_t>(front.out - out)};
}

// Decodes d codes into out (room bytes; see DecodeHuffmanInto).
Decoded DecodeSymbols(const StreamBytes& bytes, int64_t headerBits, CodeTables& t, uint8_t* out, size_t room,
                      int32_t d) {
  if (t.decodeCount == 0) return {0, false};  // no byte value has a code
  const DecodeLevel& first = t.decode[1];
  if (first.length == 0) {
    // A single code of no bits, which alone fills the code space: every
    // byte is the same and no bit is read.
    std::memset(out, t.symbols[first.base], static_cast<size_t>(d));
    return {d, true};
  }
  const int32_t codes = 56 / t.longestCode < 4 ? 56 / t.longestCode : 4;
  const CodeWindow window = bytes.WindowAt(headerBits);
  // A few codes cost less walked from the first level than the table costs.
  t.fastTable = d >= kTableBytes;
  if (!t.fastTable) return FinishExactly(window, bytes, t, codes, out, 0, d);
  const TableShares shares = BuildFastTable(t);

  // As many pairs of streams as the block is worth and the room holds.
  if constexpr (kMaxPairs > 0) {
    const int64_t streamBytes = bytes.End() - bytes.Start();
    for (int pairs = kMaxPairs; pairs >= 1; --pairs) {
      const int64_t worth = kPairBytes * pairs;
      if (d < worth || streamBytes < worth || room < static_cast<size_t>(PairStretch(d) * pairs)) continue;
      const Handover handover =
          DecodeStreams(window, pairs, PlanSteps(shares, t.longestCode), bytes, headerBits, t, out, d);
      if (handover.position == d) return {d, true};
      return FinishExactly(handover.window, bytes, t, codes, out, handover.position, d);
    }
  }
  Stream front;
  front.window = window;
  front.out = front.base = out;
  front.fetchEnd = (bytes.End() - bytes.Start() - kEndMargin) * int64_t{8};
  FastSteps<1>(front, bytes, t, PlanSteps(shares, t.longestCode).aloneSteps, out + d);
  const Handover handover{front.window, static_cast<int32_t>(front.out - out)};
  return FinishExactly(handover.window, bytes, t, codes, out, handover.position, d);
}

// The header's most bytes: the decoded length, 8 + 255 * 8 + 256 * 8 bits,
// and the 4 bytes that the reader's refill may fetch beyond them.
constexpr int32_t kHeaderBytes = 4 + 512 + 4;

}  // namespace

int32_t DecodedLengthField(const uint8_t* block) {
  int32_t decodedLength;
  std::memcpy(&decodedLength, block, sizeof decodedLength);
  if constexpr (std::endian::native == std::endian::big) decodedLength = __builtin_bswap32(decodedLength);
  return decodedLength;
}

size_t HuffmanRoomFor(int32_t d) {
  const int64_t alone = int64_t{d > 0 ? d : 0} + kOutputClear;
  // Only a block worth two streams uses the room that streams need.
  const int64_t streams = d >= kPairBytes ? PairStretch(d) * kMaxPairs : 0;
  return static_cast<size_t>(streams > alone ? streams : alone);
}

int32_t DecodeHuffmanInto(const uint8_t* block, int32_t length, int32_t capacity, uint8_t* out, size_t room,
                          int32_t* written) {
  *written = 0;
  if (length < 4) return 0;  // not even the decoded length
  const int32_t decodedLength = DecodedLengthField(block);
  if (decodedLength > capacity) return 0;

  // The header from a copy with zeros after the block, since the reader
  // may fetch past a short one.
  uint8_t header[kHeaderBytes + 16];
  const int32_t kept = length < kHeaderBytes ? length : kHeaderBytes;
  std::memcpy(header, block, static_cast<size_t>(kept));
  std::memset(header + kept, 0, sizeof header - static_cast<size_t>(kept));
  CodeTables tables;
  BitReader reader;
  reader.Init(header + 4, length, 1);
  reader.ResetEmpty();
  if (!ReadLevels(reader, tables) || !ReadLevelIndices(reader, tables) || !AssignCodes(tables)) return 0;
  if (decodedLength <= 0) return decodedLength;

  const StreamBytes bytes(block + 4, length - 4);
  const Decoded decoded = DecodeSymbols(bytes, reader.bitsTotal, tables, out, room, decodedLength);
  *written = decoded.written;
  return decoded.ok ? decodedLength : 0;
}

int32_t DecodeHuffmanBlock(uint8_t* buffer, int32_t length, int32_t capacity) {
  int32_t written;
  if (length < 4 || DecodedLengthField(buffer) > capacity || DecodedLengthField(buffer) <= 0) {
    return DecodeHuffmanInto(buffer, length, capacity, nullptr, 0, &written);
  }
  // The output runs ahead of the bits still to be read: decode into room
  // of its own, then over the block.
  const size_t room = HuffmanRoomFor(DecodedLengthField(buffer));
  uint8_t* out = new (std::nothrow) uint8_t[room];
  if (out == nullptr) return 0;
  const int32_t result = DecodeHuffmanInto(buffer, length, capacity, out, room, &written);
  std::memcpy(buffer, out, static_cast<size_t>(written));
  delete[] out;
  return result;
}
