// Bytes written and read back in memory: the web module's packed archive
// and installer, and the tests'.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "base/byte_store.h"

// Bytes kept in memory, as long as the last byte written. A write that
// finds no memory fails like a full disk.
class MemoryStore final : public ByteSink, public ByteSource {
 public:
  bool WriteAt(uint64_t offset, std::span<const uint8_t> bytes) noexcept override;
  bool ReadAt(uint64_t offset, uint8_t* into, size_t count) noexcept override;
  std::vector<uint8_t>& bytes() { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};
