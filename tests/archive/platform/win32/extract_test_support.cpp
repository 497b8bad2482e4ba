// Win32: the disk helpers of the extractor's tests.
#include <windows.h>

#include "tests/archive/extract_test_support.h"

namespace archive_test {

namespace {

uint64_t ToUint64(const FILETIME& time) {
  return uint64_t{time.dwHighDateTime} << 32 | time.dwLowDateTime;
}

}  // namespace

DiskStatus StatusOf(const std::string& path) {
  DiskStatus status;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return status;
  status.exists = true;
  status.attributes = attributes;
  status.writable = !(attributes & FILE_ATTRIBUTE_READONLY);
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    FILETIME creation, lastAccess, lastWrite;
    if (GetFileTime(file, &creation, &lastAccess, &lastWrite)) {
      status.creationTime = ToUint64(creation);
      status.lastAccessTime = ToUint64(lastAccess);
      status.lastWriteTime = ToUint64(lastWrite);
    }
    CloseHandle(file);
  }
  return status;
}

// Wine keeps its files on a POSIX file system, which cannot take a creation
// time.
bool CreationTimeIsKept() {
  return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") == nullptr;
}

bool SystemLeadByte(uint8_t byte) {
  const char bytes[2] = {static_cast<char>(byte), '@'};
  wchar_t wide[2];
  return MultiByteToWideChar(932, 0, bytes, 2, wide, 2) == 1;
}

bool SystemCharacter(uint8_t lead, uint8_t trail) {
  const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
  wchar_t wide[2];
  return MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes, 2, wide, 2) == 1;
}

}  // namespace archive_test
