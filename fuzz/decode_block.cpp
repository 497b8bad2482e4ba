// BlockCodec::Decode or DecodeHuffmanBlock (inputs of even and odd length)
// on arbitrary coded blocks, beside the decoder it replaced
// (tests/archive/codec_previous_decoder.h): the same result and the same
// bytes in the whole buffer. One entry point per input keeps the runs
// quick; both stages run in Decode. The first two
// bytes give the capacity (0..65535); the rest is the block, in a buffer of
// the size that Decode asks for, max(length, capacity + 1), with a pattern
// after the block.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "archive/block_codec.h"
#include "base/little_endian.h"
#include "archive/huffman_stage.h"
#include "tests/archive/codec_previous_decoder.h"

namespace {

using Decode = int32_t (*)(uint8_t*, int32_t, int32_t);

// One codec for every input, as an extraction keeps one for all its chunks:
// the room it keeps from call to call must change no outcome.
BlockCodec theCodec;

int32_t CodecDecode(uint8_t* buffer, int32_t length, int32_t capacity) {
  return theCodec.Decode(buffer, length, capacity);
}

void ExpectSame(Decode current, Decode previous, const uint8_t* block, int32_t length, int32_t capacity) {
  std::vector<uint8_t> buffer(static_cast<size_t>(length > capacity + 1 ? length : capacity + 1));
  std::memcpy(buffer.data(), block, static_cast<size_t>(length));
  std::memset(buffer.data() + length, 0xA5, buffer.size() - static_cast<size_t>(length));
  std::vector<uint8_t> expected = buffer;
  const int32_t result = current(buffer.data(), length, capacity);
  if (result > capacity) std::abort();
  if (result != previous(expected.data(), length, capacity) || buffer != expected) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const int32_t capacity = LoadUint16(data);
  const int32_t length = static_cast<int32_t>(size - 2);
  if (size % 2 == 0) {
    ExpectSame(CodecDecode, codec_previous::Decode, data + 2, length, capacity);
  } else {
    ExpectSame(DecodeHuffmanBlock, codec_previous::DecodeHuffmanBlock, data + 2, length, capacity);
  }
  return 0;
}
