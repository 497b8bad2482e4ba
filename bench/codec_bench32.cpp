// The block codec as the installer runs it: the 32-bit build, under Wine,
// beside zlib's inflate built for the same target, on the native codec
// benchmark's blocks (its --corpus-out file, given as the one argument).
// Each figure is the best of several rounds over a set's blocks (decode and
// inflate taking turns), every block's result checked once before the
// timing; the line at the end holds decode against inflate to the target of
// the native benchmark.
// With --crc FILE it times instead the installer's payload check, the CRC-32
// of the file's bytes, beside zlib's crc32, and prints "<ns> <ours MB/s>
// <zlib MB/s>" for the peer benchmark. With --unpack ADAPTIVE FIXED PACKAGE
// it times the extractor on two archives (the payloads of the adaptive and
// the fixed cut's installers of the folder PACKAGE), writing nowhere, and
// prints "<ns> <ns>": the engine's share of an unpack without the start of
// a process or the file system, whose noise under Wine is larger than the
// difference. Each archive's files are compared with the folder's once,
// before the timing.
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "archive/block_codec.h"
#include "archive/crc32.h"
#include "archive/pack_reader.h"
#include "bench/block_round_trip.h"
#include "bench/codec_corpus.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr int kRounds = 25;

struct Best {
  double decode = 1e9;
  double inflate = 1e9;
};

// The best of kRounds rounds of each pass over the set's blocks, in
// seconds; the two take turns, so that a busy moment of the machine
// spoils a round of each rather than all rounds of one.
template <typename Decode, typename Inflate>
Best BestOf(const CorpusSet& set, Decode decode, Inflate inflate) {
  Best best;
  for (int round = 0; round < kRounds; ++round) {
    double decodeSeconds = 0, inflateSeconds = 0;
    for (const CodecBlock& block : set.blocks) {
      decodeSeconds += decode(block);
      inflateSeconds += inflate(block);
    }
    if (decodeSeconds < best.decode) best.decode = decodeSeconds;
    if (inflateSeconds < best.inflate) best.inflate = inflateSeconds;
  }
  return best;
}

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

bool ReadFile(const char* path, Bytes& bytes) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) {
    std::fprintf(stderr, "codec_bench32: cannot open %s\n", path);
    return false;
  }
  uint8_t chunk[65536];
  for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) bytes.insert(bytes.end(), chunk, chunk + got);
  std::fclose(file);
  return true;
}

// Files that go nowhere: every byte decoded and handed over, none written.
class NoFiles final : public FileSink {
 public:
  FileHandle Create(const char*, int, uint32_t) noexcept override { return 1; }
  int32_t Write(FileHandle, const uint8_t*, int32_t count) noexcept override { return count; }
  void Finish(FileHandle, const char*, const EntryInfo&) noexcept override {}
};

// Files compared, as the extractor hands over their bytes, with the files
// of the package they were packed from (entry NAME with PACKAGE/NAME).
class PackageFiles final : public FileSink {
 public:
  explicit PackageFiles(const char* package) : package_(package) {}
  // The first entry that differs from its file, empty when none has.
  const std::string& differing() const { return differing_; }

  FileHandle Create(const char* path, int nameStart, uint32_t) noexcept override {
    name_ = path + nameStart;
    expected_.clear();
    at_ = 0;
    if (!ReadFile((package_ + "/" + name_).c_str(), expected_)) Differs();  // Windows takes '/' too
    return 1;
  }
  int32_t Write(FileHandle, const uint8_t* bytes, int32_t count) noexcept override {
    const size_t length = static_cast<size_t>(count);
    if (length > expected_.size() - at_ || std::memcmp(bytes, expected_.data() + at_, length) != 0) Differs();
    at_ += std::min(length, expected_.size() - at_);
    return count;
  }
  void Finish(FileHandle, const char*, const EntryInfo&) noexcept override {
    if (at_ != expected_.size()) Differs();
  }

 private:
  void Differs() {
    if (differing_.empty()) differing_ = name_;
  }

  std::string package_;
  std::string name_;
  Bytes expected_;
  size_t at_ = 0;
  std::string differing_;
};

// One untimed extraction of the archive, every file compared with the
// package's; false, with a message, when one differs.
bool UnpacksPackage(const Bytes& archive, const char* path, const char* package) {
  PackageFiles files(package);
  PackReader reader;
  reader.SetFileSink(files);
  UnpackReport report;
  if (reader.ExtractFromMemory(archive.data(), "C:\\unpack", &report) != 1) {
    std::fprintf(stderr, "codec_bench32 --unpack: %s does not unpack\n", path);
    return false;
  }
  if (!files.differing().empty()) {
    std::fprintf(stderr, "codec_bench32 --unpack: %s: %s unpacks to other bytes than %s/%s\n", path,
                 files.differing().c_str(), package, files.differing().c_str());
    return false;
  }
  return true;
}

