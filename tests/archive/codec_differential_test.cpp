// The decoder beside the one it replaced (codec_previous_decoder.h), the
// one reference of the codec's tests, fuzzers and benchmarks: on blocks
// from the packer's encoder and from the test builder, well-formed and
// damaged, on random level tables, random bytes and random run-stage
// tokens, every entry point must return the same, never more than the
// capacity, and leave the same bytes in the whole buffer (the untouched
// rest filled with a pattern), in a buffer exactly as large as the
// contract asks for, so that the asan build catches any access beyond it.
// Large blocks are decoded by several streams at once, so damage goes in
// particular near where those streams start and meet.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "archive/block_codec.h"
#include "archive/huffman_stage.h"
#include "base/little_endian.h"
#include "packer/block_encoder.h"
#include "tests/archive/codec_block_builder.h"
#include "tests/archive/codec_previous_decoder.h"

namespace codec_test {
namespace {

using Bytes = std::vector<uint8_t>;
using DecodeFunction = int32_t (*)(uint8_t*, int32_t, int32_t);

int32_t CurrentHuffman(uint8_t* b, int32_t l, int32_t c) { return DecodeHuffmanBlock(b, l, c); }
// One codec for every call of the program, as an extraction keeps one for
// all its chunks: what it keeps from call to call must change no outcome.
BlockCodec theCodec;
int32_t CurrentCodec(uint8_t* b, int32_t l, int32_t c) { return theCodec.Decode(b, l, c); }
int32_t CurrentRuns(uint8_t* b, int32_t l, int32_t c) { return theCodec.DecodeRuns(b, l, c); }

struct EntryPoint {
  const char* name;
  DecodeFunction current;
  DecodeFunction previous;
};
const EntryPoint kBlockEntries[] = {
    {"DecodeHuffmanBlock", CurrentHuffman, codec_previous::DecodeHuffmanBlock},
    {"BlockCodec::Decode", CurrentCodec, codec_previous::Decode},
};
const EntryPoint kRunEntry{"BlockCodec::DecodeRuns", CurrentRuns, codec_previous::DecodeRuns};

// The buffer that the contract asks for, with a pattern after the input:
// max(length, capacity + 1) bytes for a block, max(n + 1, capacity) for
// the run stage alone (sentinel 1).
Bytes BufferFor(const Bytes& input, int32_t capacity, size_t sentinel) {
  Bytes buffer(input);
  buffer.resize(std::max(input.size() + sentinel, static_cast<size_t>(std::max(capacity, 0)) + 1 - sentinel));
  for (size_t i = input.size(); i < buffer.size(); ++i) buffer[i] = static_cast<uint8_t>(i * 37 + 11);
  return buffer;
}

void ExpectSame(const EntryPoint& entry, const Bytes& input, int32_t capacity, size_t sentinel = 0) {
  Bytes current = BufferFor(input, capacity, sentinel);
  Bytes previous = current;
  const int32_t length = static_cast<int32_t>(input.size());
  const int32_t expected = entry.previous(previous.data(), length, capacity);
  const int32_t result = entry.current(current.data(), length, capacity);
  ASSERT_EQ(expected, result) << entry.name << ", " << input.size() << " bytes, capacity " << capacity;
  if (result > 0) {
    ASSERT_LE(result, capacity) << entry.name;
  }
  ASSERT_TRUE(previous == current) << entry.name << ": other bytes left, result " << expected << ", "
                                   << input.size() << " bytes, capacity " << capacity;
}

void ExpectSameBlock(const Bytes& block, int32_t capacity) {
  for (const EntryPoint& entry : kBlockEntries) ExpectSame(entry, block, capacity);
}

int32_t DecodedLengthOf(const Bytes& block) {
  return LoadInt32(block.data());
}

void PutDecodedLengthAt(Bytes& block, int32_t d) { StoreUint32(block.data(), static_cast<uint32_t>(d)); }

// The block and variants of it, each against both decoders: bit flips
// anywhere and near the streams' starts (a quarter, half and three quarters
// in), cuts, random tails, other decoded lengths, other capacities.
void ExpectSameDamaged(Random& random, const Bytes& block, int variants) {
  const int32_t d = DecodedLengthOf(block);
  ExpectSameBlock(block, d);
  ExpectSameBlock(block, d + 16);
  const int size = static_cast<int>(block.size());
  for (int v = 0; v < variants; ++v) {
    Bytes damaged = block;
    int32_t capacity = d + random.Below(3) * 8;
    const int near = size * (1 + random.Below(3)) / 4 + random.Below(129) - 64;
    switch (random.Below(7)) {
      case 0:
        damaged[static_cast<size_t>(4 + random.Below(size - 4))] ^= static_cast<uint8_t>(1 << random.Below(8));
        break;
      case 1:
        damaged[static_cast<size_t>(std::clamp(near, 4, size - 1))] ^= static_cast<uint8_t>(1 << random.Below(8));
        break;
      case 2:
        damaged.resize(static_cast<size_t>(std::max(4, random.OneIn(2) ? near : size - random.Below(40))));
        break;
      case 3:
        for (int i = std::clamp(near, 4, size); i < size; ++i) damaged[static_cast<size_t>(i)] = static_cast<uint8_t>(random.Next());
        break;
      case 4: {
        // Fewer codes than the stream holds, or more.
        const int32_t other = random.OneIn(2) ? d / (2 + random.Below(3)) : d + 1 + random.Below(200);
        PutDecodedLengthAt(damaged, other);
        capacity = std::max(other, d);
        break;
      }
      case 5:
        damaged[static_cast<size_t>(4 + random.Below(std::min(size - 4, 600)))] = static_cast<uint8_t>(random.Next());
        break;
      default:
        capacity = d - 1 - random.Below(8);
        break;
    }
    SCOPED_TRACE(v);
    ExpectSameBlock(damaged, capacity);
  }
}

Bytes Encoded(const Bytes& data) {
  Bytes block;
  EXPECT_TRUE(EncodeBlock(data, block));
  return block;
}

// Data like the installer's: words and text, machine code with runs of
// zeros and repeats, noise, and a single byte value.
Bytes SampleData(Random& random, int kind, int size) {
  Bytes data;
  const std::string words[] = {"the ", "codec ", "block ", "stream ", "of ", "bytes ", "\r\n", "Kormit ", "1.63 "};
  while (static_cast<int>(data.size()) < size) {
    if (kind == 0) {
      const std::string& word = words[random.Below(9)];
      data.insert(data.end(), word.begin(), word.end());
    } else if (kind == 1) {
      const int what = random.Below(4);
      const int count = 1 + random.Below(40);
      for (int i = 0; i < count; ++i) data.push_back(what == 0 ? 0 : what == 1 ? static_cast<uint8_t>(random.Below(16)) : static_cast<uint8_t>(random.Next()));
    } else if (kind == 2) {
      data.push_back(static_cast<uint8_t>(random.Next()));
    } else {
      data.push_back(0x5A);
    }
  }
  data.resize(static_cast<size_t>(size));
  return data;
}

TEST(DifferentialDecoding, EncodedBlocks) {
  Random random(11);
  for (const int size : {1, 2, 40, 3000, 20000, 45000, 90000}) {
    for (int kind = 0; kind < 4; ++kind) {
      SCOPED_TRACE(testing::Message() << size << " bytes of kind " << kind);
      ExpectSameDamaged(random, Encoded(SampleData(random, kind, size)), size >= 20000 ? 24 : 60);
    }
  }
}

// Random codes of up to 31 bits over random byte values, many levels among
// them, and texts from a few codes to beyond the sizes that several streams
// decode.
TEST(DifferentialDecoding, BuiltBlocksWithLongCodes) {
  Random random(12);
  for (int round = 0; round < 160; ++round) {
    const std::array<int, 256> lengths = RandomCodeLengths(random);
    const int count = round % 8 == 0 ? 20000 + random.Below(50000) : random.Below(2000);
    const Bytes block = BuildBlock(TableFromCodeLengths(lengths), RandomText(random, lengths, count));
    SCOPED_TRACE(round);
    ExpectSameDamaged(random, block, count >= 20000 ? 16 : 6);
  }
}

// 7-bit codes, which take one code per table step, with codes of 8 to 21
// bits among them often (the level walk decodes those of 13 bits and more).
// The code is complete, so that the later streams fall into step rather
// than run into values that are no code.
TEST(DifferentialDecoding, LongCodesAmongOneCodeSteps) {
  Random random(16);
  std::array<int, 256> lengths;
  lengths.fill(-1);
  for (int s = 0; s < 127; ++s) lengths[s] = 7;
  for (int s = 127; s < 141; ++s) lengths[s] = s - 127 + 8;  // 8 .. 21
  lengths[141] = 21;
  const LevelTable table = TableFromCodeLengths(lengths);
  for (const int count : {9000, 40000}) {
    Bytes text;
    for (int i = 0; i < count; ++i) {
      text.push_back(static_cast<uint8_t>(random.OneIn(5) ? 127 + random.Below(15) : random.Below(127)));
    }
    SCOPED_TRACE(count);
    ExpectSameDamaged(random, BuildBlock(table, text), 12);
  }
}

// A code in which a stream that starts 4 bits into an 8-bit code never
// falls into step: 0000 is the one 4-bit code, and the text uses only 8-bit
// codes whose halves are both non-zero. Whether a later stream starts in
// step depends on where the stream splits, so several lengths are tried.
TEST(DifferentialDecoding, StreamsThatNeverFallIntoStep) {
  Random random(13);
  std::array<int, 256> lengths;
  lengths.fill(8);
  lengths[0] = 4;
  lengths[255] = -1;
  for (int s = 241; s < 255; ++s) lengths[s] = -1;  // 1 + 240 / 16 fills the code space
  const LevelTable table = TableFromCodeLengths(lengths);
  const std::array<Code, 256> codes = CanonicalCodes(table);
  std::vector<uint8_t> halvesNonZero;
  for (int s = 1; s < 241; ++s) {
    if ((codes[s].value & 0x0F) != 0 && (codes[s].value & 0xF0) != 0) halvesNonZero.push_back(static_cast<uint8_t>(s));
  }
  for (int count = 30000; count < 30040; count += 3) {
    Bytes text;
    for (int i = 0; i < count; ++i) text.push_back(halvesNonZero[static_cast<size_t>(random.Below(static_cast<int>(halvesNonZero.size())))]);
    SCOPED_TRACE(count);
    ExpectSameDamaged(random, BuildBlock(table, text), 3);
  }
}

// d at the capacity with the stream's last code in the last byte, and the
// run stage's output reaching the capacity.
TEST(DifferentialDecoding, OutputUpToTheCapacity) {
  Random random(14);
  for (const int size : {16384, 40000}) {
    Bytes data = SampleData(random, 1, size);
    const Bytes block = Encoded(data);
    const int32_t d = DecodedLengthOf(block);
    for (const int32_t capacity : {d, size, size + 16}) ExpectSameBlock(block, capacity);
  }
}

// The run stage alone: random tokens, now and then damaged.
TEST(DifferentialDecoding, RunStage) {
  Random random(15);
  for (int round = 0; round < 2000; ++round) {
    const uint8_t escape = static_cast<uint8_t>(random.Next());
    Bytes input{static_cast<uint8_t>(random.OneIn(8) ? random.Below(3) : 1), escape};
    for (int i = random.Below(60); i > 0; --i) {
      input.push_back(random.OneIn(4) ? escape : static_cast<uint8_t>(random.Next()));
    }
    const int32_t capacity = random.Below(3000);
    SCOPED_TRACE(round);
    ExpectSame(kRunEntry, input, capacity, 1);
  }
}

// Random code tables and texts, each block damaged in one of five ways
// at random: flipped bits, cut short, a random tail, another decoded
// length or a damaged header byte.
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
    Bytes out = BufferFor(block, d, 0);
    ASSERT_EQ(d, CurrentHuffman(out.data(), static_cast<int32_t>(block.size()), d)) << "round " << round;
    ASSERT_TRUE(std::equal(text.begin(), text.end(), out.begin())) << "round " << round;
    ExpectSame(kBlockEntries[0], block, d + random.Below(3));
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
    ExpectSame(kBlockEntries[0], block, capacity);
    ExpectSame(kBlockEntries[1], block, capacity);
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
    ExpectSame(kBlockEntries[0], block, 64);
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
    ExpectSame(kBlockEntries[0], block, capacity);
    ExpectSame(kBlockEntries[1], block, capacity);
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
    ExpectSame(kRunEntry, input, capacity, 1);
  }
}

}  // namespace
}  // namespace codec_test
