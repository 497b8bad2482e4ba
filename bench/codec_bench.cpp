// The block codec on blocks of 200,000 bytes cut from files of this machine:
// 32-bit Windows DLLs, texts and images, the content of an installer.
// Decoding is timed beside zlib's inflate of the same blocks compressed at
// level 9 (target: at least twice as fast on every set, in the same run),
// every block's result checked once before the timing. The encoder's coded
// size is set beside zlib -9 and beside the order-0 entropy of the run
// stage's output, which bounds what the Huffman stage can reach, and its
// speed beside deflate -9 (target: at least as fast on every set).
#include <benchmark/benchmark.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "archive/block_codec.h"
#include "archive/huffman_stage.h"
#include "bench/block_round_trip.h"
#include "bench/codec_corpus.h"
#include "packer/block_encoder.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr size_t kBlockBytes = kCorpusBlockBytes;
constexpr int32_t kCapacity = kCorpusCapacity;
constexpr size_t kBufferBytes = kCorpusBufferBytes;

struct Block : CodecBlock {
  double runStageEntropyBits = 0;  // order-0 entropy of the run stage's input, in bits
};

struct Category {
  std::string name;
  std::vector<Block> blocks;
  size_t files = 0;  // how many files the blocks were cut from
};

double Order0EntropyBits(const uint8_t* bytes, size_t size) {
  size_t counts[256] = {};
  for (size_t i = 0; i < size; ++i) ++counts[bytes[i]];
  double bits = 0;
  for (const size_t count : counts) {
    if (count > 0) bits -= static_cast<double>(count) * std::log2(static_cast<double>(count) / static_cast<double>(size));
  }
  return bits;
}

Block WithEntropy(CodecBlock coded) {
  Block block;
  static_cast<CodecBlock&>(block) = std::move(coded);
  // The Huffman stage alone gives back the run stage's input.
  Bytes buffer(kBufferBytes, 0);
  std::copy(block.coded.begin(), block.coded.end(), buffer.begin());
  const int32_t streamBytes = DecodeHuffmanBlock(buffer.data(), static_cast<int32_t>(block.coded.size()), kCapacity);
  if (streamBytes <= 0) {
    std::fprintf(stderr, "codec_bench: the Huffman stage refused an encoded block\n");
    std::exit(1);
  }
  block.runStageEntropyBits = Order0EntropyBits(buffer.data(), static_cast<size_t>(streamBytes));
  return block;
}

// The corpus cut, coded and decoded back once; written to corpusOut, when
// given, for the 32-bit benchmark. Exits when a block decodes wrong.
std::vector<Category> LoadCorpus(const char* corpusOut) {
  std::vector<CorpusSet> sets = CutCorpus();
  if (corpusOut != nullptr && !WriteCorpus(corpusOut, sets)) std::exit(1);
  CodeCorpus(sets);
  if (!CorpusDecodesBack(sets, "codec_bench")) std::exit(1);
  std::vector<Category> corpus;
  for (CorpusSet& set : sets) {
    Category category{set.name, {}, set.files};
    for (CodecBlock& block : set.blocks) category.blocks.push_back(WithEntropy(std::move(block)));
    corpus.push_back(std::move(category));
  }
  return corpus;
}

// Timed alone: LoadCorpus has checked, once, that the same calls give every
// block's data back.
void DecodeBlocks(benchmark::State& state, const Category* category) {
  BlockCodec codec;
  Bytes buffer(kBufferBytes);
  for (auto _ : state) {
    for (const Block& block : category->blocks) {
      int32_t decoded = DecodeInBuffer(codec, buffer, block.coded, kCapacity);
      benchmark::DoNotOptimize(decoded);
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * category->blocks.size() * kBlockBytes));
}

