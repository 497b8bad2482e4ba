// One coded block decoded as the extractor decodes it: copied into the
// buffer, where the codec decodes it in place. The codec benchmarks time
// DecodeInBuffer; once per run, outside the timing, DecodesBack checks that
// the same call gives the block's data back, so that a fast but wrong
// decoder fails the benchmark rather than winning it.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "archive/block_codec.h"

inline int32_t DecodeInBuffer(BlockCodec& codec, std::vector<uint8_t>& buffer, const std::vector<uint8_t>& coded,
                              int32_t capacity) {
  std::memcpy(buffer.data(), coded.data(), coded.size());
  return codec.Decode(buffer.data(), static_cast<int32_t>(coded.size()), capacity);
}

inline bool DecodesBack(BlockCodec& codec, std::vector<uint8_t>& buffer, const std::vector<uint8_t>& coded,
                        const std::vector<uint8_t>& data, int32_t capacity) {
  const int32_t decoded = DecodeInBuffer(codec, buffer, coded, capacity);
  return decoded == static_cast<int32_t>(data.size()) && std::memcmp(buffer.data(), data.data(), data.size()) == 0;
}
