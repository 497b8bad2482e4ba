// One stream of codes, decoded from one bit on: the fast loop of table
// steps, and the exact path that decodes one code at a time with the checks
// of the format's decoder.
#pragma once

#include <cstdint>

#include "archive/huffman_codes.h"

// The tests build the codec a second time as 32-bit machines run it
// (KORMIT_DECODE_AS_32_BIT), so that the native sanitizers and fuzzers see
// the narrow window too.
#ifndef KORMIT_DECODE_AS_32_BIT
#define KORMIT_DECODE_AS_32_BIT 0
#endif

// WebAssembly has registers of 64 bits under pointers of 32: its build says
// so with KORMIT_WIDE_REGISTERS=1.
#ifndef KORMIT_WIDE_REGISTERS
#define KORMIT_WIDE_REGISTERS 0
#endif

namespace huffman {

// Registers of 64 bits: a window in one of them, and room for several
// streams at once.
constexpr bool kWideRegisters = (sizeof(void*) >= 8 || KORMIT_WIDE_REGISTERS) && !KORMIT_DECODE_AS_32_BIT;

// Fast steps stay this many bytes clear of the end of the coded block, so
// that their 8-byte loads and a long code after a batch stay inside it. The
// narrow window reads at most 7 bytes past its next byte; the less margin,
// the fewer codes are left to the exact path, which every block pays.
constexpr int32_t kEndMargin = kWideRegisters ? 64 : 16;
// Fast steps keep this many bytes clear of the end of their output, and of
// another stream's: a batch writes at most 2 bytes per step, and 2 bytes of
// no use beyond them (the narrow window's batch, two steps, at most 6).
constexpr int32_t kOutputClear = kWideRegisters ? 32 : 8;

// Table steps per refill of a stream alone: one refill serves as many
// steps as the longest step allows.
constexpr int32_t AloneSteps(int32_t longestCode) {
  return 56 / (longestCode > kFastBits ? longestCode : kFastBits);
}

// A stream of codes in the fast steps: its window, where its output goes,
// and how far its steps may fetch.
struct StreamCursor {
  CodeWindow window;
  uint8_t* out;              // where the next byte goes (below it, downwards)
  int64_t fetchEnd;          // fast steps start a batch only at a bit below this
  bool failed = false;       // stopped at a value that is no code (window before it)
};

// Table steps on one stream, writing upwards (kDirection 1) or downwards
// (-1), while, at the start of a batch, its next bit lies below its
// fetchEnd and its output is more than kOutputClear bytes from outStop.
// Stops at a value that is no code, marking the stream failed with its
// window before it. A stream alone is held up by the chain from one step
// to the next, not by the work of a step: it takes the two-code entries,
// and keeps its window as the format's decoder does, `steps` steps per
// refill (AloneSteps), so that a long code needs no load of its own.
template <int kDirection>
void FastSteps(StreamCursor& s, const StreamBytes& bytes, const CodeTables& t, int32_t steps, const uint8_t* outStop) {
  if (s.failed) return;
  CodeWindow w = s.window;
  uint8_t* out = s.out;
  while (bytes.Position(w) < s.fetchEnd && (kDirection > 0 ? outStop - out : out - outStop) > kOutputClear) {
    w.Refill();
    for (int32_t i = 0; i < steps; ++i) {
      const uint32_t entry = t.fast[w.bits >> (64 - kFastBits)];
      if (CodesIn(entry) == 0) {
        if (!StoreCode<kDirection>(WalkLevels(w.bits, t, StartLevel(entry)), out, w)) {
          s.failed = true;
          s.window = w;
          s.out = out;
          return;
        }
        continue;
      }
      if (kDirection > 0) {
        StoreUint32(out, entry);
        out += CodesIn(entry);
      } else {
        StoreUint32(out - 4, entry << 8);
        out -= CodesIn(entry);
      }
      w.Consume(Consumed(entry));
    }
  }
  s.window = w;
  s.out = out;
}

// FastSteps<1> on a machine of 32-bit registers, where a 64-bit window
// takes two of them and every shift spans both. The window here is one
// register, refilled to 24 bits or more, which two table steps (12 bits at
// most each) use up; the rare code longer than the table reaches is walked
// from a wide load at its bit, after which the window starts afresh there.
void FastSteps32(StreamCursor& s, const StreamBytes& bytes, const CodeTables& t, const uint8_t* outStop);

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
Decoded FinishExactly(CodeWindow window, const StreamBytes& bytes, const CodeTables& t, int32_t codes, uint8_t* out,
                      int32_t i, int32_t d);

}  // namespace huffman
