// PackReader::ExtractFromMemory on arbitrary archives, writing through an
// in-memory file table with the system layer's effects: a file is created
// only when no file of that path exists, written, then finished (closed).
// The report must agree with the result whatever the bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "archive/pack_reader.h"
#include "tests/archive/hostile_support.h"

namespace {

const char kFolder[] = "/out";

struct MemoryFile {
  std::string path;
  std::vector<uint8_t> bytes;
  bool open = true;
};

// One input's files; handles are indexes into them.
class MemoryFiles final : public FileSink {
 public:
  std::vector<MemoryFile> files;

  FileHandle Create(const char* path, int nameStart, uint32_t creationDisposition) noexcept override {
    if (creationDisposition != kCreateNew) std::abort();
    const size_t prefix = std::strlen(kFolder);
    if (std::strncmp(path, kFolder, prefix) != 0 || nameStart != static_cast<int>(prefix) + 1 ||
        path[nameStart] == '\0') {
      std::abort();
    }
    if (byPath_.count(path) != 0) return NoFileHandle();
    byPath_[path] = files.size();
    files.push_back({path, {}, true});
    return static_cast<FileHandle>(files.size() - 1);
  }

  int32_t Write(FileHandle file, const uint8_t* bytes, int32_t count) noexcept override {
    if (count < 0) std::abort();
    MemoryFile& target = Open(file);
    target.bytes.insert(target.bytes.end(), bytes, bytes + count);
    return count;
  }

  void Finish(FileHandle file, const char* path, const EntryInfo&) noexcept override {
    MemoryFile& target = Open(file);
    if (target.path != path) std::abort();
    target.open = false;
  }

 private:
  MemoryFile& Open(FileHandle file) {
    if (file < 0 || static_cast<size_t>(file) >= files.size() || !files[static_cast<size_t>(file)].open) {
      std::abort();
    }
    return files[static_cast<size_t>(file)];
  }

  std::map<std::string, size_t> byPath_;
};

// The success text; "%d" marks where the file count goes.
const char kComplete[] = "解凍完了！ ファイル数:%d";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The extractor reads a 32-byte header whatever the length, and takes the
  // size field as its bound: like filepacker extract, pad the header with
  // zeros and pass only archives that fit the bytes.
  std::vector<uint8_t> archive(data, data + size);
  if (archive.size() < 32) archive.resize(32, 0);
  if (!ArchiveFitsIn(archive.data(), static_cast<uint32_t>(archive.size()))) return 0;

  MemoryFiles memory;
  const std::vector<MemoryFile>& files = memory.files;
  PackReader reader;
  reader.SetFileSink(memory);
  UnpackReport report;
  std::memset(&report, 0xA5, sizeof report);
  const int result = reader.ExtractFromMemory(archive.data(), kFolder, &report);

  if (std::memchr(report.message, '\0', sizeof report.message) == nullptr) std::abort();
  if (result == 1) {
    char expected[64];
    const char* mark = std::strstr(kComplete, "%d");
    std::snprintf(expected, sizeof expected, "%.*s%d", static_cast<int>(mark - kComplete), kComplete,
                  report.fileCount);
    if (std::strcmp(report.message, expected) != 0) std::abort();
    if (report.fileCount != static_cast<int32_t>(files.size())) std::abort();
    if (report.byteTotal != archive_test::GetInt32(archive, 20) + 24) std::abort();
    if (report.coderError != 0) std::abort();
    for (const MemoryFile& file : files) {
      if (file.open) std::abort();
    }
  } else if (result == 0) {
    if (report.fileCount != 0 || report.byteTotal != 0) std::abort();
    if (!archive_test::IsFailureText(report.message)) {
      std::fprintf(stderr, "not an outcome text: \"%s\"\n", report.message);
      std::abort();
    }
    if (report.coderError != 0 && std::strcmp(report.message, "コーダーエラー！") != 0) std::abort();
  } else {
    std::abort();
  }
  return 0;
}
