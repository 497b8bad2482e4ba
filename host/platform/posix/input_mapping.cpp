// POSIX: 64-bit seeks, and mappings through mmap, which hold only the pages
// read.
#include <sys/mman.h>

#include "host/file_system.h"

namespace file_system {

bool Seek(std::FILE* file, int64_t offset) { return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0; }

bool MapFile(std::FILE* file, size_t length, const uint8_t*& bytes, void*& handle) {
  void* mapped = mmap(nullptr, length, PROT_READ, MAP_PRIVATE, fileno(file), 0);
  if (mapped == MAP_FAILED) return false;
  bytes = static_cast<const uint8_t*>(mapped);
  handle = nullptr;
  return true;
}

void UnmapFile(const uint8_t* bytes, size_t length, void*) { munmap(const_cast<uint8_t*>(bytes), length); }

}  // namespace file_system
