// Generated blocks, well-formed and damaged: the decoder must agree with the
// step-by-step reference on every one (result, and output when positive),
// never give more than the capacity, and never touch memory it was not
// given (the asan build watches that).
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "archive/block_codec.h"
#include "archive/huffman_stage.h"
#include "tests/archive/codec_block_builder.h"
#include "tests/archive/codec_reference.h"

namespace codec_test {
namespace {

using Bytes = std::vector<uint8_t>;

// Runs `decode` on a private copy in a buffer exactly as large as the
// contract asks for, so that the asan build catches any access beyond it:
// max(length, capacity + 1) bytes for a block; the run stage alone needs
// max(n + 1, capacity) (pass sentinel = 1).
template <typename Decode>
int32_t RunOnCopy(Decode decode, const Bytes& block, int32_t capacity, Bytes* out, size_t sentinel = 0) {
  const size_t size = std::max(block.size() + sentinel, static_cast<size_t>(std::max(capacity, 0)) + 1 - sentinel);
  std::vector<uint8_t> buffer(block);
  buffer.resize(size, 0xEE);
  const int32_t result = decode(buffer.data(), static_cast<int32_t>(block.size()), capacity);
  *out = buffer;
  return result;
}

int32_t FastHuffman(uint8_t* b, int32_t l, int32_t c) { return DecodeHuffmanBlock(b, l, c); }
int32_t FastCodec(uint8_t* b, int32_t l, int32_t c) { return BlockCodec().Decode(b, l, c); }
int32_t FastRuns(uint8_t* b, int32_t l, int32_t c) { return BlockCodec().DecodeRuns(b, l, c); }

// Both decoders on one input: the same result, the same output when it
// succeeds, and no output above the capacity.
template <typename Fast, typename Reference>
void ExpectSameAsReference(Fast fast, Reference reference, const Bytes& block, int32_t capacity,
                           size_t sentinel = 0) {
  Bytes fastOut, referenceOut;
  const int32_t fastResult = RunOnCopy(fast, block, capacity, &fastOut, sentinel);
  const int32_t referenceResult = RunOnCopy(reference, block, capacity, &referenceOut, sentinel);
  ASSERT_NE(kReferenceBroken, referenceResult);
  ASSERT_EQ(referenceResult, fastResult) << "block of " << block.size() << " bytes, capacity " << capacity;
  if (fastResult > 0) {
    ASSERT_LE(fastResult, capacity);
    ASSERT_TRUE(std::equal(fastOut.begin(), fastOut.begin() + fastResult, referenceOut.begin()));
  }
}

void Damage(Random& random, Bytes& block) {
  if (block.size() < 5) return;  // already cut down to (almost) nothing
  switch (random.Below(5)) {
    case 0:  // flipped bits
      for (int i = 1 + random.Below(3); i > 0; --i) {
        block[static_cast<size_t>(random.Below(static_cast<int>(block.size())))] ^= static_cast<uint8_t>(1 << random.Below(8));
      }
      break;
    case 1:  // cut short
      block.resize(static_cast<size_t>(random.Below(static_cast<int>(block.size()))));
      break;
    case 2:  // a random tail
      for (size_t i = static_cast<size_t>(random.Below(static_cast<int>(block.size()))); i < block.size(); ++i) {
        block[i] = static_cast<uint8_t>(random.Next());
      }
      break;
    case 3:  // another decoded length
      block[static_cast<size_t>(random.Below(4))] = static_cast<uint8_t>(random.Next());
      break;
    default:  // a damaged header byte
      block[4 + static_cast<size_t>(random.Below(std::min<int>(40, static_cast<int>(block.size()) - 4)))] =
          static_cast<uint8_t>(random.Next());
      break;
  }
}

TEST(RandomBlocks, WellFormedBlocksDecodeToTheirText) {
  Random random(1);
  for (int round = 0; round < 300; ++round) {
    const std::array<int, 256> lengths = RandomCodeLengths(random);
    const Bytes text = RandomText(random, lengths, random.Below(3000));
    const Bytes block = BuildBlock(TableFromCodeLengths(lengths), text);
    const int32_t d = static_cast<int32_t>(text.size());
    Bytes out;
    ASSERT_EQ(d, RunOnCopy(FastHuffman, block, d, &out)) << "round " << round;
    ASSERT_TRUE(std::equal(text.begin(), text.end(), out.begin())) << "round " << round;
    ExpectSameAsReference(FastHuffman, ReferenceDecodeHuffman, block, d + random.Below(3));
  }
}

TEST(RandomBlocks, DamagedBlocksAgreeWithTheReference) {
  Random random(2);
  for (int round = 0; round < 1500; ++round) {
    const std::array<int, 256> lengths = RandomCodeLengths(random);
    const Bytes text = RandomText(random, lengths, 1 + random.Below(600));
    Bytes block = BuildBlock(TableFromCodeLengths(lengths), text);
    Damage(random, block);
    if (random.OneIn(2)) Damage(random, block);
    const int32_t capacity = static_cast<int32_t>(text.size()) + random.Below(64) - 8;
    SCOPED_TRACE(round);
    ExpectSameAsReference(FastHuffman, ReferenceDecodeHuffman, block, capacity);
    ExpectSameAsReference(FastCodec, ReferenceDecode, block, capacity);
  }
}

// Headers drawn at random, mostly impossible or malformed tables: the
// carries of the code assignment and the header checks, with negative and
// small positive decoded lengths.
TEST(RandomBlocks, RandomLevelTablesAgreeWithTheReference) {
  Random random(3);
  for (int round = 0; round < 3000; ++round) {
    LevelTable table;
    const int g = random.OneIn(10) ? random.Below(256) : random.Below(9);
    int length = random.Below(random.OneIn(4) ? 30 : 9) + (random.OneIn(2) ? 6 : 0);
    for (int k = 0; k < g; ++k) {
      table.lengths.push_back(std::min(length, 255));
      length += random.OneIn(8) ? random.Below(30) - 2 : random.Below(3);
      if (length < 0) length = 0;
    }
    const int span = 1 << IndexWidth(g);
    const int favoured = random.Below(std::max(g, 1));
    for (int& index : table.levelIndex) index = random.OneIn(3) ? favoured : random.Below(span);
    BitSink sink;
    PutHeader(sink, table);
    for (int i = random.Below(200); i > 0; --i) sink.Put(static_cast<uint32_t>(random.Next()), 8);
    Bytes block;
    PutDecodedLength(block, random.OneIn(2) ? -1 - random.Below(3) : random.Below(60));
    block.insert(block.end(), sink.Bytes().begin(), sink.Bytes().end());
    SCOPED_TRACE(round);
    ExpectSameAsReference(FastHuffman, ReferenceDecodeHuffman, block, 64);
  }
}

TEST(RandomBlocks, RandomBytesAgreeWithTheReference) {
  Random random(4);
  for (int round = 0; round < 3000; ++round) {
    Bytes block(static_cast<size_t>(random.Below(80)));
    for (uint8_t& byte : block) byte = static_cast<uint8_t>(random.Next());
    // Small decoded lengths and level counts make it past the header now
    // and then.
    if (block.size() >= 5 && random.OneIn(2)) {
      block[0] = static_cast<uint8_t>(random.Below(40));
      block[1] = block[2] = block[3] = 0;
      block[4] = static_cast<uint8_t>(random.Below(3));
    }
    const int32_t capacity = random.Below(64);
    SCOPED_TRACE(round);
    ExpectSameAsReference(FastHuffman, ReferenceDecodeHuffman, block, capacity);
    ExpectSameAsReference(FastCodec, ReferenceDecode, block, capacity);
  }
}

// Run-stage inputs from random tokens, now and then damaged.
TEST(RandomBlocks, RunStageAgreesWithTheReference) {
  Random random(5);
  for (int round = 0; round < 4000; ++round) {
    const uint8_t escape = static_cast<uint8_t>(random.Next());
    Bytes input{static_cast<uint8_t>(random.OneIn(8) ? random.Below(3) : 1), escape};
    int32_t produced = 0;
    for (int tokens = random.Below(12); tokens > 0; --tokens) {
      const int kind = random.Below(4);
      if (kind == 0) {
        for (int i = random.Below(20); i > 0; --i) {
          uint8_t literal = static_cast<uint8_t>(random.Next());
          if (literal == escape) literal ^= 1;
          input.push_back(literal);
          ++produced;
        }
      } else if (kind == 1) {
        input.insert(input.end(), {escape, 0xFF});
        ++produced;
      } else {
        const bool longRun = kind == 3;
        const uint8_t token = static_cast<uint8_t>(longRun ? 0x80 + random.Below(0x7F) : random.Below(0x80));
        input.insert(input.end(), {escape, token});
        const int size = longRun ? ((token >> 4) & 7) + 1 : (token >> 4) + 1;
        int count = (token & 0x0F) + 1;
        if (longRun) {
          const int x = random.Below(6);
          input.push_back(static_cast<uint8_t>(x));
          count = 16 + 15 * x + (token & 0x0F);
        }
        for (int i = 0; i < size; ++i) input.push_back(static_cast<uint8_t>(random.Next()));
        produced += size * count;
      }
    }
    if (random.OneIn(4)) {
      if (random.OneIn(2)) {
        input.resize(static_cast<size_t>(1 + random.Below(static_cast<int>(input.size()))));
      } else {
        input[static_cast<size_t>(random.Below(static_cast<int>(input.size())))] = escape;
      }
    }
    const int32_t capacity = random.OneIn(3) ? produced - random.Below(4) : produced + random.Below(40);
    SCOPED_TRACE(round);
    ExpectSameAsReference(FastRuns, ReferenceDecodeRuns, input, capacity, 1);
  }
}

}  // namespace
}  // namespace codec_test
