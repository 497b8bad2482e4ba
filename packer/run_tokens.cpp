#include "packer/run_tokens.h"

#include <algorithm>
#include <bit>
#include <limits>

#include "packer/byte_lanes.h"

using namespace block_format;

namespace {

// Where at most this many repeats are possible, the parse tries every count;
// beyond, trying each count would cost time in proportion to the run.
constexpr int kEveryCountBelow = 64;

// The cheapest way to write E and the token (and count) bytes of a run of
// `repeats` patterns of one length; the pattern bytes come on top.
struct RunHead {
  uint32_t bits = std::numeric_limits<uint32_t>::max();
  uint8_t tag = 0;
  uint8_t count = 0;
  bool isLong = false;
};

// Run heads of each pattern length, worked out the first time a parse asks
// for a count: most blocks never reach the long counts, and a small block
// would otherwise spend more on the table than on its parse.
class RunHeads {
 public:
  RunHeads(uint8_t escape, const ByteBits& bits) : escape_(escape), bits_(bits) {
    for (std::vector<RunHead>& heads : byLength_) heads.resize(1);  // no run of 0 repeats
  }
  virtual ~RunHeads() = default;

  // Makes Of(length)[count] valid for every count up to `repeats` (at most
  // MaxRepeats(length)).
  void Reach(int length, int repeats) {
    std::vector<RunHead>& heads = byLength_[length - 1];
    while (static_cast<int>(heads.size()) <= repeats) heads.push_back(Cheapest(length, static_cast<int>(heads.size())));
  }

  const RunHead* Of(int length) const { return byLength_[length - 1].data(); }

 private:
  RunHead Cheapest(int length, int repeats) const {
    RunHead head;
    auto consider = [&](int tag, int count, bool isLong) {
      const uint32_t cost = bits_[escape_] + bits_[tag] + (isLong ? bits_[count] : 0);
      if (cost < head.bits) head = {cost, static_cast<uint8_t>(tag), static_cast<uint8_t>(count), isLong};
    };
    if (repeats <= kMaxShortRepeats) consider(ShortRunToken(length, repeats), 0, false);
    if (repeats >= kMaxShortRepeats) {
      // The count 16 + 15 x + nibble may have two spellings: nibble 0 with
      // x, or nibble 15 with x - 1. Either may be the cheaper code.
      const int rest = repeats - kMaxShortRepeats;
      const int x = rest / kLongRunStep, nibble = rest % kLongRunStep;
      if (x <= 255) consider(LongRunToken(length, nibble), x, true);
      const bool nibble15Allowed = length != kMaxPatternLength;
      if (nibble == 0 && x >= 1 && nibble15Allowed) consider(LongRunToken(length, kLongRunStep), x - 1, true);
    }
    return head;
  }

  const uint8_t escape_;
  const ByteBits& bits_;
  std::array<std::vector<RunHead>, kMaxPatternLength> byLength_;
};

// The parse keeps, for each position, the token that starts there: 0 for a
// literal, else repeats << 4 | pattern length.
static_assert((kMaxLongRepeats << 4 | kMaxPatternLength) <= 0xFFFF);
uint16_t RunChoice(int length, int repeats) { return static_cast<uint16_t>(repeats << 4 | length); }

// The parse follows one period per byte lane.
static_assert(kLanes == kMaxPatternLength);

// Bit p set for each p < length that divides it.
constexpr uint32_t kProperDivisors[kMaxPatternLength + 1] = {0, 0, 0x2, 0x2, 0x6, 0x2, 0xE, 0x2, 0x16};

}  // namespace

uint8_t ChooseEscapeByte(std::span<const uint8_t> data) {
  std::array<uint64_t, 256> counts{};
  for (const uint8_t byte : data) ++counts[byte];
  return static_cast<uint8_t>(std::min_element(counts.begin(), counts.end()) - counts.begin());
}

