#include "bench/extraction_peaks.h"

#include <stdlib.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "archive/archive_format.h"
#include "archive/huffman_stage.h"
#include "archive/pack_reader.h"
#include "base/little_endian.h"
#include "bench/heap_counter.h"
#include "bench/machine_corpus.h"
#include "packer/block_encoder.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// How the extractor and the codec size their heap buffers:
//   chunk buffer (pack_reader.cpp)   block size + 512, for the whole extraction
//   room (block_codec.cpp)           once, at the first chunk, kept to the
//                                    end: the larger of the Huffman stage's
//                                    room for the capacity (HuffmanRoomFor:
//                                    about twice it where several streams
//                                    decode) and twice the capacity + 17 (the
//                                    Huffman stage's output, the sentinel and
//                                    the run stage's output)
// The expected peak and the bound beside it are both the chunk buffer plus
// that room.
constexpr int64_t kChunkBufferSlack = archive_format::kBufferSlack;
constexpr int64_t kCapacitySlack = archive_format::kChunkSlack;

constexpr int32_t kLargestBlock = archive_format::kMaxBlockSize;

struct CodedPiece {
  Bytes coded;
  bool runForm = false;  // the run stage will take a scratch buffer
};

struct ExpectedFile {
  std::string name;
  Bytes content;
};

int64_t RoomFor(int32_t capacity) {
  return std::max(static_cast<int64_t>(HuffmanRoomFor(capacity)), 2 * int64_t{capacity} + 17);
}

struct PeakCase {
  std::string title;
  int32_t blockSize = 0;
  Bytes archive;
  std::vector<ExpectedFile> files;
  int64_t chunks = 0;
  int64_t runFormChunks = 0;
  int32_t longestChunk = 0;
  int64_t room = 0;  // the codec's room, taken at the first chunk

  int32_t Capacity() const { return blockSize + static_cast<int32_t>(kCapacitySlack); }
  int64_t ChunkBuffer() const { return blockSize + kChunkBufferSlack; }
  int64_t ExpectedPeak() const { return ChunkBuffer() + room; }
  int64_t SumBound() const { return ChunkBuffer() + RoomFor(Capacity()); }
};

[[noreturn]] void Abort(const char* what) {
  std::fprintf(stderr, "bounds_bench: %s\n", what);
  std::exit(2);
}

CodedPiece Encode(std::span<const uint8_t> piece) {
  CodedPiece result;
  if (!EncodeBlock(piece, result.coded)) Abort("EncodeBlock refused a piece");
  // The Huffman stage alone shows the run stage's form byte.
  const int32_t capacity = static_cast<int32_t>(piece.size()) + static_cast<int32_t>(kCapacitySlack);
  Bytes buffer(std::max(result.coded.size(), static_cast<size_t>(capacity)) + 1);
  std::copy(result.coded.begin(), result.coded.end(), buffer.begin());
  if (DecodeHuffmanBlock(buffer.data(), static_cast<int32_t>(result.coded.size()), capacity) <= 0) {
    Abort("the Huffman stage refused an encoded piece");
  }
  result.runForm = buffer[0] == 1;
  return result;
}

void PutInt32(Bytes& bytes, int32_t value) { AppendUint32(bytes, static_cast<uint32_t>(value)); }

// Assembles one case's archive (plain, every entry with the same times and
// the archive attribute) and keeps what its extraction must give.
class CaseBuilder {
 public:
  CaseBuilder(std::string title, int32_t blockSize) {
    case_.title = std::move(title);
    case_.blockSize = blockSize;
  }

  // A well-formed file: pieces of exactly the block size, the last shorter.
  void File(const std::string& name, const Bytes& content) {
    Begin(name, content);
    const size_t piece = static_cast<size_t>(case_.blockSize);
    for (size_t at = 0; at < content.size(); at += piece) {
      Chunk(Encode(std::span(content).subspan(at, std::min(piece, content.size() - at))));
    }
    End();
  }

  // Name length, name, unpacked size and info record; the chunks follow.
  void Begin(const std::string& name, const Bytes& content) {
    body_.push_back(static_cast<uint8_t>(name.size()));
    body_.insert(body_.end(), name.begin(), name.end());
    PutInt32(body_, static_cast<int32_t>(content.size()));
    PutInt32(body_, 0x20);  // archive attribute
    for (int time = 0; time < 3; ++time) {
      PutInt32(body_, static_cast<int32_t>(0xFCE05F70u));  // 2004-06-18 00:41:26 UTC
      PutInt32(body_, 0x01C454CC);
    }
    case_.files.push_back({name, content});
  }
  void Chunk(const CodedPiece& piece) {
    PutInt32(body_, static_cast<int32_t>(piece.coded.size()));
    body_.insert(body_.end(), piece.coded.begin(), piece.coded.end());
    ++case_.chunks;
    if (piece.runForm) ++case_.runFormChunks;
    case_.longestChunk = std::max(case_.longestChunk, static_cast<int32_t>(piece.coded.size()));
    case_.room = RoomFor(case_.Capacity());
  }
  void End() { PutInt32(body_, 0); }

