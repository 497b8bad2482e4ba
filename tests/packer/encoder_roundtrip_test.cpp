// Every block the encoder makes must come back exactly through the decoder,
// with the capacity the extractor gives it, and never exceed the chunk limit.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <numeric>
#include <ostream>
#include <random>

#include "archive/block_codec.h"
#include "packer/block_encoder.h"
#include "tests/packer/encoder_test_data.h"

namespace {

// Encodes data and decodes it back as the extractor does: a buffer of
// block size + 512 bytes and a capacity of block size + 16, here with the
// block size equal to the data, the tightest case. Returns the coded size.
size_t ExpectRoundTrip(const Bytes& data) {
  Bytes coded;
  EXPECT_TRUE(EncodeBlock(data, coded));
  EXPECT_LE(coded.size(), data.size() + 16);
  Bytes buffer(data.size() + 512, 0xA5);
  std::copy(coded.begin(), coded.end(), buffer.begin());
  BlockCodec codec;
  const int32_t decoded = codec.Decode(buffer.data(), static_cast<int32_t>(coded.size()),
                                       static_cast<int32_t>(data.size()) + 16);
  EXPECT_EQ(static_cast<int32_t>(data.size()), decoded);
  if (decoded == static_cast<int32_t>(data.size())) {
    const auto mismatch = std::mismatch(data.begin(), data.end(), buffer.begin());
    EXPECT_TRUE(mismatch.first == data.end())
        << "first wrong byte at " << (mismatch.first - data.begin()) << " of " << data.size();
  }
  return coded.size();
}

struct Sample {
  const char* name;
  std::function<Bytes()> make;
};

Bytes WithNeighbours(const Bytes& middle) {
  Bytes bytes = {0x11, 0x22};
  bytes.insert(bytes.end(), middle.begin(), middle.end());
  bytes.push_back(0x33);
  return bytes;
}

Bytes EveryByteValue(size_t copies, uint32_t seed) {
  Bytes bytes;
  for (size_t i = 0; i < copies; ++i) {
    for (int s = 0; s < 256; ++s) bytes.push_back(static_cast<uint8_t>(s));
  }
  std::shuffle(bytes.begin(), bytes.end(), std::mt19937(seed));
  return bytes;
}

// Runs of every kind where every byte value also occurs as a literal, so the
// escape byte must be escaped too, and run patterns hold it.
Bytes RunsAmongAllValues() {
  Bytes bytes = EveryByteValue(4, 7);
  std::mt19937 rng(8);
  for (int i = 0; i < 200; ++i) {
    const Bytes pattern = RandomBytes(1 + rng() % 8, rng());
    const Bytes run = Repeated(pattern, 1 + rng() % 40);
    bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(rng() % bytes.size()), run.begin(), run.end());
  }
  return bytes;
}

const Sample kSamples[] = {
    {"one_zero_byte", [] { return Bytes{0}; }},
    {"one_ff_byte", [] { return Bytes{0xFF}; }},
    {"two_bytes", [] { return Bytes{0x41, 0x42}; }},
    {"random_17", [] { return RandomBytes(17, 1); }},
    {"random_4096", [] { return RandomBytes(4096, 2); }},
    {"random_200000", [] { return RandomBytes(200000, 3); }},
    {"two_values_random", [] { return RandomBytes(50000, 4, 2); }},
    {"three_values_random", [] { return RandomBytes(50000, 5, 3); }},
    {"five_values_random", [] { return RandomBytes(50000, 6, 5); }},
    {"text_1000", [] { return EnglishText(1000, 7); }},
    {"text_200000", [] { return EnglishText(200000, 8); }},
    {"mixed_200000", [] { return MixedBytes(200000, 9); }},
    {"all_values_once", [] { return EveryByteValue(1, 10); }},
    {"all_values_shuffled", [] { return EveryByteValue(100, 11); }},
    {"all_values_with_runs", [] { return RunsAmongAllValues(); }},
    {"zeros_200000", [] { return Bytes(200000, 0); }},
    {"ff_run_5000", [] { return Bytes(5000, 0xFF); }},
    {"ascending_65536", [] {
       Bytes bytes(65536);
       std::iota(bytes.begin(), bytes.end(), uint8_t{0});
       return bytes;
     }},
};

// Names the sample in test output instead of dumping its bytes.
void PrintTo(const Sample& sample, std::ostream* out) { *out << sample.name; }

class RoundTrip : public testing::TestWithParam<Sample> {};

TEST_P(RoundTrip, DecodesBackExactly) { ExpectRoundTrip(GetParam().make()); }

INSTANTIATE_TEST_SUITE_P(Samples, RoundTrip, testing::ValuesIn(kSamples),
                         [](const testing::TestParamInfo<Sample>& info) { return std::string(info.param.name); });

