// Differential: every block the encoder makes must decode back to its data,
// within data.size() + 16 coded bytes. Only the first kLongestBlock bytes of
// an input are encoded: the encoder's table search costs milliseconds a
// block, more for longer ones, and short blocks reach its branches as well
// (only runs longer than the cap are out of reach; decode_runs covers those
// on the decoder's side).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

#include "archive/block_codec.h"
#include "packer/block_encoder.h"

namespace {
constexpr size_t kLongestBlock = 1024;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kLongestBlock) size = kLongestBlock;
  std::vector<uint8_t> coded;
  const bool encoded = EncodeBlock(std::span<const uint8_t>(data, size), coded);
  if (encoded != (size > 0)) std::abort();
  if (!encoded) return 0;
  if (coded.size() > size + 16) std::abort();
  // The extractor's capacity for a block of this size, and its buffer.
  const int32_t capacity = static_cast<int32_t>(size + 16);
  std::vector<uint8_t> buffer(coded.size() > size + 17 ? coded.size() : size + 17);
  std::memcpy(buffer.data(), coded.data(), coded.size());
  BlockCodec codec;
  const int32_t result = codec.Decode(buffer.data(), static_cast<int32_t>(coded.size()), capacity);
  if (result != static_cast<int32_t>(size) || std::memcmp(buffer.data(), data, size) != 0) std::abort();
  return 0;
}
