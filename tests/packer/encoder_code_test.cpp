// The parts of the encoder on their own: code lengths against exhaustive and
// classic optima, code tables against the decoder's Huffman stage, and the
// run parse against an exhaustive search.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <queue>

#include "archive/block_codec.h"
#include "archive/huffman_stage.h"
#include "packer/code_lengths.h"
#include "packer/huffman_writer.h"
#include "packer/level_table.h"
#include "packer/run_tokens.h"
#include "tests/packer/encoder_test_data.h"

namespace {

uint64_t WeightedLength(const ByteCounts& counts, const CodeLengths& lengths) {
  uint64_t total = 0;
  for (int s = 0; s < 256; ++s) total += counts[s] * lengths[s];
  return total;
}

// Kraft sum in units of 2^-32, so that a full code space is 2^32.
uint64_t KraftSum(const CodeLengths& lengths) {
  uint64_t sum = 0;
  for (const uint8_t length : lengths) {
    if (length != 0) sum += uint64_t{1} << (32 - length);
  }
  return sum;
}

// Classic Huffman (no length limit): the optimum's weighted length.
uint64_t HuffmanCost(const ByteCounts& counts) {
  std::priority_queue<uint64_t, std::vector<uint64_t>, std::greater<>> queue;
  for (const uint64_t count : counts) {
    if (count > 0) queue.push(count);
  }
  uint64_t cost = 0;
  while (queue.size() > 1) {
    const uint64_t a = queue.top();
    queue.pop();
    const uint64_t b = queue.top();
    queue.pop();
    cost += a + b;
    queue.push(a + b);
  }
  return cost;
}

ByteCounts CountsOf(std::initializer_list<uint64_t> leading) {
  ByteCounts counts{};
  std::copy(leading.begin(), leading.end(), counts.begin());
  return counts;
}

TEST(CodeLengths, MatchHuffmanWhenTheLimitDoesNotBind) {
  std::mt19937 rng(21);
  for (int trial = 0; trial < 200; ++trial) {
    ByteCounts counts{};
    const int used = 2 + static_cast<int>(rng() % 255);
    for (int s = 0; s < used; ++s) counts[rng() % 256] += 1 + rng() % 1000;
    const CodeLengths lengths = LimitedCodeLengths(counts, kMaxCodeLength, false);
    EXPECT_EQ(HuffmanCost(counts), WeightedLength(counts, lengths)) << "trial " << trial;
    EXPECT_EQ(uint64_t{1} << 32, KraftSum(lengths)) << "a complete code, trial " << trial;
    for (int s = 0; s < 256; ++s) EXPECT_EQ(counts[s] > 0, lengths[s] > 0);
  }
}

// Exhaustive search over every length vector up to the limit: package-merge
// must reach the same optimum when the limit binds.
TEST(CodeLengths, OptimalUnderABindingLimit) {
  std::mt19937 rng(22);
  for (int trial = 0; trial < 100; ++trial) {
    const int symbols = 3 + static_cast<int>(rng() % 4);
    const int limit = 3;
    ByteCounts counts{};
    for (int s = 0; s < symbols; ++s) counts[s] = 1 + (uint64_t{1} << (rng() % 12));
    uint64_t best = UINT64_MAX;
    std::vector<int> lengths(static_cast<size_t>(symbols), 1);
    std::function<void(int)> search = [&](int s) {
      if (s == symbols) {
        uint64_t kraft = 0, cost = 0;
        for (int i = 0; i < symbols; ++i) {
          kraft += uint64_t{1} << (limit - lengths[i]);
          cost += counts[i] * static_cast<uint64_t>(lengths[i]);
        }
        if (kraft <= (uint64_t{1} << limit)) best = std::min(best, cost);
        return;
      }
      for (int l = 1; l <= limit; ++l) {
        lengths[s] = l;
        search(s + 1);
      }
    };
    search(0);
    const CodeLengths found = LimitedCodeLengths(counts, limit, false);
    EXPECT_EQ(best, WeightedLength(counts, found)) << "trial " << trial;
    EXPECT_LE(KraftSum(found), uint64_t{1} << 32);
    EXPECT_LE(*std::max_element(found.begin(), found.end()), limit);
  }
}

TEST(CodeLengths, FibonacciCountsStayWithinTheLimit) {
  ByteCounts counts{};
  uint64_t a = 1, b = 1;
  for (int s = 0; s < 40; ++s) {
    counts[s] = a;
    const uint64_t next = a + b;
    a = b;
    b = next;
  }
  const CodeLengths lengths = LimitedCodeLengths(counts, kMaxCodeLength, false);
  EXPECT_EQ(kMaxCodeLength, *std::max_element(lengths.begin(), lengths.end()));
  EXPECT_LE(KraftSum(lengths), uint64_t{1} << 32);
  EXPECT_GE(WeightedLength(counts, lengths), HuffmanCost(counts));
}

TEST(CodeLengths, SingleValueGetsOneBit) {
  const CodeLengths lengths = LimitedCodeLengths(CountsOf({0, 0, 5}), kMaxCodeLength, false);
  EXPECT_EQ(1, lengths[2]);
  EXPECT_EQ(uint64_t{1} << 31, KraftSum(lengths));
}

// Writes `stream` with the table chosen for it and decodes it with the
// decoder's Huffman stage alone.
void ExpectHuffmanRoundTrip(const Bytes& stream) {
  ByteCounts counts{};
  for (const uint8_t byte : stream) ++counts[byte];
  const HuffmanTable table = ChooseHuffmanTable(counts);
  Bytes coded;
  WriteHuffmanBlock(table, stream, coded);
  EXPECT_EQ(4 + (CodedBits(table, counts) + 7) / 8, coded.size());
  EXPECT_LE(CodedBits(table, counts), CodedBits(IdentityTable(), counts));
  for (size_t k = 1; k < table.levelLengths.size(); ++k) {
    EXPECT_LT(table.levelLengths[k - 1], table.levelLengths[k]);
  }
  EXPECT_LE(table.levelLengths.back(), kMaxCodeLength);

  Bytes buffer(std::max(coded.size(), stream.size()) + 16, 0x5A);
  std::copy(coded.begin(), coded.end(), buffer.begin());
  const int32_t decoded = DecodeHuffmanBlock(buffer.data(), static_cast<int32_t>(coded.size()),
                                             static_cast<int32_t>(stream.size()));
  ASSERT_EQ(static_cast<int32_t>(stream.size()), decoded);
  EXPECT_TRUE(std::equal(stream.begin(), stream.end(), buffer.begin()));
}

// Byte strings whose best tables take the shapes the decoder's carry rules
// care about: one or two coded values, complete codes, level counts that fill
// their index width while other values have no code, and many levels.
TEST(HuffmanTable, EveryShapeDecodes) {
  const std::vector<std::pair<const char*, std::vector<uint64_t>>> shapes = {
      {"one value", {500}},
      {"two equal values", {500, 500}},
      {"two skewed values", {5000, 3}},
      {"three values", {100, 50, 50}},
      {"four equal values", {300, 300, 300, 300}},
      {"four levels", {4000, 2000, 1000, 500, 250, 250}},
      {"eight levels", {1 << 14, 1 << 13, 1 << 12, 1 << 11, 1 << 10, 1 << 9, 1 << 8, 1 << 7, 1 << 7}},
      {"geometric", {1 << 16, 1 << 15, 1 << 14, 1 << 13, 1 << 12, 1 << 11, 1 << 10, 1 << 9, 1 << 8,
                     1 << 7, 1 << 6, 1 << 5, 1 << 4, 8, 4, 2, 1, 1}},
  };
  for (const auto& [name, counts] : shapes) {
    SCOPED_TRACE(name);
    Bytes stream;
    for (size_t s = 0; s < counts.size(); ++s) stream.insert(stream.end(), counts[s], static_cast<uint8_t>(0x40 + s));
    std::shuffle(stream.begin(), stream.end(), std::mt19937(23));
    ExpectHuffmanRoundTrip(stream);
  }
}

TEST(HuffmanTable, RandomHistogramsDecode) {
  std::mt19937 rng(24);
  for (int trial = 0; trial < 150; ++trial) {
    SCOPED_TRACE(testing::Message() << "trial " << trial);
    const int used = 1 + static_cast<int>(rng() % 256);
    Bytes stream;
    for (int i = 0; i < used; ++i) {
      stream.insert(stream.end(), 1 + (rng() % (1u << (rng() % 11))), static_cast<uint8_t>(rng()));
    }
    ExpectHuffmanRoundTrip(stream);
  }
}

// Counts that would need codes past the length limit: the limited code
// must still decode.
TEST(HuffmanTable, DeepCodeDecodes) {
  Bytes stream;
  uint64_t a = 1, b = 1;
  for (int s = 0; s < 27; ++s) {
    stream.insert(stream.end(), a, static_cast<uint8_t>(s * 9));
    const uint64_t next = a + b;
    a = b;
    b = next;
  }
  ExpectHuffmanRoundTrip(stream);
}

TEST(HuffmanTable, IdentityForEvenCounts) {
  ByteCounts counts;
  counts.fill(1000);
  const HuffmanTable table = ChooseHuffmanTable(counts);
  EXPECT_EQ(std::vector<uint8_t>{8}, table.levelLengths);
  EXPECT_EQ(16u + 8 * 256000, CodedBits(table, counts));
}

// Exhaustive cheapest tokenisation of a short block under given byte
// prices, trying every token at every position.
uint64_t CheapestParse(const Bytes& data, uint8_t escape, const ByteBits& bits) {
  std::map<size_t, uint64_t> memo;
  // headBits[length][repeats]: the cheapest E, token and count bytes, over
  // every token byte and count byte that spell this run.
  std::vector<std::vector<uint64_t>> headBits(9, std::vector<uint64_t>(data.size() + 1, UINT64_MAX));
  for (int length = 1; length <= 8; ++length) {
    const int lengthField = (length - 1) << 4;
    for (int repeats = 1; repeats <= 16 && repeats <= static_cast<int>(data.size()); ++repeats) {
      headBits[length][repeats] = bits[escape] + bits[lengthField | (repeats - 1)];
    }
    for (int x = 0; x < 256; ++x) {
      for (int nibble = 0; nibble < 16; ++nibble) {
        const int tag = 0x80 | lengthField | nibble;
        const size_t repeats = static_cast<size_t>(16 + 15 * x + nibble);
        if (tag != 0xFF && repeats <= data.size()) {
          headBits[length][repeats] = std::min<uint64_t>(headBits[length][repeats], bits[escape] + bits[tag] + bits[x]);
        }
      }
    }
  }
  std::function<uint64_t(size_t)> from = [&](size_t i) -> uint64_t {
    if (i == data.size()) return 0;
    if (auto it = memo.find(i); it != memo.end()) return it->second;
    uint64_t best = (data[i] == escape ? bits[escape] + bits[0xFF] : bits[data[i]]) + from(i + 1);
    for (size_t length = 1; length <= 8 && i + length <= data.size(); ++length) {
      uint64_t pattern = 0;
      for (size_t k = 0; k < length; ++k) pattern += bits[data[i + k]];
      for (size_t repeats = 1; i + repeats * length <= data.size(); ++repeats) {
        if (!std::equal(data.begin() + static_cast<std::ptrdiff_t>(i),
                        data.begin() + static_cast<std::ptrdiff_t>(i + length),
                        data.begin() + static_cast<std::ptrdiff_t>(i + (repeats - 1) * length))) {
          break;
        }
        best = std::min(best, headBits[length][repeats] + pattern +
                                  from(i + repeats * length));
      }
    }
    memo[i] = best;
    return best;
  };
  return from(0);
}

TEST(RunTokens, ParseIsAsCheapAsAnyAndDecodes) {
  std::mt19937 rng(25);
  for (int trial = 0; trial < 300; ++trial) {
    SCOPED_TRACE(testing::Message() << "trial " << trial);
    // Blocks of at most 64 bytes over three values, one of them the escape,
    // with runs of few repeats, up to the short limit, or long: short enough
    // that the parse tries every count at every position.
    Bytes data;
    const uint32_t maxRepeats[] = {3, 20, 64};
    while (data.size() < static_cast<size_t>(20 + trial % 45)) {
      const Bytes pattern = RandomBytes(1 + rng() % 4, rng(), 3);
      const Bytes run = Repeated(pattern, 1 + rng() % maxRepeats[trial % 3]);
      data.insert(data.end(), run.begin(), run.end());
    }
    data.resize(std::min<size_t>(data.size(), 64));
    ByteBits bits;
    for (uint32_t& b : bits) b = 1 + rng() % 12;
    const uint8_t escape = static_cast<uint8_t>(rng() % 3);

    const Bytes stream = BuildRunStream(data, escape, bits);
    ASSERT_GE(stream.size(), 3u);
    EXPECT_EQ(1, stream[0]);
    EXPECT_EQ(escape, stream[1]);
    uint64_t streamBits = 0;
    for (size_t i = 2; i < stream.size(); ++i) streamBits += bits[stream[i]];
    EXPECT_EQ(CheapestParse(data, escape, bits), streamBits);

    const size_t capacity = stream.size() + data.size();  // the stage needs n <= capacity
    Bytes buffer(capacity + 1, 0);
    std::copy(stream.begin(), stream.end(), buffer.begin());
    BlockCodec codec;
    ASSERT_EQ(static_cast<int32_t>(data.size()),
              codec.DecodeRuns(buffer.data(), static_cast<int32_t>(stream.size()),
                               static_cast<int32_t>(capacity)));
    EXPECT_TRUE(std::equal(data.begin(), data.end(), buffer.begin()));
  }
}

TEST(RunTokens, EscapeIsTheRarestValue) {
  Bytes data(1000, 0);
  for (int s = 1; s < 256; ++s) data.insert(data.end(), static_cast<size_t>(s == 77 ? 1 : 3), static_cast<uint8_t>(s));
  EXPECT_EQ(77, ChooseEscapeByte(data));
}

}  // namespace
