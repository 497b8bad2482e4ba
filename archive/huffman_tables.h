// The code tables of the Huffman stage: the level table at the head of a
// block read and checked, the canonical code laid out for the level walk,
// and the fast table that decodes short codes one or two at a time.
#pragma once

#include <cstdint>

#include "archive/bit_reader.h"
#include "archive/huffman_header.h"

namespace huffman {

constexpr int kLevels = 1 << kLevelCountBits;  // up to 255 levels, and the one past them
constexpr int kSymbols = 256;  // byte values

// Bits of the window that index the fast table: 4096 entries of 4 bytes,
// well inside the first-level data cache, and up to two codes per entry.
constexpr int kFastBits = 12;
// Table steps per refill: a refill leaves at least 56 bits, and a step that
// the table serves takes at most kFastBits of them.
constexpr int kStepsPerRefill = 56 / kFastBits;

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
constexpr uint32_t CodesIn(uint32_t entry) { return entry >> 30; }

// The working tables of one call, about 32 KB, in the calling thread's
// stack frame. Only entries that the block's table fills are read.
struct CodeTables {
  uint32_t fast[1 << kFastBits];
  // The first code in each entry's bits alone: its length << 8 | its byte
  // value, 0 when it is longer than kFastBits or no code. Filled only for
  // the blocks that several streams decode (FillFirstCodes).
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
  int32_t levelSize[kLevels];        // byte values at level k; at g, those without a code
  uint8_t symbols[kSymbols];         // the byte values in code order, then those without a code
  int32_t decodeCount;               // levels that hold codes
  bool fastTable;                    // fast is filled
  bool firstCodes;                   // firstCode is filled
  int32_t longestCode;               // bits
  int32_t lengthDivisor;             // greatest common divisor of the code lengths
};

// Reads the level table of a block (level count, level lengths, each byte
// value's level) and lays out its canonical code in `t`. False when the
// header is cut short, the lengths cannot be decoded or the code is
// impossible.
bool ReadCodeTables(BitReader& reader, CodeTables& t);

// How the fast table came out, in entries out of the 4096 (which is a
// code's chance under the code itself).
struct TableShares {
  int32_t pairs;  // entries that hold two codes
  int32_t walks;  // entries that send the step to the walk
};

// Fills t.fast, indexed by a window's first kFastBits bits, from the levels
// that ReadCodeTables laid out. Small blocks take it too: a table of fewer
// entries costs less to fill but sends more codes to the walk, which costs
// them more than the filling saves.
TableShares BuildFastTable(CodeTables& t);
// Fills t.firstCode too. It costs as much as the fast table again, so only
// the multi-stream decoder, which large blocks repay, asks for it.
void FillFirstCodes(CodeTables& t);

}  // namespace huffman
