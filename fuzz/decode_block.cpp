// BlockCodec::Decode on arbitrary coded blocks. The first two bytes give the
// capacity (0..65535); the rest is the block, in a buffer of the size that
// Decode asks for: max(length, capacity + 1).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "archive/block_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const int32_t capacity = data[0] | data[1] << 8;
  const int32_t length = static_cast<int32_t>(size - 2);
  std::vector<uint8_t> buffer(static_cast<size_t>(length > capacity + 1 ? length : capacity + 1));
  std::memcpy(buffer.data(), data + 2, static_cast<size_t>(length));
  BlockCodec codec;
  const int32_t result = codec.Decode(buffer.data(), length, capacity);
  if (result > capacity) std::abort();
  return 0;
}
