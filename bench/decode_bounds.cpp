#include "bench/decode_bounds.h"

#include <time.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "archive/block_codec.h"
#include "base/little_endian.h"
#include "bench/machine_corpus.h"
#include "packer/block_encoder.h"
#include "packer/huffman_writer.h"
#include "packer/level_table.h"
#include "tests/archive/codec_block_builder.h"
#include "tests/archive/codec_previous_decoder.h"

namespace {

using Bytes = std::vector<uint8_t>;
using codec_test::BitSink;
using codec_test::Code;
using codec_test::LevelTable;

// What the extractor passes for 200,000-byte blocks: capacity = block size
// + 16 (also the longest chunk it accepts), a buffer of block size + 512.
constexpr int32_t kBlockSize = 200000;
constexpr int32_t kCapacity = kBlockSize + 16;
constexpr size_t kBufferBytes = kBlockSize + 512;
constexpr int64_t kStreamBits = (int64_t{kCapacity} - 4) * 8;  // after the decoded-length field

constexpr int kRounds = 25;          // the time of a block is the least of these
constexpr double kFewTimes = 5.0;    // flagged above this many times the baseline

constexpr uint8_t kEscape = 0x41;

struct DecodeCase {
  std::string name;
  Bytes block;
  Bytes data;  // for well-formed blocks of real data: what they decode to
};

[[noreturn]] void Abort(const char* what) {
  std::fprintf(stderr, "bounds_bench: %s\n", what);
  std::exit(2);
}

Bytes Assemble(int32_t decodedLength, const BitSink& sink) {
  // Sized once and filled, which also keeps g++ 12's -O3 flow warnings about
  // push_back followed by insert quiet.
  const Bytes& bits = sink.Bytes();
  Bytes block(4 + bits.size());
  StoreUint32(block.data(), static_cast<uint32_t>(decodedLength));
  std::copy(bits.begin(), bits.end(), block.begin() + 4);
  if (block.size() > static_cast<size_t>(kCapacity)) Abort("a hand-built block is longer than a chunk may be");
  return block;
}

// --- Huffman stage -------------------------------------------------------

// Tables whose levels all lie inside the first 11-bit window prefix (value
// 0), so that the start table cannot skip any of them: a code of the last
// level is found only after a comparison with every level. Byte 0 has the
// first code (value 0) for the run stage's stored form.
//
// 255 levels (the most there can be), each holding codes: level 0 byte 0
// (firstLength bits), level k byte k, the last level bytes 254 and 255
// (otherLength bits).
LevelTable DeepTable(int firstLength, int otherLength) {
  LevelTable table;
  table.lengths.assign(255, otherLength);
  table.lengths[0] = firstLength;
  for (int s = 0; s < 256; ++s) table.levelIndex[s] = std::min(s, 254);
  return table;
}

// 20 levels of the lengths 12 to 31, every one different: level k holds
// byte k alone; bytes 20 to 255 have no code.
LevelTable DistinctLengthsTable() {
  LevelTable table;
  for (int length = 12; length <= 31; ++length) table.lengths.push_back(length);
  const int levels = static_cast<int>(table.lengths.size());
  for (int s = 0; s < 256; ++s) table.levelIndex[s] = s < levels ? s : (1 << codec_test::IndexWidth(levels)) - 1;
  return table;
}

enum class Symbols { kLastLevel, kRandom };
enum class Ending { kWellFormed, kCodePastLastLevel, kBitsRunOut };

// Byte 0 (the run stage's stored form), then as many codes as a chunk can
// hold: the last code of the last level every time (the longest search), or
// any other coded byte at random (a search that ends somewhere else each
// time). Malformed endings: the value after the last code, which names no
// byte, or one code fewer than the decoded length announces.
Bytes DeepBlock(const LevelTable& table, Symbols symbols, Ending ending) {
  const std::array<Code, 256> codes = codec_test::CanonicalCodes(table);
  std::vector<int> coded;
  for (int s = 1; s < 256; ++s) {
    if (table.levelIndex[s] < static_cast<int>(table.lengths.size())) coded.push_back(s);
  }
  const Code last = codes[static_cast<size_t>(coded.back())];
  BitSink sink;
  codec_test::PutHeader(sink, table);
  sink.Put(codes[0].value, codes[0].length);
  int32_t decoded = 1;
  std::mt19937 random(5);
  for (;;) {
    const Code code = symbols == Symbols::kLastLevel ? last : codes[static_cast<size_t>(coded[random() % coded.size()])];
    if (sink.BitCount() + static_cast<size_t>(code.length) > static_cast<size_t>(kStreamBits)) break;
    const bool final = sink.BitCount() + static_cast<size_t>(code.length) + static_cast<size_t>(last.length) >
                       static_cast<size_t>(kStreamBits);
    sink.Put(final && ending == Ending::kCodePastLastLevel ? last.value + 1 : code.value, code.length);
    ++decoded;
  }
  return Assemble(ending == Ending::kBitsRunOut ? decoded + 1 : decoded, sink);
}

// g = 2, L = 1 and 9: byte 0 has the 1-bit code 0, every other byte a 9-bit
// code; the stream is all zero bits, one output byte per
// input bit, up to the capacity.
Bytes OneBitBlock() {
  LevelTable table;
  table.lengths = {1, 9};
  table.levelIndex.fill(1);
  table.levelIndex[0] = 0;
  BitSink sink;
  codec_test::PutHeader(sink, table);
  for (int32_t i = 0; i < kCapacity; ++i) sink.Put(0, 1);
  return Assemble(kCapacity, sink);
}

// g = 3, L = 0, 0, 0, byte 1 alone on the last level: its code has no bits,
// so the block is a header only, and the Huffman stage writes `decoded`
// bytes 01. The run stage then reads form 1, escape 01 and tokens 01 01 01:
// a short run of the byte 01, twice, per three bytes.
Bytes ZeroBitBlock(int32_t decoded) {
  LevelTable table;
  table.lengths = {0, 0, 0};
  table.levelIndex.fill(3);
  table.levelIndex[1] = 2;
  BitSink sink;
  codec_test::PutHeader(sink, table);
  return Assemble(decoded, sink);
}

// A complete code of the typical shape (levels of 6, 8, 9 and 11 bits with
// 40, 60, 44 and 112 byte values: the code space is used up exactly), so
// that random bits always decode; then random bits up to the longest chunk.
Bytes RandomCodesBlock(uint8_t firstByte, uint32_t seed) {
  LevelTable table;
  table.lengths = {6, 8, 9, 11};
  for (int s = 0; s < 256; ++s) table.levelIndex[s] = s < 40 ? 0 : s < 100 ? 1 : s < 144 ? 2 : 3;
  const std::array<Code, 256> codes = codec_test::CanonicalCodes(table);
  BitSink sink;
  codec_test::PutHeader(sink, table);
  sink.Put(codes[firstByte].value, codes[firstByte].length);
  std::mt19937 random(seed);
  while (sink.BitCount() + 8 <= static_cast<size_t>(kStreamBits)) sink.Put(random() & 0xFF, 8);
  return Assemble(kCapacity, sink);
}

Bytes RandomBlock(uint32_t seed) {
  std::mt19937 random(seed);
  BitSink sink;
  while (sink.BitCount() < static_cast<size_t>(kStreamBits)) sink.Put(random() & 0xFF, 8);
  return Assemble(kCapacity, sink);
}

// --- Run stage -----------------------------------------------------------

// The run stage's input coded by the packer's table choice and writer, so
// that the Huffman stage costs what it costs in a real block.
Bytes StreamBlock(const Bytes& stream) {
  ByteCounts counts{};
  for (uint8_t byte : stream) ++counts[byte];
  Bytes block;
  WriteHuffmanBlock(ChooseHuffmanTable(counts), stream, block);
  if (block.size() > static_cast<size_t>(kCapacity)) Abort("a run stream codes longer than a chunk may be");
  return block;
}

Bytes RunFormStream() { return {1, kEscape}; }

void Append(Bytes& stream, std::initializer_list<uint8_t> token, size_t times) {
  for (size_t i = 0; i < times; ++i) stream.insert(stream.end(), token);
}

// A long run: N = 16 + 15 x + the token's low nibble, pattern of P bytes.
void PutLongRun(Bytes& stream, int patternLength, int repeats, uint8_t fill) {
  const int x = std::min(255, (repeats - 16) / 15);
  const int low = repeats - 16 - 15 * x;
  stream.push_back(kEscape);
  stream.push_back(static_cast<uint8_t>(0x80 | (patternLength - 1) << 4 | low));
  stream.push_back(static_cast<uint8_t>(x));
  for (int i = 0; i < patternLength; ++i) stream.push_back(static_cast<uint8_t>(fill + i));
}

// The longest runs (8-byte pattern 3,855 times), then single-byte runs up
// to the capacity exactly.
Bytes LongestRunsStream() {
  Bytes stream = RunFormStream();
  int32_t output = 0;
  while (kCapacity - output >= 8 * 3855) {
    PutLongRun(stream, 8, 3855, 'a');
    output += 8 * 3855;
  }
  while (output < kCapacity) {
    const int repeats = std::min(3856, kCapacity - output);
    PutLongRun(stream, 1, repeats, 'z');
    output += repeats;
  }
  return stream;
}

std::vector<DecodeCase> BuildCases() {
  std::vector<DecodeCase> cases;
  auto wellFormed = [&](const char* name, Bytes data) {
    Bytes block;
    if (!EncodeBlock(data, block)) Abort("EncodeBlock refused a block");
    cases.push_back({name, std::move(block), std::move(data)});
  };
  wellFormed("baseline: 32-bit DLLs, encoded", BinaryBytes(kBlockSize));
  wellFormed("texts, encoded", TextBytes(kBlockSize));
  Bytes noise(kBlockSize);
  std::mt19937 random(7);
  for (uint8_t& byte : noise) byte = static_cast<uint8_t>(random());
  wellFormed("random bytes, encoded", std::move(noise));

  const LevelTable deep19 = DeepTable(19, 19);
  const LevelTable deep31 = DeepTable(25, 31);
  cases.push_back({"255 levels, last level's 19-bit code", DeepBlock(deep19, Symbols::kLastLevel, Ending::kWellFormed), {}});
  cases.push_back({"255 levels, random 19-bit codes", DeepBlock(deep19, Symbols::kRandom, Ending::kWellFormed), {}});
  cases.push_back({"255 levels, last level's 31-bit code", DeepBlock(deep31, Symbols::kLastLevel, Ending::kWellFormed), {}});
  const LevelTable distinct = DistinctLengthsTable();
  cases.push_back({"20 lengths 12..31, last level's code", DeepBlock(distinct, Symbols::kLastLevel, Ending::kWellFormed), {}});
  cases.push_back({"20 lengths 12..31, random codes", DeepBlock(distinct, Symbols::kRandom, Ending::kWellFormed), {}});
  cases.push_back({"1-bit codes to the capacity", OneBitBlock(), {}});
  cases.push_back({"0-bit code: 66,671 runs 01 01 01", ZeroBitBlock(kCapacity - 1), {}});

  Bytes escapes = RunFormStream();
  Append(escapes, {kEscape, 0xFF}, (kCapacity - 2) / 2);
  cases.push_back({"100,007 escaped escapes", StreamBlock(escapes), {}});
  Bytes alternating = RunFormStream();
  Append(alternating, {'a', kEscape, 0xFF}, (kCapacity - 2) / 3);
  cases.push_back({"literal, escape, literal, ...", StreamBlock(alternating), {}});
  Bytes tinyRuns = RunFormStream();
  Append(tinyRuns, {kEscape, 0x00, 'b'}, (kCapacity - 2) / 3);
  cases.push_back({"66,671 runs of 1 byte once", StreamBlock(tinyRuns), {}});
  Bytes patterns = RunFormStream();
  Append(patterns, {kEscape, 0x70, 1, 2, 3, 4, 5, 6, 7, 8}, (kCapacity - 2) / 10);
  cases.push_back({"20,001 runs of 8 bytes once", StreamBlock(patterns), {}});
  cases.push_back({"longest runs to the capacity", StreamBlock(LongestRunsStream()), {}});

  cases.push_back({"bad: 255 levels, last code names none", DeepBlock(deep19, Symbols::kLastLevel, Ending::kCodePastLastLevel), {}});
  cases.push_back({"bad: 255 levels, bits run out at end", DeepBlock(deep19, Symbols::kLastLevel, Ending::kBitsRunOut), {}});
  cases.push_back({"bad: 0-bit runs, last token cut off", ZeroBitBlock(kCapacity), {}});
  Bytes cutOff = alternating;
  cutOff.push_back(kEscape);
  cases.push_back({"bad: literal/escape, last token cut", StreamBlock(cutOff), {}});
  Bytes pastCapacity = LongestRunsStream();
  pastCapacity.push_back('y');
  cases.push_back({"bad: longest runs, then 1 literal", StreamBlock(pastCapacity), {}});

  cases.push_back({"garbage after d = capacity", RandomBlock(11), {}});
  cases.push_back({"complete code, random bits, form 0", RandomCodesBlock(0, 12), {}});
  cases.push_back({"complete code, random bits, form 1", RandomCodesBlock(1, 13), {}});
  return cases;
}

// --- Timing --------------------------------------------------------------

struct Expected {
  int32_t result;
  Bytes output;
};

// The expected answer, from the reference decoder that the tests hold the
// current one to (the one it replaced).
Expected ReferenceResult(const Bytes& block) {
  Bytes buffer(kBufferBytes, 0);
  std::copy(block.begin(), block.end(), buffer.begin());
  const int32_t result = codec_previous::Decode(buffer.data(), static_cast<int32_t>(block.size()), kCapacity);
  return {result, result > 0 ? Bytes(buffer.begin(), buffer.begin() + result) : Bytes{}};
}

// The monotonic clock in seconds. Not <chrono>: its unit suffixes do not
// convert to the code page that this project's literals are compiled to.
double Now() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

struct Timing {
  Expected expected;
  bool correct = true;
  int32_t result = 0;
  double seconds = 1e9;  // least of kRounds
};

// One timed decode of the block into the buffer, which it leaves there.
void TimeOnce(const DecodeCase& c, BlockCodec& codec, Bytes& buffer, Timing& timing) {
  std::memcpy(buffer.data(), c.block.data(), c.block.size());
  const double start = Now();
  timing.result = codec.Decode(buffer.data(), static_cast<int32_t>(c.block.size()), kCapacity);
  timing.seconds = std::min(timing.seconds, Now() - start);
}

// Whether the decode just timed gave the reference decoder's answer.
bool GaveExpected(const Bytes& buffer, const Timing& timing) {
  const Expected& expected = timing.expected;
  return timing.result == expected.result &&
         (timing.result <= 0 ||
          std::memcmp(buffer.data(), expected.output.data(), static_cast<size_t>(timing.result)) == 0);
}

// Every case once per round, so that a busy moment of the machine cannot
// spoil all the runs of one case; the first round's results checked, outside
// the timing.
std::vector<Timing> TimeCases(const std::vector<DecodeCase>& cases) {
  std::vector<Timing> timings(cases.size());
  for (size_t i = 0; i < cases.size(); ++i) {
    const DecodeCase& c = cases[i];
    timings[i].expected = ReferenceResult(c.block);
    const Expected& expected = timings[i].expected;
    timings[i].correct = c.data.empty() || (expected.result == static_cast<int32_t>(c.data.size()) && expected.output == c.data);
  }
  BlockCodec codec;
  Bytes buffer(kBufferBytes, 0);
  for (int round = 0; round < kRounds; ++round) {
    for (size_t i = 0; i < cases.size(); ++i) {
      TimeOnce(cases[i], codec, buffer, timings[i]);
      if (round == 0) timings[i].correct = timings[i].correct && GaveExpected(buffer, timings[i]);
    }
  }
  return timings;
}

int32_t DecodedLengthField(const Bytes& block) {
  int32_t d = 0;
  if (block.size() >= 4) d = LoadInt32(block.data());
  return d;
}

}  // namespace

