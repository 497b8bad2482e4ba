// Where bytes are written and read back: a file, or memory, behind one
// operation each. An archive's size field and an installer's checksum are
// known only at the end, so a writer may go back: every write says where
// its bytes belong.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

class ByteSink {
 public:
  // Puts bytes at offset, which is at most the length written so far;
  // false when they could not be written (the sink's owner knows why).
  virtual bool WriteAt(uint64_t offset, std::span<const uint8_t> bytes) noexcept = 0;

 protected:
  ~ByteSink() = default;
};

class ByteSource {
 public:
  // Copies count bytes from offset on into `into`; false when they are not
  // all there or cannot be read (a reader of an archive takes that for
  // bytes cut short).
  virtual bool ReadAt(uint64_t offset, uint8_t* into, size_t count) noexcept = 0;

 protected:
  ~ByteSource() = default;
};