  // Header, block size, the entries and the end-of-list marker.
  PeakCase Build() {
    Bytes& archive = case_.archive;
    const char magic[] = "FILE_PACKER 1.00/***";
    archive.insert(archive.end(), magic, magic + 20);
    PutInt32(archive, static_cast<int32_t>(8 + 4 + body_.size() + 1));
    const char signature[] = "QVL-2000";
    archive.insert(archive.end(), signature, signature + 8);
    PutInt32(archive, case_.blockSize);
    archive.insert(archive.end(), body_.begin(), body_.end());
    archive.push_back(0);
    return std::move(case_);
  }

 private:
  Bytes body_;
  PeakCase case_;
};

Bytes Slice(const Bytes& pool, size_t at, size_t count) {
  at %= pool.size() - count;
  return Bytes(pool.begin() + static_cast<std::ptrdiff_t>(at), pool.begin() + static_cast<std::ptrdiff_t>(at + count));
}

std::vector<PeakCase> BuildCases() {
  std::vector<PeakCase> cases;

  // Loads the CP932 converter of the POSIX file layer once, so that the
  // cases after it show the steady state.
  CaseBuilder warmUp("first extraction, 1 KiB blocks", 1024);
  warmUp.File("warm-up.txt", TextBytes(3000));
  cases.push_back(warmUp.Build());

  const Bytes large = BinaryBytes(3 * static_cast<size_t>(kLargestBlock) + 1500000);
  CaseBuilder blocks("(a) 1 file, 3 full blocks + 1 partial", kLargestBlock);
  blocks.File("large.dll", large);
  cases.push_back(blocks.Build());

  const Bytes pool = BinaryBytes(1 << 21);
  CaseBuilder manyFiles("(b) 10,000 small files", kLargestBlock);
  for (int i = 0; i < 10000; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "file%05d.bin", i);
    manyFiles.File(name, Slice(pool, static_cast<size_t>(i) * 104729, 1 + static_cast<size_t>(i) * 7919 % 2000));
  }
  cases.push_back(manyFiles.Build());

  // Pieces of 8 to 64 real bytes, every other one with a run of 32 bytes so
  // that the run stage (and its scratch buffer) takes part; 997 distinct
  // pieces, coded once each and repeated.
  constexpr int kDistinctPieces = 997;
  constexpr int kChunkCount = 100000;
  std::vector<Bytes> pieces;
  std::vector<CodedPiece> coded;
  for (int j = 0; j < kDistinctPieces; ++j) {
    Bytes piece = Slice(pool, static_cast<size_t>(j) * 4099, 8 + static_cast<size_t>(j) % 57);
    if (j % 2 == 1) piece.insert(piece.end(), 32, static_cast<uint8_t>('x'));
    coded.push_back(Encode(piece));
    pieces.push_back(std::move(piece));
  }
  Bytes content;
  for (int i = 0; i < kChunkCount; ++i) {
    const Bytes& piece = pieces[static_cast<size_t>(i % kDistinctPieces)];
    content.insert(content.end(), piece.begin(), piece.end());
  }
  CaseBuilder manyChunks("(c) 1 file of 100,000 small chunks", kLargestBlock);
  manyChunks.Begin("chunks.bin", content);
  for (int i = 0; i < kChunkCount; ++i) manyChunks.Chunk(coded[static_cast<size_t>(i % kDistinctPieces)]);
  manyChunks.End();
  cases.push_back(manyChunks.Build());

  CaseBuilder smallBlocks("(d) file (a) at 200,000-byte blocks", 200000);
  smallBlocks.File("large.dll", large);
  cases.push_back(smallBlocks.Build());
  return cases;
}

// Resident set figures of /proc/self/status, in KiB; -1 when not there.
int64_t StatusKilobytes(const char* field) {
  FILE* status = std::fopen("/proc/self/status", "r");
  if (status == nullptr) return -1;
  char line[256];
  int64_t value = -1;
  const size_t length = std::strlen(field);
  while (std::fgets(line, sizeof line, status) != nullptr) {
    if (std::strncmp(line, field, length) == 0 && line[length] == ':') {
      value = std::strtoll(line + length + 1, nullptr, 10);
      break;
    }
  }
  std::fclose(status);
  return value;
}

// Makes the resident peak (VmHWM) the current resident size.
void ResetResidentPeak() {
  if (FILE* refs = std::fopen("/proc/self/clear_refs", "w")) {
    std::fputs("5", refs);
    std::fclose(refs);
  }
}

struct PeakResult {
  bool correct = false;
  HeapUsage before;
  HeapUsage after;
  int64_t residentBefore = -1;  // KiB
  int64_t residentPeak = -1;    // KiB
  long maxResident = 0;         // getrusage, KiB
};

bool SameContent(const fs::path& path, const Bytes& expected) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  const Bytes actual{std::istreambuf_iterator<char>(in), {}};
  return actual == expected;
}

