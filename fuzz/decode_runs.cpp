// The run stage alone, beside the one it replaced
// (tests/archive/codec_previous_decoder.h): the same result and the same
// bytes in the whole buffer. The first two bytes give the capacity
// (0..65535), the rest is the stage's input, in a buffer of
// max(n + 1, capacity) bytes with a fill after the input.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "archive/block_codec.h"
#include "base/little_endian.h"
#include "tests/archive/codec_previous_decoder.h"

// One codec for every input, as an extraction keeps one: the room it keeps
// from call to call must change no outcome.
static BlockCodec theCodec;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const int32_t capacity = LoadUint16(data);
  const int32_t n = static_cast<int32_t>(size - 2);
  std::vector<uint8_t> buffer(static_cast<size_t>(n + 1 > capacity ? n + 1 : capacity));
  std::memcpy(buffer.data(), data + 2, static_cast<size_t>(n));
  std::memset(buffer.data() + n, 0xA5, buffer.size() - static_cast<size_t>(n));
  std::vector<uint8_t> expected = buffer;
  const int32_t result = theCodec.DecodeRuns(buffer.data(), n, capacity);
  if (result < -1 || result > capacity) std::abort();
  if (result != codec_previous::DecodeRuns(expected.data(), n, capacity) || buffer != expected) std::abort();
  return 0;
}
