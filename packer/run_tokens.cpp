#include "packer/run_tokens.h"

#include <algorithm>
#include <limits>

namespace {

constexpr uint8_t kEscapedEscape = 0xFF;

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

class RunHeads {
 public:
  // Counts up to what a block of blockBytes can hold.
  RunHeads(uint8_t escape, const ByteBits& bits, size_t blockBytes) {
    for (int length = 1; length <= kMaxPatternLength; ++length) {
      std::vector<RunHead>& heads = byLength_[length - 1];
      const int maxRepeats = static_cast<int>(std::min<size_t>(MaxRepeats(length), blockBytes / length));
      heads.assign(static_cast<size_t>(maxRepeats) + 1, RunHead{});
      const int lengthField = (length - 1) << 4;
      for (int repeats = 1; repeats <= maxRepeats; ++repeats) {
        RunHead& head = heads[repeats];
        auto consider = [&](int tag, int count, bool isLong) {
          const uint32_t cost = bits[escape] + bits[tag] + (isLong ? bits[count] : 0);
          if (cost < head.bits) {
            head = {cost, static_cast<uint8_t>(tag), static_cast<uint8_t>(count), isLong};
          }
        };
        if (repeats <= kMaxShortRepeats) consider(lengthField | (repeats - 1), 0, false);
        if (repeats >= kMaxShortRepeats) {
          // The count 16 + 15 x + nibble may have two spellings: nibble 0 with
          // x, or nibble 15 with x - 1. Either may be the cheaper code.
          const int rest = repeats - kMaxShortRepeats;
          const int x = rest / 15, nibble = rest % 15;
          if (x <= 255) consider(0x80 | lengthField | nibble, x, true);
          const bool nibble15Allowed = length != kMaxPatternLength;
          if (nibble == 0 && x >= 1 && nibble15Allowed) consider(0x80 | lengthField | 15, x - 1, true);
        }
      }
    }
  }

  const RunHead& Get(int length, int repeats) const { return byLength_[length - 1][repeats]; }

 private:
  std::array<std::vector<RunHead>, kMaxPatternLength> byLength_;
};

// The parse keeps, for each position, the token that starts there: 0 for a
// literal, else repeats << 4 | pattern length.
uint32_t RunChoice(int length, int repeats) { return static_cast<uint32_t>(repeats) << 4 | static_cast<uint32_t>(length); }

}  // namespace

uint8_t ChooseEscapeByte(std::span<const uint8_t> data) {
  std::array<uint64_t, 256> counts{};
  for (const uint8_t byte : data) ++counts[byte];
  return static_cast<uint8_t>(std::min_element(counts.begin(), counts.end()) - counts.begin());
}

std::vector<uint8_t> BuildRunStream(std::span<const uint8_t> data, uint8_t escape,
                                    const ByteBits& bits) {
  const size_t n = data.size();
  const RunHeads heads(escape, bits, n);
  auto literalBits = [&](uint8_t byte) {
    return byte == escape ? bits[escape] + bits[kEscapedEscape] : bits[byte];
  };

  // Pattern bytes are written raw after a run head, E included.
  std::vector<uint32_t> rawBitsBefore(n + 1, 0);
  std::vector<uint32_t> escapesBefore(n + 1, 0);
  for (size_t i = 0; i < n; ++i) {
    rawBitsBefore[i + 1] = rawBitsBefore[i] + bits[data[i]];
    escapesBefore[i + 1] = escapesBefore[i] + (data[i] == escape ? 1 : 0);
  }

  // costFrom[i]: fewest bits that write data[i..n). Filled from the end, so
  // that every token's continuation is already known.
  std::vector<uint32_t> costFrom(n + 1, 0);
  std::vector<uint32_t> choice(n, 0);
  // periodMatch[p]: how many bytes from position i on equal the bytes p later.
  std::array<size_t, kMaxPatternLength + 1> periodMatch{};
  for (size_t i = n; i-- > 0;) {
    for (int p = 1; p <= kMaxPatternLength; ++p) {
      periodMatch[p] = i + p < n && data[i] == data[i + p] ? periodMatch[p] + 1 : 0;
    }
    uint32_t best = literalBits(data[i]) + costFrom[i + 1];
    uint32_t bestChoice = 0;
    auto consider = [&](int length, int repeats, uint32_t patternBits) {
      const uint32_t cost = heads.Get(length, repeats).bits + patternBits +
                            costFrom[i + static_cast<size_t>(length) * static_cast<size_t>(repeats)];
      if (cost < best) {
        best = cost;
        bestChoice = RunChoice(length, repeats);
      }
    };
    for (int length = 1; length <= kMaxPatternLength && i + length <= n; ++length) {
      const size_t available = (periodMatch[length] + length) / length;  // whole repeats
      const bool holdsEscape = escapesBefore[i + length] > escapesBefore[i];
      // A single repeat only pays when it spares escaping E in literals.
      if (available < 2 && !holdsEscape) continue;
      const uint32_t patternBits = rawBitsBefore[i + length] - rawBitsBefore[i];
      const int longest = static_cast<int>(std::min<size_t>(available, MaxRepeats(length)));
      // A pattern that is itself a repeat of a shorter one (period divides
      // length) spells the same output as a run of the shorter pattern,
      // except that its head is another code and its longest run reaches
      // further. Inside long stretches only that reach is worth its time.
      int period = length;
      for (int p = 1; p < length; ++p) {
        if (length % p == 0 && periodMatch[p] >= static_cast<size_t>(length - p)) {
          period = p;
          break;
        }
      }
      if (period < length) {
        const size_t periodRepeats = (periodMatch[period] + period) / period;
        if (periodRepeats > kEveryCountBelow) {
          if (longest * length > MaxRepeats(period) * period) consider(length, longest, patternBits);
          continue;
        }
      }
      // Every count where the run can only be short; otherwise every short
      // count and the top 15 long ones, one for each low nibble, since a
      // cheap token byte may pay for a second token at the end.
      const int everyCountUpTo = longest <= kEveryCountBelow ? longest : kMaxShortRepeats;
      for (int repeats = 1; repeats <= everyCountUpTo; ++repeats) {
        consider(length, repeats, patternBits);
      }
      for (int repeats = std::max(longest - 14, everyCountUpTo + 1); repeats <= longest; ++repeats) {
        consider(length, repeats, patternBits);
      }
    }
    costFrom[i] = best;
    choice[i] = bestChoice;
  }

  std::vector<uint8_t> stream;
  stream.reserve(n / 2 + 16);
  stream.push_back(1);
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
    const RunHead& head = heads.Get(length, repeats);
    stream.push_back(escape);
    stream.push_back(head.tag);
    if (head.isLong) stream.push_back(head.count);
    stream.insert(stream.end(), data.begin() + static_cast<std::ptrdiff_t>(i),
                  data.begin() + static_cast<std::ptrdiff_t>(i) + length);
    i += static_cast<size_t>(length) * static_cast<size_t>(repeats);
  }
  return stream;
}
