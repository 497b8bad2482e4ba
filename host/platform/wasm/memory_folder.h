// WebAssembly: the module has no file system. The files to pack are handed
// in as bytes under the paths the command would be given ("a.txt", or
// "package/a.txt" for the files of a folder "package"), and what packing
// writes through a temporary file is kept in memory until it is taken. The
// file-system layer under packing works on these (platform/wasm/file_system.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct MemoryFolderFile {
  std::string path;  // UTF-8, "/" between a folder and its files
  std::vector<uint8_t> bytes;
  uint64_t lastWriteTime = 0;  // FILETIME; also the creation and access time, as on POSIX
};

// Told, as packing reads the files, how many bytes it has read since the
// last call (the adaptive cut reads each file twice). Must be quick.
class PackReadWatch {
 public:
  virtual void OnRead(int64_t bytes) noexcept = 0;

 protected:
  ~PackReadWatch() = default;
};

// The files that packing finds; cleared by the caller when done.
std::vector<MemoryFolderFile>& MemoryFolder();

// The watch told of reads from now on; nullptr: none.
void WatchPackReads(PackReadWatch* watch);

// The bytes last committed under `target` (TempFileBeside::Commit), which are forgotten
// here; false when nothing was.
bool TakeWrittenFile(const std::string& target, std::vector<uint8_t>& bytes);
