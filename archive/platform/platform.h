// The few system operations under the archive extractor. The extractor's
// code is the same on both systems; only these types and functions differ.
//
//   Win32: the ANSI file calls.
//   POSIX: openat(O_CREAT|O_EXCL|O_NOFOLLOW)/write/futimens/fchmod; entry
//          names are converted from code page 932 to UTF-8, and no symbolic
//          link below the folder is followed.
#pragma once

#include <cstdint>

// An open file: a descriptor (POSIX) or a HANDLE (Win32), held as an
// integer so that code above this layer never needs to know which.
typedef intptr_t FileHandle;
inline FileHandle NoFileHandle() { return -1; }  // INVALID_HANDLE_VALUE on Win32

// Win32's creation dispositions, with Win32's values (files.cpp there checks
// them); the POSIX layer maps them onto open flags.
constexpr uint32_t kCreateNew = 1;
constexpr uint32_t kCreateAlways = 2;
constexpr uint32_t kOpenExisting = 3;
constexpr uint32_t kOpenAlways = 4;
constexpr uint32_t kTruncateExisting = 5;

// An entry's info record, decoded: Win32 attribute bits and three FILETIMEs
// (100 ns intervals since 1601-01-01 UTC).
struct EntryInfo {
  uint32_t attributes;
  uint64_t creationTime;
  uint64_t lastAccessTime;
  uint64_t lastWriteTime;
};

// How the extractor writes files: theSystemFiles writes them to disk; the
// packager's tools and the tests hand in others (a simulated install folder,
// a full disk). Called on the extracting thread. The archive library is
// built without exceptions on Win32, so nothing may be thrown through it: a
// sink that cannot have the memory it needs fails the call instead.
//   Create: opens path for writing with the given creation disposition;
//           path is the destination folder, '\' and the entry name, which
//           starts at path[nameStart] (code page 932). NoFileHandle() on
//           failure, with the cause in errno (POSIX) or GetLastError().
//   Write:  writes count bytes; returns how many were written, or -1
//           (the cause as for Create).
//   Finish: applies the three times, closes the file, applies the attribute
//           bits. Nothing is reported: the extractor ignores the outcome.
class FileSink {
 public:
  virtual FileHandle Create(const char* path, int nameStart, uint32_t creationDisposition) noexcept = 0;
  virtual int32_t Write(FileHandle file, const uint8_t* bytes, int32_t count) noexcept = 0;
  virtual void Finish(FileHandle file, const char* path, const EntryInfo& info) noexcept = 0;

 protected:
  ~FileSink() = default;
};

// The system's own files (platform/<system>/files.cpp).
class SystemFiles final : public FileSink {
 public:
  FileHandle Create(const char* path, int nameStart, uint32_t creationDisposition) noexcept override;
  int32_t Write(FileHandle file, const uint8_t* bytes, int32_t count) noexcept override;
  void Finish(FileHandle file, const char* path, const EntryInfo& info) noexcept override;
};
extern SystemFiles theSystemFiles;
