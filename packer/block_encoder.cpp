#include "packer/block_encoder.h"

#include <algorithm>

#include "archive/block_format.h"
#include "packer/huffman_writer.h"
#include "packer/level_table.h"
#include "packer/run_tokens.h"

namespace {

// Parse and code lengths depend on each other: each parse is priced with
// the code of the previous one. A second round pays where the first one's
// prices were far off, mostly where runs took away a large share of the
// bytes; a third one changes next to nothing.
constexpr int kParseRounds = 2;

// Another round is parsed only when the new code prices the stream's bytes
// differently from the prices the stream was parsed with by at least
// 1/kRepriceShare of its bits. Below that a round gains less than 0.01 % of
// a block, at the cost of a whole parse.
constexpr uint64_t kRepriceShare = 100;

// A stream for the Huffman stage (one of the scratch's) with the table that
// codes it best.
struct CodedStream {
  int buffer = 0;
  ByteCounts counts{};
  HuffmanTable table;
  uint64_t bits = 0;
};

CodedStream CodeStream(const std::vector<uint8_t>& stream, int buffer) {
  CodedStream coded;
  coded.buffer = buffer;
  for (const uint8_t byte : stream) ++coded.counts[byte];
  coded.table = ChooseHuffmanTable(coded.counts);
  coded.bits = CodedBits(coded.table, coded.counts);
  return coded;
}

// What each byte would cost under this table. A byte value without a code
// would need one: priced at one bit beyond the longest code.
ByteBits BitsUnder(const HuffmanTable& table) {
  const uint8_t longest = *std::max_element(table.codeLength.begin(), table.codeLength.end());
  ByteBits bits{};
  for (int s = 0; s < 256; ++s) {
    bits[s] = table.codeLength[s] != 0 ? table.codeLength[s] : longest + 1u;
  }
  return bits;
}

// Whether prices `after` would price the stream's bytes differently enough
// from `before` for another parse to be worth its time.
bool WorthReparsing(const ByteCounts& counts, const ByteBits& before, const ByteBits& after) {
  uint64_t moved = 0, total = 0;
  for (int s = 0; s < 256; ++s) {
    moved += counts[s] * (after[s] > before[s] ? after[s] - before[s] : before[s] - after[s]);
    total += counts[s] * after[s];
  }
  return moved * kRepriceShare >= total;
}

}  // namespace

bool EncodeBlock(std::span<const uint8_t> data, std::vector<uint8_t>& out) {
  EncoderScratch scratch;
  return EncodeBlock(data, out, scratch);
}

bool EncodeBlock(std::span<const uint8_t> data, std::vector<uint8_t>& out, EncoderScratch& scratch) {
  out.clear();
  if (data.empty() || data.size() > kMaxBlockBytes) return false;

  std::vector<uint8_t>& stored = scratch.streams[0];
  stored.clear();
  stored.reserve(data.size() + 1);
  stored.push_back(block_format::kStoredForm);
  stored.insert(stored.end(), data.begin(), data.end());
  CodedStream best = CodeStream(stored, 0);

  // First prices: the bytes as the stored form codes them; bytes that the
  // data lacks (escape, token and count bytes, mostly) at a neutral 8 bits.
  ByteBits bits = BitsUnder(best.table);
  for (int s = 0; s < 256; ++s) {
    if (best.counts[s] - (s == 0 ? 1 : 0) == 0) bits[s] = 8;
  }
  const uint8_t escape = ChooseEscapeByte(data);
  bits[escape] = 8;

  // The run stage's input must fit the decoder's capacity (block size + 16).
  const size_t longestRunStream = data.size() + 16;
  uint64_t previousBits = UINT64_MAX;
  for (int round = 0; round < kParseRounds; ++round) {
    const int candidate = 1 - best.buffer;
    std::vector<uint8_t>& stream = scratch.streams[candidate];
    BuildRunStream(data, escape, bits, scratch.parse, stream);
    if (stream.size() > longestRunStream) break;
    CodedStream runs = CodeStream(stream, candidate);
    if (runs.bits >= previousBits) break;
    previousBits = runs.bits;
    const ByteBits parsedWith = bits;
    bits = BitsUnder(runs.table);
    const bool reparse = WorthReparsing(runs.counts, parsedWith, bits);
    if (runs.bits < best.bits) best = runs;
    if (!reparse) break;
  }

  WriteHuffmanBlock(best.table, scratch.streams[best.buffer], out);
  return true;
}
