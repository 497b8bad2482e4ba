// Building the Huffman stage's code tables from the level table at the head
// of a block.
#include "archive/huffman_tables.h"

namespace huffman {
namespace {

// Level count and level lengths. Lengths that fall, reach 32 bits or step
// by more than 25 bits cannot be decoded: refused.
bool ReadLevels(BitReader& reader, CodeTables& t) {
  t.levelCount = static_cast<int32_t>(reader.ReadField(kLevelCountBits));
  int32_t previous = 0;
  for (int32_t k = 0; k < t.levelCount; ++k) {
    const int32_t length = static_cast<int32_t>(reader.ReadField(kLevelLengthBits));
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
  const int width = LevelIndexWidth(t.levelCount);
  // Any field past the data leaves the last one past it too.
  reader.ReadFields(width, kSymbols, t.levelIndex);
  return !reader.Overrun();
}

// The canonical code: level by level, the byte values of a level take
// consecutive code values in increasing order, starting at the next free
// code of the previous level shifted left by the step. A level that needs
// more codes than its length offers makes the table impossible; so does a
// level before the last that uses the code space up exactly (the last one
// may). Also lays out the levels that hold codes for the level walk.
bool AssignCodes(CodeTables& t) {
  // Byte values without a code (a level index past the last level) are
  // counted at levelCount and placed past the symbols, rather than passed
  // by a branch that each value's presence would decide.
  for (int32_t k = 0; k <= t.levelCount; ++k) t.levelSize[k] = 0;
  for (int32_t s = 0; s < kSymbols; ++s) {
    const int32_t k = t.levelIndex[s];
    ++t.levelSize[k < t.levelCount ? k : t.levelCount];
  }
  // Code order is level order, and within a level the order of the byte
  // values: each level's values follow those of the levels before it.
  // Consecutive levels of one length hold consecutive code values, so they
  // are walked as one level; otherwise up to 255 levels of one length would
  // cost a comparison each for every code.
  int32_t place[kLevels];  // where level k's next byte value goes
  int32_t placed = 0;
  for (int32_t k = 0; k <= t.levelCount; ++k) {
    place[k] = placed;
    placed += t.levelSize[k];
  }
  for (int32_t s = 0; s < kSymbols; ++s) {
    const int32_t k = t.levelIndex[s];
    t.symbols[place[k < t.levelCount ? k : t.levelCount]++] = static_cast<uint8_t>(s);
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

}  // namespace

bool ReadCodeTables(BitReader& reader, CodeTables& t) {
  return ReadLevels(reader, t) && ReadLevelIndices(reader, t) && AssignCodes(t);
}

namespace {

struct ShortCode {
  uint16_t first;  // the first entry that starts with it
  uint8_t length;
  uint8_t symbol;
};

// The codes no longer than kFastBits, in code order. Levels are ordered by
// code value, and level k's codes, left-justified, take the values from
// level k-1's limit up to its own. Returns how many; *level becomes the
// first level of longer codes.
int32_t CollectShortCodes(const CodeTables& t, ShortCode* codes, int32_t* level) {
  constexpr int32_t bits = kFastBits;
  const int32_t justify = kMaxLength - bits;
  int32_t count = 0;
  uint32_t prefix = 0;
  for (*level = 1; *level <= t.decodeCount && t.decode[*level].length <= bits; ++*level) {
    const DecodeLevel& found = t.decode[*level];
    const uint32_t end = found.limit >> justify;
    for (; prefix < end; prefix += 1u << (bits - found.length)) {
      const uint8_t symbol = t.symbols[(prefix >> (bits - found.length)) + found.base];
      codes[count++] = ShortCode{static_cast<uint16_t>(prefix), found.length, symbol};
    }
  }
  return count;
}

uint32_t EntriesOf(const ShortCode& code) { return 1u << (kFastBits - code.length); }

}  // namespace

// Fills the fast table: the short codes, in code order, each fill the
// range of entries that start with them. Within a code's range, the codes
// short enough to follow it in the remaining bits fill sub-ranges in code
// order too, as pairs; the rest of the range holds the code alone. A later
// entry holds the start of a longer code, or of none.
//
// A range depends on the first code only through Entry's fields of it,
// which never carry into the others: the ranges of codes of one length
// differ by a constant. So only the first code of each length fills its
// range code by code; the others of that length add the difference of
// their fields to its entries, which costs an entry a few instructions
// where the pairs cost a loop each.
TableShares BuildFastTable(CodeTables& t) {
  constexpr int32_t bits = kFastBits;
  const int32_t justify = kMaxLength - bits;
  ShortCode codes[kSymbols];
  int32_t level;
  const int32_t count = CollectShortCodes(t, codes, &level);
  int32_t pairs = 0;
  for (int32_t a = 0; a < count;) {
    const ShortCode first = codes[a];
    const uint32_t rest = static_cast<uint32_t>(bits) - first.length;
    const uint32_t span = EntriesOf(first);
    uint32_t* const range = t.fast + first.first;
    uint32_t* entry = range;
    for (int32_t b = 0; b < count && codes[b].length <= rest; ++b) {
      const uint32_t pair = Entry(first.length + codes[b].length, 2, first.symbol, codes[b].symbol);
      for (uint32_t* const stop = entry + (1u << (rest - codes[b].length)); entry != stop; ++entry) *entry = pair;
    }
    const int32_t paired = static_cast<int32_t>(entry - range);
    const uint32_t single = Entry(first.length, 1, first.symbol, 0);
    for (uint32_t* const end = range + span; entry != end; ++entry) *entry = single;
    int32_t next = a + 1;
    for (; next < count && codes[next].length == first.length; ++next) {
      uint32_t* const to = t.fast + codes[next].first;
      const uint32_t difference = Entry(0, 0, codes[next].symbol, 0) - Entry(0, 0, first.symbol, 0);
      for (uint32_t k = 0; k < span; ++k) to[k] = range[k] + difference;
    }
    pairs += paired * (next - a);
    a = next;
  }
  // The rest, level by level: a prefix starts a code of the first level
  // whose limit lies above it, and of none past the last level.
  const uint32_t entries = 1u << bits;
  uint32_t prefix = count > 0 ? codes[count - 1].first + EntriesOf(codes[count - 1]) : 0;
  const uint32_t firstWalk = prefix;
  for (; prefix < entries && level <= t.decodeCount; ++level) {
    const uint64_t limit = (uint64_t{t.decode[level].limit} + (1u << justify) - 1) >> justify;
    const uint32_t end = limit < entries ? static_cast<uint32_t>(limit) : entries;
    for (; prefix < end; ++prefix) t.fast[prefix] = WalkEntry(static_cast<uint32_t>(level));
  }
  const int32_t walks = static_cast<int32_t>(prefix - firstWalk);
  for (; prefix < entries; ++prefix) t.fast[prefix] = 0;
  t.firstCodes = false;
  return {pairs, walks};
}

void FillFirstCodes(CodeTables& t) {
  ShortCode codes[kSymbols];
  int32_t level;
  const int32_t count = CollectShortCodes(t, codes, &level);
  uint16_t* entry = t.firstCode;
  for (int32_t a = 0; a < count; ++a) {
    const uint16_t code = static_cast<uint16_t>(codes[a].length << 8 | codes[a].symbol);
    for (uint16_t* const end = entry + EntriesOf(codes[a]); entry != end; ++entry) *entry = code;
  }
  for (; entry != t.firstCode + (1 << kFastBits); ++entry) *entry = 0;
  t.firstCodes = true;
}

}  // namespace huffman