bool Verify(const PeakCase& c, const fs::path& folder, int extracted, const UnpackReport& report) {
  if (extracted != 1) {
    std::fprintf(stderr, "bounds_bench: %s: extraction failed (%s)\n", c.title.c_str(), report.message);
    return false;
  }
  if (report.fileCount != static_cast<int32_t>(c.files.size())) {
    std::fprintf(stderr, "bounds_bench: %s: %d files reported, %zu expected\n", c.title.c_str(), report.fileCount, c.files.size());
    return false;
  }
  const auto onDisk = std::distance(fs::directory_iterator(folder), fs::directory_iterator());
  if (onDisk != static_cast<std::ptrdiff_t>(c.files.size())) {
    std::fprintf(stderr, "bounds_bench: %s: %td files on disk\n", c.title.c_str(), onDisk);
    return false;
  }
  for (const ExpectedFile& file : c.files) {
    if (!SameContent(folder / file.name, file.content)) {
      std::fprintf(stderr, "bounds_bench: %s: %s differs\n", c.title.c_str(), file.name.c_str());
      return false;
    }
  }
  return true;
}

PeakResult Measure(const PeakCase& c) {
  std::string folder = (fs::temp_directory_path() / "kormit-bounds-XXXXXX").string();
  if (mkdtemp(folder.data()) == nullptr) Abort("cannot make a temporary folder");

  PeakResult result;
  PackReader reader;
  UnpackReport report;
  ResetResidentPeak();
  result.residentBefore = StatusKilobytes("VmRSS");
  ResetHeapPeaks();
  result.before = CurrentHeapUsage();
  const int extracted = reader.ExtractFromMemory(c.archive.data(), folder.c_str(), &report);
  result.after = CurrentHeapUsage();
  result.residentPeak = StatusKilobytes("VmHWM");
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  result.maxResident = usage.ru_maxrss;

  result.correct = Verify(c, folder, extracted, report);
  std::error_code error;
  fs::remove_all(folder, error);
  return result;
}

}  // namespace

bool RunExtractionPeaks() {
  const std::vector<PeakCase> cases = BuildCases();
  std::printf("Peak heap of one PackReader::ExtractFromMemory into a fresh folder (bytes; peaks counted from the\n"
              "live heap just before the call). Expected peak: chunk buffer (block size + 512) + the room that the\n"
              "codec takes once and keeps for the extraction (the larger of the Huffman stage's room for the\n"
              "capacity, about twice it where several streams decode, and twice the capacity + 17). Bound: the\n"
              "same sum. Neither grows with the number of files or chunks, and the codec allocates once.\n\n");
  std::printf("%-38s %9s %6s %7s %8s %9s\n", "case", "block", "files", "chunks", "run-form", "longest");
  for (const PeakCase& c : cases) {
    std::printf("%-38s %9d %6zu %7lld %8lld %9d\n", c.title.c_str(), c.blockSize, c.files.size(),
                static_cast<long long>(c.chunks), static_cast<long long>(c.runFormChunks), c.longestChunk);
  }

  bool allCorrect = true;
  std::printf("\n%-38s %10s %7s %9s %7s %8s %10s %6s %6s %10s | %8s %8s\n", "case", "peak new", "allocs", "peak libc",
              "allocs", "retained", "expected", "ratio", "all", "bound", "RSS+ KiB", "maxrss");
  for (const PeakCase& c : cases) {
    const PeakResult r = Measure(c);
    allCorrect = allCorrect && r.correct;
    const int64_t byNew = r.after.byNew.peakBytes - r.before.byNew.liveBytes;
    const int64_t byMalloc = r.after.byMalloc.peakBytes - r.before.byMalloc.liveBytes;
    const int64_t all = r.after.peakBytes - r.before.liveBytes;
    const int64_t retained = r.after.liveBytes - r.before.liveBytes;
    const double expected = static_cast<double>(c.ExpectedPeak());
    std::printf("%-38s %10lld %7lld %9lld %7lld %8lld %10lld %6.3f %6.3f %10lld | %8lld %8ld%s\n", c.title.c_str(),
                static_cast<long long>(byNew), static_cast<long long>(r.after.byNew.allocations),
                static_cast<long long>(byMalloc), static_cast<long long>(r.after.byMalloc.allocations),
                static_cast<long long>(retained), static_cast<long long>(c.ExpectedPeak()),
                static_cast<double>(byNew) / expected, static_cast<double>(all) / expected,
                static_cast<long long>(c.SumBound()),
                static_cast<long long>(r.residentPeak >= 0 && r.residentBefore >= 0 ? r.residentPeak - r.residentBefore : -1),
                r.maxResident, r.correct ? "" : "  WRONG RESULT");
  }
  std::printf("\npeak new: operator new, requested bytes; peak libc: direct malloc calls (the C library's own, such as\n"
              "iconv_open for each entry name), usable bytes; ratio = peak new / expected, all = both together /\n"
              "expected; retained: live after the call less live before it (the first extraction loads the CP932\n"
              "converter, which stays). RSS+: resident peak during the call above the resident size before it;\n"
              "maxrss: getrusage, for the whole process so far (it holds the archives built for the cases).\n");
  return allCorrect;
}
