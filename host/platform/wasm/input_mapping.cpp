// The web module's files are in memory already: a mapping is a copy, and
// seeks stay within them.
#include <errno.h>
#include <stdio.h>

#include <cstdlib>

#include "host/file_system.h"

namespace file_system {

bool Seek(std::FILE* file, int64_t offset) { return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0; }

bool MapFile(std::FILE* file, size_t length, const uint8_t*& bytes, void*& handle) {
  uint8_t* copy = static_cast<uint8_t*>(std::malloc(length));
  if (copy == nullptr) {
    errno = ENOMEM;
    return false;
  }
  if (!Seek(file, 0) || std::fread(copy, 1, length, file) != length) {
    std::free(copy);
    errno = EIO;
    return false;
  }
  bytes = copy;
  handle = nullptr;
  return true;
}

void UnmapFile(const uint8_t* bytes, size_t, void*) { std::free(const_cast<uint8_t*>(bytes)); }

}  // namespace file_system
