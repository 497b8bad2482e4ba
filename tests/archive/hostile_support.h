// Helpers of the hostile-archive tests: a walk over an archive's structure
// that trusts nothing, the extractor's outcome texts, and a file table in
// memory for extractions too large for the disk.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "archive/pack_reader.h"
#include "base/little_endian.h"
#include "tests/archive/extract_archive_builder.h"

namespace archive_test {

inline int32_t GetInt32(const Bytes& bytes, size_t at) { return LoadInt32(&bytes[at]); }

inline void SetInt32(Bytes& bytes, size_t at, int32_t value) { StoreUint32(&bytes[at], static_cast<uint32_t>(value)); }

struct WalkedEntry {
  std::string name;
  int32_t size = 0;
  size_t infoEnd = 0;              // offset just past the info record
  std::vector<size_t> chunkEnds;  // offset just past each chunk's data
  bool listEnded = false;         // a terminating chunk length was met
};

// The entries of a plain archive as far as its bytes and its size field
// allow, without decoding anything. complete: the end-of-list marker was
// reached with every field in bounds.
struct Walk {
  std::vector<WalkedEntry> entries;
  bool complete = false;
};

inline Walk WalkArchive(const Bytes& archive) {
  Walk walk;
  if (archive.size() < 36) return walk;
  const int64_t sizeField = GetInt32(archive, 20);
  const int64_t blockSize = GetInt32(archive, 32);
  const size_t end = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(archive.size()), sizeField + 24));
  size_t at = 36;
  auto fits = [&](size_t count) { return at <= end && count <= end - at; };
  for (;;) {
    if (!fits(1)) return walk;
    const uint8_t nameLength = archive[at++];
    if (nameLength == 0) {
      walk.complete = true;
      return walk;
    }
    if (!fits(nameLength + 4u + 28u)) return walk;
    WalkedEntry entry;
    entry.name.assign(archive.begin() + static_cast<std::ptrdiff_t>(at),
                      archive.begin() + static_cast<std::ptrdiff_t>(at + nameLength));
    entry.size = GetInt32(archive, at + nameLength);
    at += nameLength + 4u + 28u;
    entry.infoEnd = at;
    walk.entries.push_back(entry);
    for (;;) {
      if (!fits(4)) return walk;
      const int32_t length = GetInt32(archive, at);
      at += 4;
      if (length <= 0) {
        walk.entries.back().listEnded = true;
        break;
      }
      if (length > blockSize + 16 || !fits(static_cast<size_t>(length))) return walk;
      at += static_cast<size_t>(length);
      walk.entries.back().chunkEnds.push_back(at);
    }
  }
}

// Every text the extractor may leave in a report after a failure; the ones
// with a name are matched up to the name (which may begin with a NUL byte).
inline bool IsFailureText(const char* message) {
  static const char* const kTexts[] = {
      "", "リードエラー！", "書式エラー！", "コーダーエラー！", "ライトエラー！",
  };
  static const char* const kNamedTexts[] = {"書式エラー！ [セグメントサイズ] ", "ライトエラー！ ", "解凍エラー！ "};
  for (const char* text : kTexts) {
    if (std::strcmp(message, text) == 0) return true;
  }
  for (const char* text : kNamedTexts) {
    if (std::strncmp(message, text, std::strlen(text)) == 0) return true;
  }
  return false;
}

// Files kept in memory with the system layer's effects (create only what
// does not exist, write, finish), for extractions of gigabytes. Contents
// are counted, not kept. Handles are indexes.
class CountingFiles final : public FileSink {
 public:
  struct File {
    std::string path;
    int64_t bytes = 0;
    bool finished = false;
  };

  const std::vector<File>& files() const { return files_; }

  FileHandle Create(const char* path, int, uint32_t) noexcept override {
    if (byPath_.count(path) != 0) return NoFileHandle();
    byPath_[path] = files_.size();
    files_.push_back({path});
    return static_cast<FileHandle>(files_.size() - 1);
  }
  int32_t Write(FileHandle file, const uint8_t*, int32_t count) noexcept override {
    files_[static_cast<size_t>(file)].bytes += count;
    return count;
  }
  void Finish(FileHandle file, const char*, const EntryInfo&) noexcept override {
    files_[static_cast<size_t>(file)].finished = true;
  }

 private:
  std::vector<File> files_;
  std::map<std::string, size_t> byPath_;
};

}  // namespace archive_test
