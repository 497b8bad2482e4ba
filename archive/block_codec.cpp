// The run stage of block decoding, and the codec that runs both stages.
#include "archive/block_codec.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "archive/block_format.h"
#include "archive/huffman_stage.h"

using namespace block_format;

namespace {

// Room beyond the capacity in the scratch buffer.
constexpr size_t kScratchSlack = 16;
// Literal stretches and runs this short are handled byte by byte: blocks
// of many short tokens would otherwise cost a library call or two each.
constexpr int32_t kShortStretch = 16;

// Writes `count` copies of the `size`-byte pattern to out.
void RepeatPattern(uint8_t* out, const uint8_t* pattern, int32_t size, int32_t count) {
  const int32_t total = size * count;
  if (total <= kShortStretch) {
    // Too short for a call to pay: byte by byte.
    for (int32_t k = 0, p = 0; k < total; ++k) {
      out[k] = pattern[p];
      p = p + 1 == size ? 0 : p + 1;
    }
    return;
  }
  if (size == 1) {
    std::memset(out, *pattern, static_cast<size_t>(total));
    return;
  }
  std::memcpy(out, pattern, static_cast<size_t>(size));
  // Doubling copies of what is already written.
  for (int32_t filled = size; filled < total;) {
    const int32_t chunk = filled < total - filled ? filled : total - filled;
    std::memcpy(out + filled, out, static_cast<size_t>(chunk));
    filled += chunk;
  }
}

// Expands the run form's token stream in[2 .. n-1] into out, which holds at
// least capacity bytes. Returns the output length, or -1 when the output
// would pass the capacity, a token's operands lie past the input, or input
// is left once the capacity is reached (every token then passes it).
int32_t ExpandRuns(uint8_t* in, int32_t n, int32_t capacity, uint8_t* out) {
  const uint8_t escape = in[1];
  in[n] = escape;  // the sentinel after the input, as the format's decoders leave it
  int32_t i = 2;
  int32_t o = 0;
  while (i < n) {
    // Literals up to the next escape byte: the first few looked at one by
    // one (the sentinel ends the scan at n at the latest), the rest of a
    // longer stretch found by memchr.
    int32_t end = i;
    while (in[end] != escape && end - i < kShortStretch) ++end;
    if (in[end] != escape) {
      const void* hit = std::memchr(in + end, escape, static_cast<size_t>(n - end));
      end = hit ? static_cast<int32_t>(static_cast<const uint8_t*>(hit) - in) : n;
    }
    const int32_t literals = end - i;
    if (literals > capacity - o) return -1;
    if (literals <= kShortStretch) {
      for (int32_t k = 0; k < literals; ++k) out[o + k] = in[i + k];
    } else {
      std::memcpy(out + o, in + i, static_cast<size_t>(literals));
    }
    o += literals;
    i += literals;
    if (i == n) break;

    // A token; every operand is checked to lie inside the input before
    // it is read.
    if (n - i < 2) return -1;
    const uint8_t token = in[i + 1];
    i += 2;
    if (token == kEscapedEscape) {
      if (o == capacity) return -1;
      out[o++] = escape;
      continue;
    }
    int32_t size;
    int32_t count;
    if (token < kFirstLongRun) {
      size = RunPatternLength(token);
      count = ShortRunRepeats(token);
    } else {
      if (i == n) return -1;
      size = RunPatternLength(token);
      count = LongRunRepeats(token, in[i]);
      ++i;
    }
    if (size > n - i) return -1;
    if (size * count > capacity - o) return -1;
    RepeatPattern(out + o, in + i, size, count);
    o += size * count;
    i += size;
  }
  return o;
}

// The run stage on the Huffman stage's n bytes in room (which holds at
// least capacity + 1 bytes, the sentinel included), expanding into scratch
// (capacity bytes) and from there into buffer. buffer ends up exactly as
// the in-place stage leaves it after the Huffman stage wrote over the
// block; since nothing is written to buffer before the outcome is known,
// only what the in-place stage would have changed is put there, and the
// work stays in proportion to the block.
int32_t RunsIntoBuffer(uint8_t* room, int32_t n, int32_t capacity, uint8_t* scratch, uint8_t* buffer) {
  if (room[0] == kStoredForm) {
    // The in-place move leaves the last input byte where it was.
    std::memcpy(buffer, room + 1, static_cast<size_t>(n - 1));
    buffer[n - 1] = room[n - 1];
    return n - 1;
  }
  if (room[0] != kRunForm || n == 1) {
    std::memcpy(buffer, room, static_cast<size_t>(n));
    return -1;
  }
  const int32_t produced = ExpandRuns(room, n, capacity, scratch);
  if (produced < 0) {
    // The input and the sentinel after it.
    std::memcpy(buffer, room, static_cast<size_t>(n + 1));
    return -1;
  }
  std::memcpy(buffer, scratch, static_cast<size_t>(produced));
  // Where the output is shorter, the rest of the input and the sentinel.
  if (produced < n + 1) std::memcpy(buffer + produced, room + produced, static_cast<size_t>(n + 1 - produced));
  return produced;
}

}  // namespace

