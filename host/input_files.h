// What the commands and the readers ask of the file system above its own
// calls (file_system.h): a file to be read whole, and a folder's listing,
// the same on every system and in the same words. Paths and error texts are
// the system's own narrow strings (UTF-8 on POSIX, the ANSI code page on
// Win32); each error names the file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

// Opens the file at path to be read whole (an archive, an installer, the
// installer program), with its length: only a regular file, and without
// waiting. A FIFO's opening waits for a writer and a device's reading may
// never end, so either is refused before anything is read, as is a folder.
// False, with a message naming the file, otherwise.
bool OpenInputFile(const std::string& path, std::FILE*& file, int64_t& length, std::string& error);

// The paths of the entries directly inside `folder`, in byte order of their
// names ("." and ".." left out). False, naming the folder, on failure; a
// name that the system cannot hand over (Win32: one outside the ANSI code
// page) is an error naming it.
bool ListFolder(const std::string& folder, std::vector<std::string>& paths, std::string& error);

// A file's bytes seen in memory without reading them all: mapped, so that
// only the pages looked at are read and held (an installer's headers and
// resource tables, in a file of up to 2 GiB). The file may be closed once
// it is mapped.
class InputMapping {
 public:
  InputMapping() = default;
  ~InputMapping();
  InputMapping(const InputMapping&) = delete;
  InputMapping& operator=(const InputMapping&) = delete;

  // Maps the first `length` bytes of `file` (opened by OpenInputFile).
  // False, with a message naming path, when the system cannot.
  bool Map(std::FILE* file, int64_t length, const std::string& path, std::string& error);
  std::span<const uint8_t> bytes() const { return {bytes_, length_}; }

 private:
  const uint8_t* bytes_ = nullptr;
  size_t length_ = 0;
  void* handle_ = nullptr;
};
