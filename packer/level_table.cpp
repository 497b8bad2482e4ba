#include "packer/level_table.h"

#include <algorithm>
#include <array>
#include <limits>

namespace {

// Code space in units of the smallest code: a code of length l takes
// 2^(kMaxCodeLength - l) units.
constexpr uint64_t kCodeSpace = uint64_t{1} << kMaxCodeLength;

uint64_t SpaceOf(int length) { return uint64_t{1} << (kMaxCodeLength - length); }

// With uncoded byte values the table needs an index value of g or more, so
// g must not fill its index width; and g <= 1 stores no indices at all.
bool LeavesRoomForUncoded(int levelCount) {
  return levelCount >= 3 && (levelCount & (levelCount - 1)) != 0;
}

// The coded byte values sorted by falling count, so that every level is a
// contiguous range of them and shorter levels come first.
struct SortedSymbols {
  std::vector<int> symbols;
  std::vector<uint64_t> weightBefore;  // sum of the counts of symbols[0..i)
};

struct Level {
  int length;
  int end;  // the level holds sorted symbols [end of the level before, end)
};

// The levels of a code, shortest first. Their lengths are distinct and at
// most kMaxCodeLength, which bounds their number; held in place, since the
// search below copies plans by the hundred for every table.
class LevelPlan {
 public:
  virtual ~LevelPlan() = default;
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  Level& operator[](size_t k) { return levels_[k]; }
  const Level& operator[](size_t k) const { return levels_[k]; }
  Level& back() { return levels_[size_ - 1]; }
  const Level& back() const { return levels_[size_ - 1]; }
  void push_back(const Level& level) { levels_[size_++] = level; }
  void insert(size_t k, const Level& level) {
    for (size_t j = size_; j > k; --j) levels_[j] = levels_[j - 1];
    levels_[k] = level;
    ++size_;
  }
  void erase(size_t k) {
    for (size_t j = k; j + 1 < size_; ++j) levels_[j] = levels_[j + 1];
    --size_;
  }

