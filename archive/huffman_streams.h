// Decoding a large block as up to four streams of codes at once, on 64-bit
// machines (see huffman_streams.cpp for how, and for the words used there).
#pragma once

#include <cstddef>
#include <cstdint>

#include "archive/huffman_one_stream.h"

namespace huffman {

// Table steps whose starts a later stream records, for the one before to
// meet; they decode at most twice as many codes.
constexpr int kMeetSteps = 256;
constexpr int kMeetCodes = 2 * kMeetSteps;
// Pairs of streams: up to 2 (4 streams), one pair per kPairBytes of stream
// and of output; below that, one stream decodes alone. Four streams need
// the registers of a 64-bit machine: with the eight of 32-bit x86 they
// would only spill, and there one stream decodes alone, in less code.
constexpr int kPairLimit = 2;
constexpr int kMaxPairs = kWideRegisters ? kPairLimit : 0;
constexpr int32_t kPairBytes = 8192;

// The room that each pair of streams needs for d bytes of output: its
// stretch holds its codes and the codes that the streams decode before
// they fall into step.
constexpr int64_t PairStretch(int32_t d) { return int64_t{d} + 2 * kMeetCodes + 2 * kOutputClear; }

// As many pairs of streams as a block of d codes in streamBytes bytes is
// worth and `room` bytes of output hold: 0 when it is decoded alone.
int PairsWorth(int32_t d, int64_t streamBytes, size_t room);

// Where output goes on after the streams: the position of the next byte
// and the window at its code, or the whole output when position is d.
struct Handover {
  CodeWindow window;
  int32_t position;
};

// Decodes with 2 * pairs streams as far as they reach together, the first
// from firstWindow at headerBits, into out, which has room for pairs
// stretches.
Handover DecodeStreams(const CodeWindow& firstWindow, int pairs, const TableShares& shares, const StreamBytes& bytes,
                       int64_t headerBits, const CodeTables& t, uint8_t* out, int32_t d);

}  // namespace huffman
