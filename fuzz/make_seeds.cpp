// Writes small well-formed inputs for every fuzz target into
// <folder>/<target>/: coded blocks of the block encoder, run streams,
// archives that the archive writer packed from sample files, and a few
// assembled by hand around encoder-made chunks (a name with a folder in it,
// a stored block).
#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/block_codec.h"
#include "base/little_endian.h"
#include "packer/archive_writer.h"
#include "packer/block_encoder.h"
#include "packer/run_tokens.h"
#include "pe/payload_resource.h"
#include "tests/archive/extract_archive_builder.h"
#include "tests/pe/synthetic_pe.h"

namespace {

using archive_test::Bytes;

// Words in a fixed pseudo-random order: a block long enough for the fast
// table, with short codes that its entries hold in pairs, also on the exact
// path at the block's end.
std::string MixedText() {
  static const char* const kWords[] = {"the ", "packed ", "file ", "of ", "Setup.exe ",
                                       "block ", "code ", "a ", "and ", "table\n"};
  std::string text;
  for (uint32_t state = 1; text.size() < 1500;) {
    state = state * 1103515245 + 12345;
    text += kWords[(state >> 16) % 10];
  }
  return text;
}

const std::vector<std::string> kSamples = {
    "a", "hello, world", std::string(300, 'x'), "abcabcabcabcabcabcabcabc\n", "\x81\x40\x82\xa0 text",
    std::string(2000, '\0') + "tail", MixedText(),
};

bool WriteSeed(const std::filesystem::path& folder, const std::string& target, int index, const Bytes& bytes) {
  std::filesystem::create_directories(folder / target);
  const std::string path = (folder / target / ("seed-" + std::to_string(index))).string();
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

Bytes Encoded(const std::string& text) {
  Bytes coded;
  EncodeBlock(Bytes(text.begin(), text.end()), coded);
  return coded;
}

// Capacity in the first two bytes, as decode_block and decode_runs read it.
Bytes WithCapacity(int32_t capacity, const Bytes& rest) {
  Bytes bytes;
  AppendUint16(bytes, static_cast<uint16_t>(capacity));
  bytes.insert(bytes.end(), rest.begin(), rest.end());
  return bytes;
}

// The run stage's input for text, checked against the decoder.
Bytes RunInput(const std::string& text) {
  const Bytes data(text.begin(), text.end());
  ByteBits bits;
  bits.fill(8);
  Bytes stream = BuildRunStream(data, ChooseEscapeByte(data), bits);
  Bytes buffer = stream;
  buffer.resize(stream.size() + data.size() + 17);
  BlockCodec codec;
  if (codec.DecodeRuns(buffer.data(), static_cast<int32_t>(stream.size()), static_cast<int32_t>(data.size() + 16)) !=
      static_cast<int32_t>(data.size())) {
    std::fprintf(stderr, "make_seeds: a run stream that does not decode\n");
  }
  return stream;
}

// Archives as the packager makes them: the samples as files, packed by the
// archive writer at the smallest block size, one archive per sample and one
// of them all. The archives go to both archive targets.
bool WriteWriterSeeds(const std::filesystem::path& folder) {
  const std::filesystem::path sources = folder / "sources";
  std::filesystem::create_directories(sources);
  std::filesystem::create_directories(folder / "extract_archive");
  std::filesystem::create_directories(folder / "walk_archive");
  std::string error;
  std::vector<PackSource> all;
  for (size_t i = 0; i < kSamples.size(); ++i) {
    const std::string path = (sources / ("sample" + std::to_string(i) + ".txt")).string();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(kSamples[i].data(), 1, kSamples[i].size(), file) == kSamples[i].size();
    if (std::fclose(file) != 0 || !written) return false;
    PackSource source;
    if (!DescribePackFile(path, source, error)) {
      std::fprintf(stderr, "make_seeds: %s\n", error.c_str());
      return false;
    }
    all.push_back(source);
  }
  std::vector<std::vector<PackSource>> archives;
  for (const PackSource& source : all) archives.push_back({source});
  archives.push_back(all);
  for (size_t n = 0; n < archives.size(); ++n) {
    const std::filesystem::path target = folder / "extract_archive" / ("writer-" + std::to_string(n));
    PackOptions options;
    options.blockSize = 1024;
    options.overwrite = true;
    PackSummary summary;
    if (!WriteArchive(target.string(), archives[n], options, summary, error)) {
      std::fprintf(stderr, "make_seeds: %s\n", error.c_str());
      return false;
    }
    std::filesystem::copy_file(target, folder / "walk_archive" / target.filename(),
                               std::filesystem::copy_options::overwrite_existing);
  }
  return true;
}

// Hand-made installer programs, with and without relocations after the
// resources, and an installer made of one.
bool WritePeSeeds(const std::filesystem::path& folder) {
  const Bytes withRelocations = BuildSyntheticPe().bytes;
  bool ok = WriteSeed(folder, "read_pe", 0, withRelocations);
  ok &= WriteSeed(folder, "read_pe", 1, BuildSyntheticPe(DefaultResources(), false).bytes);
  PayloadStub stub;
  Bytes installer;
  PayloadLocation where;
  std::string error;
  const Bytes payload = {'F', 'I', 'L', 'E', '_', 'P', 'A', 'C', 'K', 'E', 'R'};
  if (!CheckPayloadStub(withRelocations, stub, error) || !AddPayload(stub, payload, {}, installer, where, error)) {
    std::fprintf(stderr, "make_seeds: %s\n", error.c_str());
    return false;
  }
  return ok && WriteSeed(folder, "read_pe", 2, installer);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  bool ok = true;
  int index = 0;
  for (const std::string& text : kSamples) {
    const int32_t capacity = static_cast<int32_t>(text.size() + 16);
    const Bytes data(text.begin(), text.end());
    Bytes stored = {0};
    stored.insert(stored.end(), data.begin(), data.end());
    ok &= WriteSeed(folder, "decode_block", index, WithCapacity(capacity, Encoded(text)));
    ok &= WriteSeed(folder, "decode_runs", 2 * index, WithCapacity(capacity, RunInput(text)));
    ok &= WriteSeed(folder, "decode_runs", 2 * index + 1, WithCapacity(capacity, stored));
    ok &= WriteSeed(folder, "encode_roundtrip", index, data);
    ++index;
  }

  // Archives: one file, several files, a file over several blocks, and one
  // with a folder in its name.
  std::vector<Bytes> archives;
  {
    archive_test::ArchiveBuilder builder(1024);
    builder.Entry("readme.txt", 12).Chunk(Encoded("hello, world")).Length(0);
    archives.push_back(builder.Build());
  }
  {
    archive_test::ArchiveBuilder builder(1024);
    for (size_t i = 0; i < 3; ++i) {
      const std::string& text = kSamples[i];
      builder.Entry("file" + std::to_string(i) + ".dat", static_cast<int32_t>(text.size()))
          .Chunk(Encoded(text))
          .Length(0);
    }
    archives.push_back(builder.Build());
  }
  {
    archive_test::ArchiveBuilder builder(1024);
    const std::string text = kSamples[5];
    builder.Entry("data\\big.bin", static_cast<int32_t>(text.size()));
    for (size_t at = 0; at < text.size(); at += 1024) builder.Chunk(Encoded(text.substr(at, 1024)));
    builder.Length(0);
    archives.push_back(builder.Build());
  }
  {
    archive_test::ArchiveBuilder builder(1024);
    builder.File("stored.txt", "stored block content");
    archives.push_back(builder.Build());
  }
  for (size_t i = 0; i < archives.size(); ++i) {
    ok &= WriteSeed(folder, "extract_archive", static_cast<int>(i), archives[i]);
    ok &= WriteSeed(folder, "walk_archive", static_cast<int>(i), archives[i]);
  }
  ok &= WriteWriterSeeds(folder);
  ok &= WritePeSeeds(folder);
  if (!ok) std::fprintf(stderr, "make_seeds: cannot write into %s\n", argv[1]);
  return ok ? 0 : 1;
}