// Runs at the limits of both token forms: 16 is the longest short run and
// the shortest long one; 3,856 the longest long run (3,855 for 8-byte
// patterns); one more needs a second token. Each run stands between bytes
// that end it, and once more at the very end of the block.
TEST(RoundTrip, RunsAtTokenLimits) {
  const size_t counts[] = {1, 2, 15, 16, 17, 30, 31, 32, 3854, 3855, 3856, 3857, 7712, 7713};
  for (size_t length = 1; length <= 8; ++length) {
    SCOPED_TRACE(testing::Message() << "pattern of " << length);
    const Bytes pattern = RandomBytes(length, static_cast<uint32_t>(100 + length));
    Bytes block;
    for (const size_t count : counts) {
      const Bytes run = WithNeighbours(Repeated(pattern, count));
      block.insert(block.end(), run.begin(), run.end());
    }
    const Bytes last = Repeated(pattern, 3856);
    block.insert(block.end(), last.begin(), last.end());
    ExpectRoundTrip(block);
  }
}

// Each byte value alone, as a whole block and as a long run: every escape
// choice and the single-symbol code tables.
TEST(RoundTrip, EveryByteValueAloneAndRepeated) {
  for (int s = 0; s < 256; ++s) {
    SCOPED_TRACE(testing::Message() << "byte " << s);
    ExpectRoundTrip(Bytes{static_cast<uint8_t>(s)});
    ExpectRoundTrip(Bytes(40, static_cast<uint8_t>(s)));
  }
}

// Short random blocks over small alphabets hit many small code tables
// (one to a few levels, power-of-two level counts, uncoded values).
TEST(RoundTrip, ManySmallBlocks) {
  std::mt19937 rng(12);
  for (int i = 0; i < 400; ++i) {
    const Bytes data = RandomBytes(1 + rng() % 300, rng(), 1 + static_cast<int>(rng() % 12));
    SCOPED_TRACE(testing::Message() << "block " << i);
    ExpectRoundTrip(data);
  }
}

TEST(RoundTrip, LargestBlock) {
  const Bytes data = MixedBytes(kMaxBlockBytes, 13);
  const size_t coded = ExpectRoundTrip(data);
  EXPECT_LT(coded, data.size() * 3 / 4);
}

// The packer keeps one scratch per thread: whatever the blocks before it
// left there (longer, shorter, stored or run form), a block codes as it
// does from a fresh one.
TEST(EncodeBlock, ReusedScratchCodesAsAFreshOne) {
  std::vector<Bytes> blocks;
  for (const Sample& sample : kSamples) blocks.push_back(sample.make());
  const std::vector<Bytes> forward = blocks;
  blocks.insert(blocks.end(), forward.rbegin(), forward.rend());
  EncoderScratch scratch;
  for (size_t i = 0; i < blocks.size(); ++i) {
    Bytes fresh, reused;
    EXPECT_TRUE(EncodeBlock(blocks[i], fresh));
    EXPECT_TRUE(EncodeBlock(blocks[i], reused, scratch));
    EXPECT_EQ(fresh, reused) << "block " << i << " of " << blocks[i].size() << " bytes";
  }
}

TEST(EncodeBlock, RefusesEmptyAndOversizedBlocks) {
  Bytes coded = {1, 2, 3};
  EXPECT_FALSE(EncodeBlock({}, coded));
  EXPECT_TRUE(coded.empty());
  const Bytes tooLarge(kMaxBlockBytes + 1, 0);
  EXPECT_FALSE(EncodeBlock(tooLarge, coded));
  EXPECT_TRUE(coded.empty());
}

// The stored form with the identity table bounds every block: data + 7.
TEST(EncodeBlock, IncompressibleDataCostsAtMostSevenBytesMore) {
  for (const size_t size : {size_t{1}, size_t{100}, size_t{65536}}) {
    const Bytes data = RandomBytes(size, static_cast<uint32_t>(size));
    EXPECT_LE(ExpectRoundTrip(data), size + 7);
  }
}

TEST(EncodeBlock, CompressesRunsAndText) {
  EXPECT_LE(ExpectRoundTrip(Bytes(200000, 0)), 80u);
  // One run token of each limit length, plus the table.
  EXPECT_LE(ExpectRoundTrip(Bytes(3856, 'x')), 16u);
  EXPECT_LE(ExpectRoundTrip(Repeated(RandomBytes(8, 14), 3855)), 24u);
  // Order-0 coding of prose: well under five bits a character.
  const Bytes text = EnglishText(200000, 15);
  EXPECT_LT(ExpectRoundTrip(text), text.size() * 5 / 8);
  // Two values: the runs of equal bytes pay for the third code.
  const Bytes twoValues = RandomBytes(100000, 16, 2);
  EXPECT_LT(ExpectRoundTrip(twoValues), twoValues.size() * 3 / 16);
}

}  // namespace
