// The extractor's file operations on Win32: the ANSI file calls, with the
// extractor's creation disposition (CREATE_NEW: never overwrite).
#include <windows.h>

#include "archive/platform/platform.h"

static_assert(sizeof(FileHandle) == sizeof(HANDLE), "a FileHandle holds a HANDLE");
static_assert(kCreateNew == CREATE_NEW && kCreateAlways == CREATE_ALWAYS && kOpenExisting == OPEN_EXISTING &&
                  kOpenAlways == OPEN_ALWAYS && kTruncateExisting == TRUNCATE_EXISTING,
              "the dispositions are Win32's own");

namespace {

HANDLE ToHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

FILETIME ToFileTime(uint64_t value) {
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(value);
  time.dwHighDateTime = static_cast<DWORD>(value >> 32);
  return time;
}

}  // namespace

FileHandle SystemFiles::Create(const char* path, int, uint32_t creationDisposition) noexcept {
  return reinterpret_cast<FileHandle>(
      CreateFileA(path, GENERIC_WRITE, 0, nullptr, creationDisposition, FILE_ATTRIBUTE_NORMAL, nullptr));
}

int32_t SystemFiles::Write(FileHandle file, const uint8_t* bytes, int32_t count) noexcept {
  DWORD written = 0;
  if (!WriteFile(ToHandle(file), bytes, static_cast<DWORD>(count), &written, nullptr)) return -1;
  return static_cast<int32_t>(written);
}

void SystemFiles::Finish(FileHandle file, const char* path, const EntryInfo& info) noexcept {
  const FILETIME creation = ToFileTime(info.creationTime);
  const FILETIME lastAccess = ToFileTime(info.lastAccessTime);
  const FILETIME lastWrite = ToFileTime(info.lastWriteTime);
  SetFileTime(ToHandle(file), &creation, &lastAccess, &lastWrite);
  CloseHandle(ToHandle(file));
  SetFileAttributesA(path, info.attributes);
}

SystemFiles theSystemFiles;
