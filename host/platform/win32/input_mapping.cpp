// Win32: 64-bit seeks, and read-only views of a file mapping, which hold
// only the pages read. A view needs one free stretch of address space as
// long as the file; filepacker.exe is large-address aware for it.
#include <io.h>
#include <windows.h>

#include "host/file_system.h"

namespace file_system {

bool Seek(std::FILE* file, int64_t offset) { return _fseeki64(file, offset, SEEK_SET) == 0; }

bool MapFile(std::FILE* file, size_t length, const uint8_t*& bytes, void*& handle) {
  const HANDLE opened = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  if (opened == INVALID_HANDLE_VALUE) return false;
  const HANDLE mapping = CreateFileMappingW(opened, nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (mapping == nullptr) return false;
  const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, length);
  if (view == nullptr) {
    const DWORD cause = GetLastError();
    CloseHandle(mapping);
    SetLastError(cause);
    return false;
  }
  bytes = static_cast<const uint8_t*>(view);
  handle = mapping;
  return true;
}

void UnmapFile(const uint8_t* bytes, size_t, void* handle) {
  UnmapViewOfFile(bytes);
  CloseHandle(static_cast<HANDLE>(handle));
}

}  // namespace file_system
