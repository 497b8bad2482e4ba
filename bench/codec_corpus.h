// The codec benchmarks' corpus: blocks of 200,000 bytes cut from files of
// this machine (32-bit Windows DLLs, texts, images: the content of an
// installer), each coded by the block encoder and by zlib at level 9. The
// native benchmark cuts it and writes it to a file, from which the 32-bit
// one, under Wine, reads the same blocks.
#pragma once

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr size_t kCorpusBlockBytes = 200000;
// The extractor's capacity and buffer for this block size.
constexpr int32_t kCorpusCapacity = static_cast<int32_t>(kCorpusBlockBytes) + 16;
constexpr size_t kCorpusBufferBytes = kCorpusBlockBytes + 512;
// Decoding at least this many times as fast as inflate, on every set.
constexpr double kDecodeTarget = 2.0;

struct CodecBlock {
  std::vector<uint8_t> data;
  std::vector<uint8_t> coded;     // EncodeBlock's output
  std::vector<uint8_t> deflated;  // zlib level 9
};

struct CorpusSet {
  std::string name;
  size_t files = 0;  // how many files the blocks were cut from
  std::vector<CodecBlock> blocks;
};

// The sets pe_dll, text and image, with the blocks' data only; sets for
// which the machine has no files are left out.
std::vector<CorpusSet> CutCorpus();

// The blocks' data to a file and back; false, with a message on stderr,
// when the file cannot be written or read whole.
bool WriteCorpus(const std::string& path, const std::vector<CorpusSet>& sets);
bool ReadCorpus(const std::string& path, std::vector<CorpusSet>& sets);

// Codes every block of the sets; exits with a message when a coder fails.
void CodeCorpus(std::vector<CorpusSet>& sets);

// One block's deflated bytes inflated into output (reset stream, one call),
// as both benchmarks time it; zlib's result.
int InflateInto(z_stream& stream, std::vector<uint8_t>& output, const std::vector<uint8_t>& deflated);

// Decodes and inflates every block of the coded sets once, as the
// benchmarks time them, and compares each with its data. Meant for once per
// run, outside the timing; false, with a message on stderr naming the
// program, the set and the block, when a block gives other bytes.
bool CorpusDecodesBack(const std::vector<CorpusSet>& sets, const char* program);
