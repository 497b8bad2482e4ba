// WebAssembly: the module has no file system of its own. Its extractions go
// to a sink in memory (tools/web/), and archives come as bytes, so the
// system's files refuse every call.
#include <errno.h>

#include "archive/platform/platform.h"

SystemFiles theSystemFiles;

FileHandle SystemFiles::Create(const char*, int, uint32_t) noexcept {
  errno = ENOSYS;
  return NoFileHandle();
}

int32_t SystemFiles::Write(FileHandle, const uint8_t*, int32_t) noexcept {
  errno = ENOSYS;
  return -1;
}

void SystemFiles::Finish(FileHandle, const char*, const EntryInfo&) noexcept {}