// The extractor on two archives of the package, taking turns, best of
// kRounds each; each archive's files compared with the package's once,
// before the timing.
int TimeUnpack(const char* adaptivePath, const char* fixedPath, const char* package) {
  Bytes archives[2];
  if (!ReadFile(adaptivePath, archives[0]) || !ReadFile(fixedPath, archives[1])) return 1;
  if (!UnpacksPackage(archives[0], adaptivePath, package) || !UnpacksPackage(archives[1], fixedPath, package)) return 1;
  NoFiles files;
  PackReader reader;
  reader.SetFileSink(files);
  double best[2] = {1e9, 1e9};
  for (int round = 0; round < kRounds; ++round) {
    for (int k = 0; k < 2; ++k) {
      UnpackReport report;
      const Clock::time_point start = Clock::now();
      const int result = reader.ExtractFromMemory(archives[k].data(), "C:\\unpack", &report);
      const double seconds = Since(start);
      if (result != 1) {
        std::fprintf(stderr, "codec_bench32: %s does not unpack\n", k == 0 ? adaptivePath : fixedPath);
        return 1;
      }
      if (seconds < best[k]) best[k] = seconds;
    }
  }
  std::printf("%.0f %.0f\n", best[0] * 1e9, best[1] * 1e9);
  return 0;
}

// The payload check over a file's bytes: best of kRounds, ours and zlib's
// taking turns, the two results compared.
int TimeCrc(const char* path) {
  Bytes bytes;
  if (!ReadFile(path, bytes)) return 1;
  double ours = 1e9, theirs = 1e9;
  for (int round = 0; round < kRounds; ++round) {
    Clock::time_point start = Clock::now();
    const Crc32 crc;  // built as the installer builds it, once per check
    const uint32_t value = crc.Update(0, bytes.data(), bytes.size());
    const double seconds = Since(start);
    start = Clock::now();
    const uint32_t reference = static_cast<uint32_t>(crc32(0, bytes.data(), static_cast<uInt>(bytes.size())));
    const double zlibSeconds = Since(start);
    if (value != reference) {
      std::fprintf(stderr, "codec_bench32: CRC-32 %08x, zlib's %08x\n", value, reference);
      return 1;
    }
    if (seconds < ours) ours = seconds;
    if (zlibSeconds < theirs) theirs = zlibSeconds;
  }
  const double megabytes = static_cast<double>(bytes.size()) / 1e6;
  std::printf("%.0f %.1f %.1f\n", ours * 1e9, megabytes / ours, megabytes / theirs);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--crc") == 0) return TimeCrc(argv[2]);
  if (argc == 5 && std::strcmp(argv[1], "--unpack") == 0) return TimeUnpack(argv[2], argv[3], argv[4]);
  if (argc != 2) {
    std::fprintf(stderr,
                 "usage: codec_bench32 CORPUS_FILE (written by codec_bench --corpus-out=CORPUS_FILE)\n"
                 "       codec_bench32 --crc FILE\n"
                 "       codec_bench32 --unpack ADAPTIVE_ARCHIVE FIXED_ARCHIVE PACKAGE_FOLDER\n");
    return 2;
  }
  std::vector<CorpusSet> sets;
  if (!ReadCorpus(argv[1], sets)) return 1;
  CodeCorpus(sets);
  if (!CorpusDecodesBack(sets, "codec_bench32")) return 1;

  BlockCodec codec;  // one for all blocks, as an extraction keeps one
  Bytes buffer(kCorpusBufferBytes);
  auto decode = [&](const CodecBlock& block) {
    // Copying the coded block in is part of it, as the extractor reads each
    // chunk into its buffer.
    const Clock::time_point start = Clock::now();
    DecodeInBuffer(codec, buffer, block.coded, kCorpusCapacity);
    return Since(start);
  };
  z_stream stream{};
  inflateInit(&stream);
  Bytes output(kCorpusBlockBytes);
  auto inflate = [&](const CodecBlock& block) {
    const Clock::time_point start = Clock::now();
    InflateInto(stream, output, block.deflated);
    return Since(start);
  };

  std::printf("32-bit build under Wine: blocks of %zu bytes, best of %d rounds (MB = 10^6 bytes), zlib %s\n",
              kCorpusBlockBytes, kRounds, zlibVersion());
  std::printf("%-8s %6s %10s %10s %6s\n", "set", "blocks", "decode", "inflate", "ratio");
  std::printf("%-8s %6s %10s %10s %6s\n", "", "", "MB/s", "MB/s", "");
  std::string line;
  bool met = true;
  for (const CorpusSet& set : sets) {
    const Best best = BestOf(set, decode, inflate);
    const double decodeSeconds = best.decode, inflateSeconds = best.inflate;
    const double bytes = static_cast<double>(set.blocks.size() * kCorpusBlockBytes);
    const double ratio = inflateSeconds / decodeSeconds;
    std::printf("%-8s %6zu %10.1f %10.1f %6.2f\n", set.name.c_str(), set.blocks.size(), bytes / decodeSeconds / 1e6,
                bytes / inflateSeconds / 1e6, ratio);
    char part[64];
    std::snprintf(part, sizeof part, " %s %.2f", set.name.c_str(), ratio);
    line += part;
    met = met && ratio >= kDecodeTarget;
  }
  inflateEnd(&stream);
  std::printf("\n32-bit decode/inflate, target >= %.2f on every set:%s: %s\n", kDecodeTarget, line.c_str(),
              met ? "met" : "not met");
  return 0;
}
