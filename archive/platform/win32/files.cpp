// The extractor's file operations on Win32: the ANSI file calls, with the
// extractor's creation disposition (CREATE_NEW: never overwrite).
#include "archive/platform/platform.h"

namespace {

FILETIME ToFileTime(uint64_t value) {
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(value);
  time.dwHighDateTime = static_cast<DWORD>(value >> 32);
  return time;
}

FileHandle CreateEntryFile(const char* path, int, uint32_t creationDisposition) {
  return CreateFileA(path, GENERIC_WRITE, 0, nullptr, creationDisposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

int32_t WriteEntryFile(FileHandle file, const uint8_t* bytes, int32_t count) {
  DWORD written = 0;
  if (!WriteFile(file, bytes, static_cast<DWORD>(count), &written, nullptr)) return -1;
  return static_cast<int32_t>(written);
}

void FinishEntryFile(FileHandle file, const char* path, const EntryInfo& info) {
  const FILETIME creation = ToFileTime(info.creationTime);
  const FILETIME lastAccess = ToFileTime(info.lastAccessTime);
  const FILETIME lastWrite = ToFileTime(info.lastWriteTime);
  SetFileTime(file, &creation, &lastAccess, &lastWrite);
  CloseHandle(file);
  SetFileAttributesA(path, info.attributes);
}

}  // namespace

const FileSink theSystemFiles = {CreateEntryFile, WriteEntryFile, FinishEntryFile};

bool ReadFileFully(FileHandle file, void* buffer, int32_t count) {
  DWORD read = 0;
  return ReadFile(file, buffer, static_cast<DWORD>(count), &read, nullptr) && read == static_cast<DWORD>(count);
}

void CloseFileHandle(FileHandle file) { CloseHandle(file); }
