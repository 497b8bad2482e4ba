#include "base/memory_store.h"

#include <algorithm>
#include <cstring>
#include <new>

bool MemoryStore::WriteAt(uint64_t offset, std::span<const uint8_t> bytes) noexcept {
  if (offset > bytes_.size()) return false;
  try {
    if (offset + bytes.size() > bytes_.size()) bytes_.resize(offset + bytes.size());
  } catch (const std::bad_alloc&) {
    return false;
  }
  std::copy(bytes.begin(), bytes.end(), bytes_.begin() + static_cast<ptrdiff_t>(offset));
  return true;
}

bool MemoryStore::ReadAt(uint64_t offset, uint8_t* into, size_t count) noexcept {
  if (offset > bytes_.size() || count > bytes_.size() - offset) return false;
  if (count > 0) std::memcpy(into, bytes_.data() + offset, count);
  return true;
}
