// Decoding a large block as up to four streams of codes at once.
//
// Each table step depends on the one before (the length decides where the
// next code starts), so one stream of codes runs at the speed of that
// chain. A large block is therefore decoded by several streams at once,
// each from its own bit of the same coded stream, in these words:
//
// - stream: one of 2 or 4 decoders of the coded stream: the first from the
//   first code, the others from bits a quarter, half and three quarters
//   into it. A later stream cannot know where a code starts there, but a
//   prefix code falls into step with the true code boundaries after a few
//   codes.
// - stretch: the part of the output room that a pair of streams shares.
//   Stream 2p writes upwards from its low end, stream 2p+1 downwards from
//   its high end, towards each other.
// - lane: a stream's state in the joint steps, where the streams take one
//   table step each in turn, so that their dependency chains overlap; three
//   words, so that four lanes fit the registers.
// - records: where a later stream's first table steps start, and how many
//   codes it had decoded by then.
// - meet: the stream before a later one reaches one of its recorded starts;
//   from there on both decode the same, true codes.
// - front: the one stream that carries decoding on from the first code. It
//   decodes up to the next stream's starts, meets it, takes over its output
//   (moved into place, and reversed when it was written downwards) and goes
//   on from where that stream stopped. A stream that is never met (codes
//   that keep out of step, damaged data) is passed by: the front decodes on
//   past its start, and its work is lost.
// - handover: where the streams are done and the exact path (one code at a
//   time, huffman_one_stream.h) goes on, at the front's window and output.
//
// On 32-bit machines one stream decodes alone and none of this runs.
#include "archive/huffman_streams.h"

#include <algorithm>
#include <cstring>

namespace huffman {
namespace {

// How far on from its start a later stream tries again when it meets a
// value that is no code before the meeting records are full (with the
// records' own span, within their 16-bit offsets), and how many steps all
// its tries may take.
constexpr int64_t kMeetRetryBits = 16384;
constexpr int32_t kMeetRetrySteps = 8 * kMeetSteps;

// A stream of codes being decoded, from the first code or from a bit
// further on. Streams with an even number write upwards, odd ones
// downwards.
struct Stream : StreamCursor {
  uint8_t* base = nullptr;      // where the first byte went
  int64_t first = 0;            // bit where it started
  int32_t recorded = 0;         // starts of its first steps kept below
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
  StepPlan plan{shares.pairs < (1 << kFastBits) / 8, kStepsPerRefill, kStepsPerRefill * widest > 56,
                AloneSteps(longestCode), false};
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

// A stream's state in the joint steps: three words, one fewer than a
// CodeWindow and its output, so that four streams fit the registers. The
// bits are loaded afresh from the position for each batch of steps.
struct Lane {
  uint64_t bits;      // the stream from `position` on, 57 to 64 of them after a load
  int64_t position;   // bits consumed from the start of the stream
  uint8_t* out;