void InflateBlocks(benchmark::State& state, const Category* category) {
  z_stream stream{};
  inflateInit(&stream);
  Bytes output(kBlockBytes);
  for (auto _ : state) {
    for (const Block& block : category->blocks) {
      int result = InflateInto(stream, output, block.deflated);
      benchmark::DoNotOptimize(result);
    }
  }
  inflateEnd(&stream);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * category->blocks.size() * kBlockBytes));
}

// With one scratch for all blocks, as the packer encodes.
void EncodeBlocks(benchmark::State& state, const Category* category) {
  Bytes coded;
  EncoderScratch scratch;
  for (auto _ : state) {
    for (const Block& block : category->blocks) {
      EncodeBlock(block.data, coded, scratch);
      benchmark::DoNotOptimize(coded.data());
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * category->blocks.size() * kBlockBytes));
}

// One stream reset for each block, as the encoder keeps its scratch.
void DeflateBlocks(benchmark::State& state, const Category* category) {
  Bytes output(compressBound(kBlockBytes));
  z_stream stream{};
  deflateInit(&stream, 9);
  for (auto _ : state) {
    for (const Block& block : category->blocks) {
      deflateReset(&stream);
      stream.next_in = const_cast<Bytef*>(block.data.data());
      stream.avail_in = static_cast<uInt>(block.data.size());
      stream.next_out = output.data();
      stream.avail_out = static_cast<uInt>(output.size());
      if (deflate(&stream, Z_FINISH) != Z_STREAM_END) {
        state.SkipWithError("deflate did not finish");
        break;
      }
      benchmark::DoNotOptimize(output.data());
    }
  }
  deflateEnd(&stream);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * category->blocks.size() * kBlockBytes));
}

// Keeps the console output and remembers each benchmark's throughput for
// the summary.
class ThroughputReporter : public benchmark::ConsoleReporter {
 public:
  ThroughputReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const auto rate = run.counters.find("bytes_per_second");
      if (!run.error_occurred && rate != run.counters.end()) megabytesPerSecond[run.benchmark_name()] = rate->second.value / 1e6;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> megabytesPerSecond;
};

