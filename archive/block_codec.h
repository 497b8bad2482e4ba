// The block decoder that the extractor runs on every chunk: the Huffman stage
// (huffman_stage.h) and then the run stage, both in place in the caller's
// buffer.
#pragma once

#include <cstddef>
#include <cstdint>

// Results of Decode, and of its stages:
//    > 0   the number of decoded bytes, now at the start of buffer; never
//          more than capacity
//      0   Huffman stage failure (decoded length above capacity, impossible
//          or malformed code table, bits that run out, a code that names no
//          byte), or a block that decodes to nothing
//     -1   run stage failure (unknown form byte, a run or literal past the
//          capacity, a token cut off by the end of the input, input left
//          over once the capacity is reached, no memory for the scratch)
//    < -1  a negative decoded-length field, passed on as it stands
// Every result of 0 or less is a failure.
//
// A codec keeps one room of its own from the first block that needs it to
// its end, sized by the capacity (about twice it), so that an extraction,
// which decodes every chunk with one codec and one capacity, allocates it
// once. It grows only for a larger capacity. What a call returns and leaves
// in the buffer never depends on the calls before it.
class BlockCodec {
 public:
  BlockCodec() = default;
  BlockCodec(const BlockCodec&) = delete;
  BlockCodec& operator=(const BlockCodec&) = delete;
  virtual ~BlockCodec();

  // Decodes the coded block of `length` bytes at buffer in place.
  // The caller provides: capacity >= 0, the most bytes a block may decode to
  // (the extractor passes block size + 16); a buffer that holds at least
  // max(length, capacity + 1) bytes, since the run stage writes a sentinel
  // byte just past its input. The extractor's buffer of block size + 512
  // bytes with blocks of at most block size + 16 bytes satisfies this.
  // After a Huffman failure the buffer is unchanged, except that a block
  // whose code stream turns out malformed midway leaves part of its output.
  int32_t Decode(uint8_t* buffer, int32_t length, int32_t capacity);

  // The run stage alone, on the first n bytes of buffer: byte 0 selects the
  // stored form (0) or the escape-coded run form (1). The caller provides a
  // buffer of at least max(n + 1, capacity) bytes: the run form writes its
  // escape byte at buffer[n] as a sentinel. Returns the output length (0 for
  // an empty output; never above capacity) or -1, also for n < 1 and a
  // negative capacity.
  int32_t DecodeRuns(uint8_t* buffer, int32_t n, int32_t capacity);

 private:
  // The kept room, grown to at least `bytes`; null when that fails.
  uint8_t* Room(size_t bytes);

  uint8_t* room_ = nullptr;
  size_t roomBytes_ = 0;
};
