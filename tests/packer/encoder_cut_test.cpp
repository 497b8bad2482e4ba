// The adaptive cut: pieces that cover the file within the block size, cut
// where the data changes, the same however the bytes are fed in.
#include <gtest/gtest.h>

#include <numeric>

#include "packer/adaptive_cut.h"
#include "packer/block_encoder.h"
#include "tests/packer/encoder_test_data.h"

namespace {

constexpr int32_t kBlock = 200000;

std::vector<int32_t> CutOf(const Bytes& data, int32_t blockSize, size_t part) {
  AdaptiveCut cut(blockSize);
  for (size_t at = 0; at < data.size(); at += part) {
    cut.Add(std::span<const uint8_t>(data.data() + at, std::min(part, data.size() - at)));
  }
  return cut.Finish();
}

Bytes Joined(std::initializer_list<Bytes> parts) {
  Bytes bytes;
  for (const Bytes& part : parts) bytes.insert(bytes.end(), part.begin(), part.end());
  return bytes;
}

TEST(AdaptiveCut, PiecesCoverTheFileWithinTheBlockSize) {
  const struct {
    const char* name;
    Bytes data;
  } cases[] = {
      {"empty", {}},
      {"one byte", {0x41}},
      {"a granule less one", RandomBytes(1999, 1)},
      {"one granule", EnglishText(2000, 2)},
      {"a granule and one", EnglishText(2001, 3)},
      {"one block", MixedBytes(kBlock, 4)},
      {"a block and one", Bytes(kBlock + 1, 0)},
      {"kinds in turn", Joined({MixedBytes(300000, 5), EnglishText(123457, 6), RandomBytes(200000, 7, 16)})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    AdaptiveCut cut(kBlock);
    ASSERT_EQ(0, kBlock % cut.GranuleBytes()) << "a piece of exactly the block size must be possible";
    const std::vector<int32_t> pieces = CutOf(c.data, kBlock, c.data.size() + 1);
    EXPECT_EQ(static_cast<int64_t>(c.data.size()), std::accumulate(pieces.begin(), pieces.end(), int64_t{0}));
    EXPECT_GE(pieces.size(), (c.data.size() + kBlock - 1) / kBlock);
    for (size_t k = 0; k < pieces.size(); ++k) {
      EXPECT_GE(pieces[k], 1);
      EXPECT_LE(pieces[k], kBlock);
      if (k + 1 < pieces.size()) {
        EXPECT_EQ(0, pieces[k] % cut.GranuleBytes()) << "piece " << k;
      }
    }
    // Fed in odd parts, and twice to one object, the cut is the same.
    EXPECT_EQ(pieces, CutOf(c.data, kBlock, 777));
    for (int round = 0; round < 2; ++round) {
      cut.Add(c.data);
      EXPECT_EQ(pieces, cut.Finish()) << "round " << round;
    }
  }
}

// Text, then random bytes, then random bytes of 16 values: the cut falls
// exactly where they meet, and codes smaller than the fixed cut.
TEST(AdaptiveCut, CutsWhereTheDataChanges) {
  const Bytes data = Joined({EnglishText(60000, 8), RandomBytes(60000, 9), RandomBytes(40000, 11, 16)});
  const std::vector<int32_t> pieces = CutOf(data, kBlock, data.size());
  std::vector<int64_t> ends;
  std::partial_sum(pieces.begin(), pieces.end(), std::back_inserter(ends));
  EXPECT_NE(ends.end(), std::find(ends.begin(), ends.end(), 60000));
  EXPECT_NE(ends.end(), std::find(ends.begin(), ends.end(), 120000));

  auto codedSize = [&](const std::vector<int32_t>& cut) {
    size_t total = 0, at = 0;
    Bytes block;
    for (const int32_t piece : cut) {
      EXPECT_TRUE(EncodeBlock(std::span<const uint8_t>(data.data() + at, static_cast<size_t>(piece)), block));
      total += 4 + block.size();
      at += static_cast<size_t>(piece);
    }
    return total;
  };
  EXPECT_LT(codedSize(pieces), codedSize(FixedCut(static_cast<int64_t>(data.size()), kBlock)));
}

// Data of one kind throughout gains nothing from more pieces.
TEST(AdaptiveCut, UniformDataTakesAsFewPiecesAsTheBlockSizeAllows) {
  for (const int32_t blockSize : {1024, 65536, kBlock}) {
    const Bytes data = RandomBytes(3 * static_cast<size_t>(blockSize) + 5, 10);
    EXPECT_EQ(4u, CutOf(data, blockSize, data.size()).size()) << blockSize;
  }
}

TEST(FixedCut, BlockSizedPiecesAndTheRest) {
  EXPECT_EQ(std::vector<int32_t>{}, FixedCut(0, 1024));
  EXPECT_EQ(std::vector<int32_t>{1}, FixedCut(1, 1024));
  EXPECT_EQ(std::vector<int32_t>{1024}, FixedCut(1024, 1024));
  EXPECT_EQ((std::vector<int32_t>{1024, 1024, 1}), FixedCut(2049, 1024));
}

}  // namespace