void PrintSummary(const std::vector<Category>& corpus, const ThroughputReporter& reporter) {
  auto rate = [&](const std::string& name) {
    const auto found = reporter.megabytesPerSecond.find(name);
    return found == reporter.megabytesPerSecond.end() ? 0.0 : found->second;
  };
  std::printf("\nBlocks of %zu bytes (MB = 10^6 bytes). Sizes as a share of the input; the entropy column is the order-0\n"
              "entropy of the run stage's output, the bound of the Huffman stage; 'vs H0' is the\n"
              "coded block (length field included) over that bound. Decode includes copying the\n"
              "coded block into the buffer, which the in-place decoder needs.\n\n", kBlockBytes);
  std::printf("%-8s %6s %5s %8s %8s %8s %7s | %9s %9s %6s | %9s %9s\n", "set", "blocks", "files", "ours", "zlib-9",
              "entropy", "vs H0", "decode", "inflate", "ratio", "encode", "deflate9");
  std::printf("%-8s %6s %5s %8s %8s %8s %7s | %9s %9s %6s | %9s %9s\n", "", "", "", "", "", "", "", "MB/s",
              "MB/s", "", "MB/s", "MB/s");
  double allInput = 0, allOurs = 0, allZlib = 0, allEntropy = 0;
  for (const Category& category : corpus) {
    double input = 0, ours = 0, zlib = 0, entropy = 0;
    for (const Block& block : category.blocks) {
      input += static_cast<double>(block.data.size());
      ours += static_cast<double>(block.coded.size());
      zlib += static_cast<double>(block.deflated.size());
      entropy += block.runStageEntropyBits / 8;
    }
    allInput += input, allOurs += ours, allZlib += zlib, allEntropy += entropy;
    const double decode = rate("decode/" + category.name), inflate = rate("inflate/" + category.name);
    std::printf("%-8s %6zu %5zu %7.2f%% %7.2f%% %7.2f%% %7.4f | %9.1f %9.1f %6.2f | %9.2f %9.2f\n",
                category.name.c_str(), category.blocks.size(), category.files, 100 * ours / input, 100 * zlib / input, 100 * entropy / input,
                ours / entropy, decode, inflate, inflate > 0 ? decode / inflate : 0.0,
                rate("encode/" + category.name), rate("deflate9/" + category.name));
  }
  const double decode = rate("decode/all"), inflate = rate("inflate/all");
  std::printf("%-8s %6s %5s %7.2f%% %7.2f%% %7.2f%% %7.4f | %9.1f %9.1f %6.2f | %9.2f %9.2f\n", "all", "", "",
              100 * allOurs / allInput, 100 * allZlib / allInput, 100 * allEntropy / allInput, allOurs / allEntropy,
              decode, inflate, inflate > 0 ? decode / inflate : 0.0, rate("encode/all"), rate("deflate9/all"));
  std::printf("\ndecode/inflate, target >= %.2f on every set:", kDecodeTarget);
  bool met = true;
  for (const Category& category : corpus) {
    const double setInflate = rate("inflate/" + category.name);
    const double ratio = setInflate > 0 ? rate("decode/" + category.name) / setInflate : 0.0;
    met = met && ratio >= kDecodeTarget;
    std::printf(" %s %.2f%s", category.name.c_str(), ratio, ratio >= kDecodeTarget ? "" : " (below)");
  }
  std::printf(": %s\n", met ? "met" : "NOT met");
  std::printf("\nEncoder, one thread, beside deflate -9 in this run (target: at least as fast on every set):\n");
  for (const Category& category : corpus) {
    size_t coded = 0;
    for (const Block& block : category.blocks) coded += block.coded.size();
    const double encode = rate("encode/" + category.name), deflate = rate("deflate9/" + category.name);
    std::printf("  %-8s %9zu bytes coded; encode %7.2f MB/s, deflate -9 %7.2f MB/s, ratio %5.2f: %s\n",
                category.name.c_str(), coded, encode, deflate, deflate > 0 ? encode / deflate : 0.0,
                deflate > 0 && encode >= deflate ? "met" : "NOT met");
  }
}

}  // namespace

// --corpus-out=PATH writes the corpus's blocks to PATH for the 32-bit
// benchmark; the other arguments are the benchmark library's.
int main(int argc, char** argv) {
  const char* corpusOut = nullptr;
  constexpr char kCorpusOut[] = "--corpus-out=";
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], kCorpusOut, sizeof kCorpusOut - 1) == 0) {
      corpusOut = argv[i] + sizeof kCorpusOut - 1;
      for (int j = i; j + 1 < argc; ++j) argv[j] = argv[j + 1];
      --argc;
      break;
    }
  }
  std::vector<Category> corpus = LoadCorpus(corpusOut);
  if (corpus.empty()) {
    std::fprintf(stderr, "codec_bench: no files found for the corpus\n");
    return 1;
  }
  Category all{"all", {}, 0};
  for (const Category& category : corpus) all.blocks.insert(all.blocks.end(), category.blocks.begin(), category.blocks.end());

  std::vector<const Category*> sets;
  for (const Category& category : corpus) sets.push_back(&category);
  sets.push_back(&all);
  for (const Category* set : sets) {
    benchmark::RegisterBenchmark(("decode/" + set->name).c_str(), DecodeBlocks, set)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("inflate/" + set->name).c_str(), InflateBlocks, set)->Unit(benchmark::kMillisecond);
  }
  for (const Category* set : sets) {
    benchmark::RegisterBenchmark(("encode/" + set->name).c_str(), EncodeBlocks, set)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("deflate9/" + set->name).c_str(), DeflateBlocks, set)->Unit(benchmark::kMillisecond);
  }

  benchmark::Initialize(&argc, argv);
  ThroughputReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  PrintSummary(corpus, reporter);
  return 0;
}
