// Decode speed of the block codec, the same program built natively and as
// WebAssembly (run under Node's WASI by web_bench.mjs), so that the two
// figures come from one loop: decode_speed NAME=FILE... takes each file as a
// set of blocks of 200,000 bytes (the codec corpus's blocks, one after the
// other), codes them with the block encoder, decodes each once and compares
// it with its block (a wrong one fails the program, naming it), and prints
// "NAME MB/s" for the best of several rounds of decoding them all.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "archive/block_codec.h"
#include "bench/block_round_trip.h"
#include "packer/block_encoder.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr size_t kBlockBytes = 200000;
constexpr int32_t kCapacity = static_cast<int32_t>(kBlockBytes) + 16;
constexpr int kRounds = 15;

bool ReadWhole(const char* path, Bytes& bytes) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  Bytes chunk(1 << 16);
  size_t count;
  while ((count = std::fread(chunk.data(), 1, chunk.size(), file)) > 0) {
    bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(count));
  }
  std::fclose(file);
  return true;
}

// The best time of decoding every block of `coded`, in seconds; negative,
// with a message naming the set and the block, when a block does not
// decode back to its part of `blocks` (checked once, before the timing).
double BestDecode(const char* set, const std::vector<Bytes>& blocks, const std::vector<Bytes>& coded) {
  BlockCodec codec;  // one for all blocks, as an extraction keeps one
  Bytes buffer(kBlockBytes + 512);
  for (size_t i = 0; i < blocks.size(); ++i) {
    if (!DecodesBack(codec, buffer, coded[i], blocks[i], kCapacity)) {
      std::fprintf(stderr, "decode_speed: %s: block %zu of %zu decoded to other bytes than it was coded from\n", set,
                   i + 1, blocks.size());
      return -1;
    }
  }
  double best = 1e9;
  for (int round = 0; round < kRounds; ++round) {
    double seconds = 0;
    for (size_t i = 0; i < blocks.size(); ++i) {
      const Clock::time_point start = Clock::now();
      DecodeInBuffer(codec, buffer, coded[i], kCapacity);
      seconds += std::chrono::duration<double>(Clock::now() - start).count();
    }
    if (seconds < best) best = seconds;
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: decode_speed NAME=FILE...\n");
    return 2;
  }
  for (int arg = 1; arg < argc; ++arg) {
    const std::string given = argv[arg];
    const size_t equals = given.find('=');
    Bytes bytes;
    if (equals == std::string::npos || !ReadWhole(given.c_str() + equals + 1, bytes)) {
      std::fprintf(stderr, "decode_speed: cannot read %s\n", given.c_str());
      return 2;
    }
    std::vector<Bytes> blocks, coded;
    for (size_t at = 0; at < bytes.size(); at += kBlockBytes) {
      blocks.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                          bytes.begin() + static_cast<std::ptrdiff_t>(std::min(at + kBlockBytes, bytes.size())));
      coded.emplace_back();
      if (!EncodeBlock(blocks.back(), coded.back())) {
        std::fprintf(stderr, "decode_speed: the encoder failed on %s\n", given.c_str());
        return 1;
      }
    }
    const double seconds = BestDecode(given.c_str(), blocks, coded);
    if (seconds < 0) return 1;
    std::printf("%s %.1f\n", given.substr(0, equals).c_str(), static_cast<double>(bytes.size()) / seconds / 1e6);
  }
  return 0;
}