BlockCodec::~BlockCodec() { delete[] room_; }

uint8_t* BlockCodec::Room(size_t bytes) {
  if (bytes <= roomBytes_) return room_;
  delete[] room_;
  room_ = new (std::nothrow) uint8_t[bytes];
  roomBytes_ = room_ == nullptr ? 0 : bytes;
  return room_;
}

int32_t BlockCodec::Decode(uint8_t* buffer, int32_t length, int32_t capacity) {
  int32_t written;
  if (length < 4 || DecodedLengthField(buffer) > capacity || DecodedLengthField(buffer) <= 0) {
    return DecodeHuffmanInto(buffer, length, capacity, nullptr, 0, &written);
  }
  // One room for both stages, sized by the capacity, so that a codec that
  // decodes blocks of one capacity allocates once: the Huffman stage decodes
  // into its start (up to capacity bytes and the run stage's sentinel) and
  // may use all of it while it works; the run stage then expands into the
  // part after the sentinel.
  // (Twice a capacity near 2^31 would not fit a 32-bit size: no memory.)
  if (static_cast<uint64_t>(capacity) * 2 + 1 + kScratchSlack > SIZE_MAX) return 0;
  const size_t huffmanRoom = HuffmanRoomFor(capacity);
  const size_t scratchAt = static_cast<size_t>(capacity) + 1;
  const size_t runsRoom = scratchAt + static_cast<size_t>(capacity) + kScratchSlack;
  const size_t roomBytes = huffmanRoom > runsRoom ? huffmanRoom : runsRoom;
  uint8_t* room = Room(roomBytes);
  if (room == nullptr) return 0;
  const int32_t decoded = DecodeHuffmanInto(buffer, length, capacity, room, roomBytes, &written);
  if (decoded <= 0) {
    std::memcpy(buffer, room, static_cast<size_t>(written));
    return decoded;
  }
  return RunsIntoBuffer(room, decoded, capacity, room + scratchAt, buffer);
}

int32_t BlockCodec::DecodeRuns(uint8_t* buffer, int32_t n, int32_t capacity) {
  if (n < 1 || capacity < 0) return -1;
  if (buffer[0] == kStoredForm) {
    // Never more than the capacity, even when called with more input than
    // the Huffman stage could have produced.
    if (n - 1 > capacity) return -1;
    std::memmove(buffer, buffer + 1, static_cast<size_t>(n - 1));
    return n - 1;
  }
  if (buffer[0] != kRunForm || n == 1) return -1;  // unknown form; no escape byte

  uint8_t* scratch = Room(static_cast<size_t>(capacity) + kScratchSlack);
  if (scratch == nullptr) return -1;
  const int32_t produced = ExpandRuns(buffer, n, capacity, scratch);
  if (produced > 0) std::memcpy(buffer, scratch, static_cast<size_t>(produced));
  return produced;
}
