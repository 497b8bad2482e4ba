// The file sink of the WebAssembly engine's extract: a fresh, empty folder
// in memory, which takes what the extractor writes as the command's disk
// folder would (names as UTF-8 with "/" separators, a second file of the same
// name refused, no subfolders, since the extractor makes none). The install
// folder's rules stand in front of it as in front of the disk
// (ExtractArchiveInto), so it is asked for no name the installer could not
// create.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "archive/platform/platform.h"

struct MemoryFile {
  std::string name;  // UTF-8
  std::vector<uint8_t> bytes;
  EntryInfo info{};
};

class MemoryFiles final : public FileSink {
 public:
  const std::vector<MemoryFile>& files() const { return files_; }
  // As DiskFiles' ("cannot create: ..."); empty after a success.
  const std::string& failure() const { return failure_; }

  FileHandle Create(const char* path, int nameStart, uint32_t creationDisposition) noexcept override;
  int32_t Write(FileHandle file, const uint8_t* bytes, int32_t count) noexcept override;
  void Finish(FileHandle file, const char* path, const EntryInfo& info) noexcept override;

 private:
  FileHandle Refuse(int error) noexcept;

  std::vector<MemoryFile> files_;
  // The names made, looked up in one step: going through files_ for each
  // new file took 100,000 files 20 s.
  std::unordered_set<std::string> names_;
  std::string failure_;
};
