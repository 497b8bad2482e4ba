// First stage of block decoding: the canonical Huffman code whose level
// table travels at the head of every block.
#pragma once

#include <cstddef>
#include <cstdint>

// Decodes the coded block of `length` bytes at buffer over itself.
//
// Block layout: a little-endian int32 decoded length d, then a bit stream
// read most significant bit first: the level count g (8 bits), g level
// lengths (8 bits each, never falling, below 32, no step above 25 bits), for
// g >= 2 one w-bit level index per byte value (2^w >= g), then d codes.
//
// The caller provides a buffer of at least max(length, capacity) bytes;
// capacity is the most bytes the block may decode to.
//
// Returns d (bytes now at the start of buffer) on success, or:
//   0    length below 4, d above capacity, a truncated header, malformed
//        level lengths, an impossible code table, g = 0 or no byte with a
//        code while d > 0, bits that run out before d bytes are decoded, a
//        code value past the last level's codes, or no memory. The buffer
//        is unchanged, except that bits running out and a code past the
//        last level are found while the output is written: part of it
//        stays.
//   d <= 0  the table is still read and checked (its failures give 0);
//        then d itself is returned and nothing is written.
int32_t DecodeHuffmanBlock(uint8_t* buffer, int32_t length, int32_t capacity);

// The signed decoded length d at the head of a block of at least 4 bytes.
int32_t DecodedLengthField(const uint8_t* block);

// The room in which DecodeHuffmanInto decodes d bytes fastest: about 2 d
// for large blocks on 64-bit machines, whose parts are decoded at once and
// laid out apart first; d and a little more otherwise.
size_t HuffmanRoomFor(int32_t d);

// The same stage with the output going elsewhere: decodes the block of
// `length` bytes at block (left unchanged) into out, which has room for
// `room` bytes: at least d (unused when d <= 0), best HuffmanRoomFor(d) or
// more. Returns what DecodeHuffmanBlock returns; *written is the number of
// bytes at the start of out that DecodeHuffmanBlock would have left over
// the block: d on success, the partial output after a failure found
// midway, 0 otherwise. The rest of out is scratch.
int32_t DecodeHuffmanInto(const uint8_t* block, int32_t length, int32_t capacity, uint8_t* out, size_t room,
                          int32_t* written);
