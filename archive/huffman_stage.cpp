// The Huffman stage of block decoding.
//
// The header is read through BitReader exactly as the format lays it out
// (huffman_tables.cpp). The codes are then decoded through left-justified
// 64-bit windows, in ways that all give the code that the canonical code
// defines:
//
// - A fast table indexed by the window's first kFastBits bits (fewer for a
//   small block, whose table would otherwise cost more than its codes)
//   holds, for every code that short, its byte value and length, and when a
//   second short code fits in the same bits, that one too: one load and one
//   shift per one or two codes. Longer codes, and values that are no code, send
//   the decoder to the level walk: the code value extended level by level
//   and compared with each level's end, starting at the first level longer
//   than kFastBits that can hold it (at most 20 levels: one per length).
// - Each table step depends on the one before, so one stream of codes runs
//   at the speed of that chain. On 64-bit machines a large block is
//   therefore decoded as up to four streams at once (huffman_streams.cpp);
//   elsewhere, and for smaller blocks, one stream decodes alone
//   (huffman_one_stream.h): on 32-bit machines, where the installer runs,
//   through a window of one 32-bit register rather than two.
// - Near the end of the stream and of the output, and wherever a code turns
//   out malformed, decoding goes on one code at a time with the checks at
//   the very points where the format's decoder made them (bits that run out
//   are found once per group of codes that one refill of 56 bits serves), so
//   that every failure leaves the same partial output behind.
//
// The output goes into room of its own, never over the coded block: that
// spares a working copy of the block and lets the output run ahead freely.
#include "archive/huffman_stage.h"

#include <bit>
#include <cstring>
#include <new>

#include "archive/bit_reader.h"
#include "archive/huffman_one_stream.h"
#include "archive/huffman_streams.h"
#include "archive/huffman_tables.h"
#include "base/little_endian.h"

using namespace huffman;

namespace {

// Blocks that decode to fewer bytes go without the fast table.
constexpr int32_t kTableBytes = 512;

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
  if constexpr (kMaxPairs > 0) {
    const int pairs = PairsWorth(d, bytes.End() - bytes.Start(), room);
    if (pairs > 0) {
      const TableShares shares = BuildFastTable(t);
      FillFirstCodes(t);
      const Handover handover = DecodeStreams(window, pairs, shares, bytes, headerBits, t, out, d);
      if (handover.position == d) return {d, true};
      return FinishExactly(handover.window, bytes, t, codes, out, handover.position, d);
    }
  }
  StreamCursor alone{window, out, (bytes.End() - bytes.Start() - kEndMargin) * int64_t{8}};
  BuildFastTable(t);
  if constexpr (kWideRegisters) {
    FastSteps<1>(alone, bytes, t, AloneSteps(t.longestCode), out + d);
  } else {
    FastSteps32(alone, bytes, t, out + d);
  }
  return FinishExactly(alone.window, bytes, t, codes, out, static_cast<int32_t>(alone.out - out), d);
}

// The header's most bytes: the decoded length, 8 + 255 * 8 + 256 * 8 bits,
// and the 4 bytes that the reader's refill may fetch beyond them.
constexpr int32_t kHeaderBytes = 4 + 512 + 4;

}  // namespace

int32_t DecodedLengthField(const uint8_t* block) { return LoadInt32(block); }

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
  if (!ReadCodeTables(reader, tables)) return 0;
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