 private:
  std::array<Level, kMaxCodeLength + 1> levels_{};
  size_t size_ = 0;
};

int BeginOf(const LevelPlan& plan, size_t k) { return k == 0 ? 0 : plan[k - 1].end; }

uint64_t SpaceUsed(const LevelPlan& plan) {
  uint64_t used = 0;
  for (size_t k = 0; k < plan.size(); ++k) {
    used += static_cast<uint64_t>(plan[k].end - BeginOf(plan, k)) * SpaceOf(plan[k].length);
  }
  return used;
}

uint64_t DataBits(const LevelPlan& plan, const SortedSymbols& sorted) {
  uint64_t bits = 0;
  for (size_t k = 0; k < plan.size(); ++k) {
    const uint64_t weight = sorted.weightBefore[plan[k].end] - sorted.weightBefore[BeginOf(plan, k)];
    bits += weight * static_cast<uint64_t>(plan[k].length);
  }
  return bits;
}

void DropEmptyLevels(LevelPlan& plan) {
  for (size_t k = plan.size(); k-- > 0;) {
    if (plan[k].end == BeginOf(plan, k)) plan.erase(k);
  }
}

// Spends code space that merging levels has left free: shortens whole levels
// and moves the heaviest symbols of a level into the level above, as long as
// the code stays a prefix code. Every step lowers the data bits.
void UseFreeSpace(LevelPlan& plan, const SortedSymbols& sorted) {
  uint64_t used = SpaceUsed(plan);
  bool changed = true;
  while (changed) {
    changed = false;
    for (size_t k = 0; k < plan.size(); ++k) {
      const int floor = k == 0 ? 1 : plan[k - 1].length + 1;
      const uint64_t size = static_cast<uint64_t>(plan[k].end - BeginOf(plan, k));
      const bool weighs = sorted.weightBefore[plan[k].end] > sorted.weightBefore[BeginOf(plan, k)];
      while (weighs && plan[k].length > floor) {
        const uint64_t extra = size * SpaceOf(plan[k].length);  // halving doubles each code's space
        if (used + extra > kCodeSpace) break;
        used += extra;
        --plan[k].length;
        changed = true;
      }
      if (k + 1 == plan.size()) continue;
      const uint64_t extra = SpaceOf(plan[k].length) - SpaceOf(plan[k + 1].length);
      while (plan[k].end < plan[k + 1].end && used + extra <= kCodeSpace &&
             sorted.weightBefore[plan[k].end + 1] > sorted.weightBefore[plan[k].end]) {
        used += extra;
        ++plan[k].end;
        changed = true;
      }
    }
    DropEmptyLevels(plan);
  }
}

// Merges the pair of neighbouring levels (at the length between theirs) that
// costs the fewest data bits, after reusing the space it frees.
LevelPlan MergeCheapestPair(const LevelPlan& plan, const SortedSymbols& sorted) {
  LevelPlan best;
  uint64_t bestBits = std::numeric_limits<uint64_t>::max();
  for (size_t k = 0; k + 1 < plan.size(); ++k) {
    for (int length = plan[k].length; length <= plan[k + 1].length; ++length) {
      LevelPlan candidate = plan;
      candidate[k] = {length, plan[k + 1].end};
      candidate.erase(k + 1);
      if (SpaceUsed(candidate) > kCodeSpace) continue;
      UseFreeSpace(candidate, sorted);
      const uint64_t bits = DataBits(candidate, sorted);
      if (bits < bestBits) {
        bestBits = bits;
        best = candidate;
      }
    }
  }
  return best;
}

// Adds empty levels until uncoded byte values have an index value of their
// own. An empty level may stand before the first level, in a gap between two
// lengths, or after the last level when the code leaves space free (after a
// level that filled the space, the decoder would refuse the table). Where no
// such place exists, the lightest code of the last level is made one bit
// longer, which frees space after it.
bool AddRoomForUncoded(LevelPlan& plan) {
  while (!LeavesRoomForUncoded(static_cast<int>(plan.size()))) {
    if (plan[0].length > 1) {
      plan.insert(0, Level{plan[0].length - 1, 0});
      continue;
    }
    bool inserted = false;
    for (size_t k = 0; k + 1 < plan.size() && !inserted; ++k) {
      if (plan[k + 1].length - plan[k].length >= 2) {
        plan.insert(k + 1, Level{plan[k].length + 1, plan[k].end});
        inserted = true;
      }
    }
    if (inserted) continue;
    const Level last = plan.back();
    if (last.length >= kMaxCodeLength) return false;
    if (SpaceUsed(plan) < kCodeSpace) {
      plan.push_back(Level{last.length + 1, last.end});
    } else if (last.end - BeginOf(plan, plan.size() - 1) == 1) {
      ++plan.back().length;
    } else {
      --plan.back().end;
      plan.push_back(Level{last.length + 1, last.end});
    }
  }
  return true;
}

HuffmanTable TableOf(const LevelPlan& plan, const SortedSymbols& sorted) {
  HuffmanTable table;
  for (size_t k = 0; k < plan.size(); ++k) {
    table.levelLengths.push_back(static_cast<uint8_t>(plan[k].length));
    for (int i = BeginOf(plan, k); i < plan[k].end; ++i) {
      table.codeLength[sorted.symbols[i]] = static_cast<uint8_t>(plan[k].length);
    }
  }
  return table;
}

// Considers the optimal code for these lengths and every code with fewer
// levels reached by merging levels one pair at a time, since each level costs
// its length byte and can widen every byte value's index.
void ConsiderCodes(const ByteCounts& counts, bool codeEveryValue, HuffmanTable& best,
                   uint64_t& bestBits) {
  const CodeLengths lengths = LimitedCodeLengths(counts, kMaxCodeLength, codeEveryValue);
  SortedSymbols sorted;
  for (int s = 0; s < 256; ++s) {
    if (lengths[s] > 0) sorted.symbols.push_back(s);
  }
  std::stable_sort(sorted.symbols.begin(), sorted.symbols.end(), [&](int a, int b) {
    return counts[a] != counts[b] ? counts[a] > counts[b] : lengths[a] < lengths[b];
  });
  sorted.weightBefore.assign(sorted.symbols.size() + 1, 0);
  for (size_t i = 0; i < sorted.symbols.size(); ++i) {
    sorted.weightBefore[i + 1] = sorted.weightBefore[i] + counts[sorted.symbols[i]];
  }
  LevelPlan plan;
  for (size_t i = 0; i < sorted.symbols.size(); ++i) {
    const int length = lengths[sorted.symbols[i]];
    if (plan.empty() || plan.back().length != length) plan.push_back({length, 0});
    plan.back().end = static_cast<int>(i) + 1;
  }
  const bool allCoded = sorted.symbols.size() == 256;
  while (!plan.empty()) {
    LevelPlan usable = plan;
    // One level of 256 codes is the identity table, considered on its own.
    const bool fits = allCoded ? usable.size() >= 2 : AddRoomForUncoded(usable);
    if (fits) {
      // Every byte value that occurs has a code in the plan, so this is
      // CodedBits of its table.
      const uint64_t bits = huffman::HeaderBits(static_cast<int>(usable.size())) + DataBits(usable, sorted);
      if (bits < bestBits) {
        bestBits = bits;
        best = TableOf(usable, sorted);
      }
    }
    if (plan.size() <= 1) break;
    plan = MergeCheapestPair(plan, sorted);
  }
}

}  // namespace

HuffmanTable IdentityTable() {
  HuffmanTable table;
  table.levelLengths = {8};
  table.codeLength.fill(8);
  return table;
}

uint64_t TableHeaderBits(const HuffmanTable& table) {
  return huffman::HeaderBits(static_cast<int>(table.levelLengths.size()));
}

uint64_t CodedBits(const HuffmanTable& table, const ByteCounts& counts) {
  uint64_t bits = TableHeaderBits(table);
  for (int s = 0; s < 256; ++s) {
    if (counts[s] == 0) continue;
    if (table.codeLength[s] == 0) return std::numeric_limits<uint64_t>::max();
    bits += counts[s] * table.codeLength[s];
  }
  return bits;
}

HuffmanTable ChooseHuffmanTable(const ByteCounts& counts) {
  HuffmanTable best = IdentityTable();
  uint64_t bestBits = CodedBits(best, counts);
  const bool somethingAbsent = std::count(counts.begin(), counts.end(), uint64_t{0}) > 0;
  if (somethingAbsent) ConsiderCodes(counts, false, best, bestBits);
  ConsiderCodes(counts, true, best, bestBits);
  return best;
}