void BuildRunStream(std::span<const uint8_t> data, uint8_t escape, const ByteBits& bits, RunParseScratch& scratch,
                    std::vector<uint8_t>& stream) {
  const size_t n = data.size();
  RunHeads heads(escape, bits);
  ByteBits literalBits = bits;
  literalBits[escape] = bits[escape] + bits[kEscapedEscape];

  // costFrom[i]: fewest bits that write data[i..n). Filled from the end, so
  // that every token's continuation is already known; every entry is
  // written before it is read.
  std::vector<uint32_t>& costFrom = scratch.costFrom;
  std::vector<uint16_t>& choice = scratch.choice;
  costFrom.resize(n + 1);
  choice.resize(n);
  costFrom[n] = 0;
  // periodMatch[p]: how many bytes from position i on equal the bytes p
  // later (0 where data[i] differs from data[i + p]).
  std::array<uint32_t, kMaxPatternLength + 1> periodMatch{};
  LaneFlags equal = 0;
  size_t nextEscape = n + kMaxPatternLength;  // the first E at or after i
  for (size_t i = n; i-- > 0;) {
    const LaneFlags equalAfter = equal;
    equal = EqualAhead(&data[i], n - 1 - i);
    for (LaneFlags lanes = equalAfter & ~equal; lanes != 0; lanes &= lanes - 1) periodMatch[LowestLane(lanes)] = 0;
    // Pattern lengths worth a run here: two whole repeats, or a pattern that
    // holds E (a single repeat then spares escaping it in literals).
    uint32_t lengths = 0;
    for (LaneFlags lanes = equal; lanes != 0; lanes &= lanes - 1) {
      const int p = LowestLane(lanes);
      ++periodMatch[p];
      if (periodMatch[p] >= static_cast<uint32_t>(p)) lengths |= 1u << p;
    }
    if (data[i] == escape) nextEscape = i;
    if (nextEscape < i + kMaxPatternLength) {
      const size_t reach = std::min<size_t>(kMaxPatternLength, n - i);
      lengths |= ((2u << reach) - 1) & (~0u << (nextEscape - i + 1));
    }
    uint32_t best = literalBits[data[i]] + costFrom[i + 1];
    uint16_t bestChoice = 0;
    // Most positions start no run at all: only the literal is possible.
    if (lengths != 0) {
      std::array<uint32_t, kMaxPatternLength + 1> patternBits;
      patternBits[0] = 0;
      const int longestPattern = std::bit_width(lengths) - 1;
      for (int length = 1; length <= longestPattern; ++length) {
        patternBits[length] = patternBits[length - 1] + bits[data[i + length - 1]];
      }
      for (; lengths != 0; lengths &= lengths - 1) {
        const int length = std::countr_zero(lengths);
        const int longest = static_cast<int>(std::min<size_t>((periodMatch[length] + length) / length, MaxRepeats(length)));
        heads.Reach(length, longest);
        const RunHead* head = heads.Of(length);
        const uint32_t* after = &costFrom[i];
        const uint32_t headBits = patternBits[length];
        auto consider = [&](int count) {
          const uint32_t cost = head[count].bits + headBits + after[length * count];
          if (cost < best) {
            best = cost;
            bestChoice = RunChoice(length, count);
          }
        };
        // A pattern that is itself a repeat of a shorter one (period divides
        // length) spells the same output as a run of the shorter pattern,
        // except that its head is another code and its longest run reaches
        // further. Inside long stretches only that reach is worth its time.
        int period = length;
        for (uint32_t divisors = kProperDivisors[length]; divisors != 0; divisors &= divisors - 1) {
          const int p = std::countr_zero(divisors);
          if (periodMatch[p] >= static_cast<uint32_t>(length - p)) {
            period = p;
            break;
          }
        }
        if (period < length && (periodMatch[period] + period) / period > kEveryCountBelow) {
          if (longest * length > MaxRepeats(period) * period) consider(longest);
          continue;
        }
        // Every count where the run can only be short; otherwise every short
        // count and the top 15 long ones, one for each low nibble, since a
        // cheap token byte may pay for a second token at the end.
        const int everyCountUpTo = longest <= kEveryCountBelow ? longest : kMaxShortRepeats;
        for (int count = 1; count <= everyCountUpTo; ++count) consider(count);
        for (int count = std::max(longest - 14, everyCountUpTo + 1); count <= longest; ++count) consider(count);
      }
    }
    costFrom[i] = best;
    choice[i] = bestChoice;
  }

  stream.clear();
  stream.reserve(n / 2 + 16);
  stream.push_back(kRunForm);
  stream.push_back(escape);
  for (size_t i = 0; i < n;) {
    if (choice[i] == 0) {
      stream.push_back(data[i]);
      if (data[i] == escape) stream.push_back(kEscapedEscape);
      ++i;
      continue;
    }
    const int length = static_cast<int>(choice[i] & 15);
    const int repeats = static_cast<int>(choice[i] >> 4);
    const RunHead& head = heads.Of(length)[repeats];
    stream.push_back(escape);
    stream.push_back(head.tag);
    if (head.isLong) stream.push_back(head.count);
    stream.insert(stream.end(), data.begin() + static_cast<std::ptrdiff_t>(i),
                  data.begin() + static_cast<std::ptrdiff_t>(i) + length);
    i += static_cast<size_t>(length) * static_cast<size_t>(repeats);
  }
}