  void Consume(uint32_t n) {
    bits <<= n;
    position += n;
  }
};

inline void Load(Lane& lane, const uint8_t* start) {
  lane.bits = LoadBigEndian64(start + (lane.position >> 3)) << (lane.position & 7);
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
    // One code per step: the byte goes to its place in the batch.
    uint8_t* at = kOneCode ? lane.out + (kDirection > 0 ? i : -i) : lane.out;
    if (!StoreCode<kDirection>(code, at, lane)) return false;
    if constexpr (!kOneCode) lane.out = at;
    if (reload) Load(lane, start);
    return true;
  }
  uint32_t consumed;
  if constexpr (kOneCode) {
    lane.out[kDirection > 0 ? i : -1 - i] = static_cast<uint8_t>(entry);
    consumed = static_cast<uint32_t>(entry >> 8);
  } else {
    if (kDirection > 0) {
      StoreUint32(lane.out, static_cast<uint32_t>(entry));
      lane.out += CodesIn(static_cast<uint32_t>(entry));
    } else {
      StoreUint32(lane.out - 4, static_cast<uint32_t>(entry << 8));
      lane.out -= CodesIn(static_cast<uint32_t>(entry));
    }
    consumed = Consumed(static_cast<uint32_t>(entry)) & 63;
  }
  lane.Consume(consumed);
  return true;
}

// After a batch of kOneCode steps of which `done` were taken: out moves on.
template <int kDirection, bool kOneCode>
inline void Advance(Lane& lane, int done) {
  if constexpr (kOneCode) lane.out += kDirection * done;
}

// FastSteps in the stream's direction (k even: upwards).
void FastStepsOf(int k, StreamCursor& s, const StreamBytes& bytes, const CodeTables& t, int32_t steps,
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

// Reverses the bytes of [low, high).
void Reverse(uint8_t* low, uint8_t* high) {
  while (high - low >= 16) {
    uint64_t a, b;
    std::memcpy(&a, low, 8);
    std::memcpy(&b, high - 8, 8);
    a = ByteSwap64(a);
    b = ByteSwap64(b);
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
    word = ByteSwap64(word);
    std::memcpy(to, &word, 8);
    to += 8;
  }
  while (high != low) *to++ = *--high;
}


// The streams' starts: stream k from bit k / count of the coded stream on,
// on a bit where a code could start (the code lengths' common divisor
// apart from the first code: 8 for a table of 8-bit codes, which would
// otherwise never fall into step), with its output at its end of its
// pair's stretch. Each stops fetching short of the next one's start, so
// that the meeting can step code by code through its first starts; a batch
// and a walk take at most 5 codes of 31 bits.
void PlaceStreams(Stream* streams, int count, const CodeWindow& firstWindow, const StreamBytes& bytes,
                  int64_t headerBits, const CodeTables& t, uint8_t* out, int64_t stretch) {
  const int64_t streamBits = bytes.EndPosition() - headerBits;
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
    streams[k].fetchEnd = nextFirst - 5 * kMaxLength - (k + 1 < count ? 0 : 8 * kEndMargin);
  }
}

// Table steps recorded, and how many of them were walks.
struct Recorded {
  int32_t steps = 0;
  int32_t walks = 0;
};

// The records of the later streams: where their first table steps start.
// Once a stream is in step, the start of every step is the start of a true
// code. A stream out of step can meet a value that is no code (incomplete
// codes leave many): it starts again, with new records, one possible code
// start further on than its last try, until a try fills the records or a
// budget of steps and bits runs out.
Recorded RecordFirstSteps(Stream* streams, int count, const StreamBytes& bytes, const CodeTables& t) {
  Recorded recorded;
  for (int k = 1; k < count; ++k) {
    Stream& s = streams[k];
    int64_t tryStart = s.first;
    int32_t budget = kMeetRetrySteps;
    Lane lane{0, tryStart, s.out};
    while (s.recorded < kMeetSteps && lane.position < s.fetchEnd) {
      s.starts[s.recorded] = static_cast<uint16_t>(lane.position - s.first);
      s.before[s.recorded] = static_cast<uint16_t>(k % 2 == 0 ? lane.out - s.base : s.base - lane.out);
      Load(lane, bytes.Start());
      ++recorded.steps;
      recorded.walks += CodesIn(t.fast[lane.bits >> (64 - kFastBits)]) == 0;
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
  return recorded;
}

// Every stream as far as it reaches before the meetings: all together,
// then each pair, then each stream alone. upStop[p] is where pair p's
// upward stream stops.
void DecodeApart(Stream* streams, int pairs, const StepPlan& plan, const StreamBytes& bytes, const CodeTables& t,
                 const uint8_t* const* upStop) {
  Stream* order[2 * kPairLimit];
  for (int k = 0; k < 2 * pairs; ++k) order[k] = &streams[k];
  if (pairs == 2) Together<2>(order, bytes, t, plan, upStop);
  for (int p = 0; p < pairs; ++p) Together<1>(order + 2 * p, bytes, t, plan, upStop + p);
  for (int p = 0; p < pairs; ++p) {
    FastStepsOf(0, streams[2 * p], bytes, t, plan.aloneSteps,
                std::min(upStop[p], static_cast<const uint8_t*>(streams[2 * p + 1].out)));
    FastStepsOf(1, streams[2 * p + 1], bytes, t, plan.aloneSteps, streams[2 * p].out);
  }
}

// The front steps code by code until it stands at one of the later stream's
// recorded starts: the index of that record, or -1 when it is past them
// all, within kOutputClear of `stop`, or at a value that is no code (which
// marks it failed).
int32_t Meet(StreamCursor& front, const Stream& s, const uint8_t* stop, const StreamBytes& bytes,
             const CodeTables& t) {
  int32_t j = 0;
  while (!front.failed) {
    const int64_t position = bytes.Position(front.window) - s.first;
    while (j < s.recorded && s.starts[j] < position) ++j;
    if (j == s.recorded) return -1;
    if (s.starts[j] == position) return j;
    if (stop - front.out <= kOutputClear) return -1;
    front.window.Refill();
    if (!StoreCode<1>(OneCode(front.window.bits, t), front.out, front.window)) front.failed = true;
  }
  return -1;
}

// The front takes over the output of the later stream k, met at its j-th
// record: its codes from there on are the true codes from the front's
// position on (a stream that wrote downwards has them in reverse), taken
// up to d bytes of output. The front then goes on where the stream
// stopped.
void TakeOver(StreamCursor& front, const Stream& s, int k, int32_t j, uint8_t* out, int32_t d) {
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
  front.window = s.window;
  front.failed = s.failed;
}

}  // namespace

int PairsWorth(int32_t d, int64_t streamBytes, size_t room) {
  for (int pairs = kMaxPairs; pairs >= 1; --pairs) {
    const int64_t worth = kPairBytes * pairs;
    if (d >= worth && streamBytes >= worth && room >= static_cast<size_t>(PairStretch(d) * pairs)) return pairs;
  }
  return 0;
}

Handover DecodeStreams(const CodeWindow& firstWindow, int pairs, const TableShares& shares, const StreamBytes& bytes,
                       int64_t headerBits, const CodeTables& t, uint8_t* out, int32_t d) {
  const int count = 2 * pairs;
  const int64_t stretch = PairStretch(d);
  Stream streams[2 * kPairLimit];
  PlaceStreams(streams, count, firstWindow, bytes, headerBits, t, out, stretch);
  const Recorded recorded = RecordFirstSteps(streams, count, bytes, t);
  StepPlan plan = PlanSteps(shares, t.longestCode);
  PlanWalks(plan, recorded.walks, recorded.steps);

  // The first stream keeps its output below d; the later pair's stretch
  // lies above it.
  const uint8_t* const outEnd = out + d;
  const uint8_t* const upStop[kPairLimit] = {outEnd, out + stretch * kPairLimit};
  DecodeApart(streams, pairs, plan, bytes, t, upStop);

  StreamCursor front = streams[0];
  for (int k = 1; k < count && !front.failed; ++k) {
    const Stream& s = streams[k];
    front.fetchEnd = streams[k - 1].fetchEnd;
    // The second stream's output lies below d; the later ones' above it.
    const uint8_t* const stop = k == 1 ? std::min(outEnd, static_cast<const uint8_t*>(s.out)) : outEnd;
    FastSteps<1>(front, bytes, t, plan.aloneSteps, stop);
    const int32_t met = Meet(front, s, stop, bytes, t);
    if (met < 0) continue;  // its work is lost: decoding goes on past it
    TakeOver(front, s, k, met, out, d);
    if (front.out == outEnd) return {front.window, d};
  }
  if (!front.failed) {
    front.fetchEnd = streams[count - 1].fetchEnd;
    FastSteps<1>(front, bytes, t, plan.aloneSteps, outEnd);
  }
  return {front.window, static_cast<int32_t>(front.out - out)};
}

}  // namespace huffman