bool RunDecodeBounds() {
  const std::vector<DecodeCase> cases = BuildCases();
  std::printf("\nBlockCodec::Decode of one block, capacity %d (block size %d + 16), buffer %zu bytes; time = least\n"
              "of %d runs, taken in rounds over all blocks, the copy into the buffer not included. Bound: no\n"
              "block takes more than a few times the baseline (flagged above %.0fx). d: the block's decoded-length\n"
              "field (the Huffman stage's output); result: Decode's (the bytes it leaves, or 0 / -1 for a refused\n"
              "block), checked against the reference decoder of the tests.\n\n",
              kCapacity, kBlockSize, kBufferBytes, kRounds, kFewTimes);
  std::printf("%-40s %8s %8s %8s %10s %8s %8s\n", "block", "input", "d", "result", "us/block", "ns/byte", "ratio");
  const std::vector<Timing> timings = TimeCases(cases);
  const double baseline = timings.front().seconds;
  bool allCorrect = true;
  for (size_t i = 0; i < cases.size(); ++i) {
    const DecodeCase& c = cases[i];
    const Timing& t = timings[i];
    allCorrect = allCorrect && t.correct;
    const int32_t d = DecodedLengthField(c.block);
    const double ratio = t.seconds / baseline;
    const int32_t produced = std::max({d, t.result, 1});
    std::printf("%-40s %8zu %8d %8d %10.1f %8.2f %7.2fx%s%s\n", c.name.c_str(), c.block.size(), d, t.result,
                t.seconds * 1e6, t.seconds * 1e9 / produced, ratio, ratio > kFewTimes ? "  OVER" : "",
                t.correct ? "" : "  WRONG RESULT");
  }
  std::printf("\nns/byte: time per byte of the larger of d and the result. OVER marks a block above %.0fx the baseline.\n", kFewTimes);
  return allCorrect;
}
