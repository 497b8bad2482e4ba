// An archive file, or an installer executable of which only its payload
// counts: read whole into memory (a stub, the web module's input), or
// opened to be read in pieces, in memory independent of its size.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "archive/pack_reader.h"
#include "base/byte_store.h"

enum class LoadOutcome {
  kLoaded,
  kUnreadable,
  kTooLarge,
  kNoPayload,  // an executable that is no installer, or whose PE structure is refused
};

// What the file was. For an installer, where its payload lies in it.
struct ArchiveContainer {
  bool installer = false;
  uint32_t payloadOffset = 0;
  uint32_t payloadSize = 0;
  uint32_t payloadLanguage = 0;
  bool checked = false;  // the installer carries a check record (archive/payload_check.h)
  std::vector<uint8_t> checkRecord;
};

// Files of 2 GiB or more are refused without being read: the format's
// offsets are signed 32-bit; so is anything but a regular file
// (OpenInputFile). The error names the file.
LoadOutcome LoadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);

// Bytes already in memory (named `name` in errors) taken as an archive: a
// file that begins like an executable ("MZ") is read as an installer, and
// its bytes are replaced by its payload (the resource "KORMIT" of type
// "FILESPACK"); container, when given, receives its check record. Never
// kUnreadable or kTooLarge.
LoadOutcome TakeArchive(const std::string& name, std::vector<uint8_t>& bytes, std::string& error,
                        ArchiveContainer* container = nullptr);

// An archive's bytes where they are: in memory, or in a file, read in
// pieces as they are asked for.
class ArchiveBytes final : public ArchiveSource {
 public:
  explicit ArchiveBytes(std::span<const uint8_t> memory) : memory_(memory), size_(static_cast<uint32_t>(memory.size())) {}
  // length bytes of `file` from `offset` on; name is what errors call it.
  ArchiveBytes(std::FILE* file, int64_t offset, uint32_t length, std::string name)
      : file_(file), base_(offset), size_(length), name_(std::move(name)) {}
  // The first length bytes of what was written to `source` (a packed
  // archive read back); name is what errors call it.
  ArchiveBytes(ByteSource& source, uint32_t length, std::string name)
      : source_(&source), size_(length), name_(std::move(name)) {}

  uint32_t size() const { return size_; }
  // Copies count bytes from offset on into `into`; false when they are not
  // all there or cannot be read (readError() says why).
  bool ReadAt(uint64_t offset, uint8_t* into, size_t count) noexcept;
  // The extractor's reads, with the format's 32-bit offsets.
  bool Read(int32_t offset, uint8_t* buffer, int32_t count) noexcept override {
    return offset >= 0 && count >= 0 && ReadAt(static_cast<uint64_t>(offset), buffer, static_cast<size_t>(count));
  }
  // What the last failed read of a file met ("" when none failed).
  const std::string& readError() const { return readError_; }

 private:
  std::span<const uint8_t> memory_;
  ByteSource* source_ = nullptr;
  std::FILE* file_ = nullptr;
  int64_t base_ = 0;
  uint32_t size_ = 0;
  std::string name_;
  int64_t position_ = -1;  // where the file stands, when known
  std::string readError_;
};

// An archive or installer file, opened as TakeArchive reads its bytes but
// holding only what it looks at: the header, and an installer's headers and
// resource tables, mapped (InputMapping) while its payload is found.
class ArchiveFile {
 public:
  ArchiveFile() = default;
  ~ArchiveFile();
  ArchiveFile(const ArchiveFile&) = delete;
  ArchiveFile& operator=(const ArchiveFile&) = delete;

  LoadOutcome Open(const std::string& path, std::string& error);
  // The archive: the whole file, or the installer's payload. Valid once
  // Open has loaded it.
  ArchiveBytes& bytes() { return *bytes_; }
  const ArchiveContainer& container() const { return container_; }

 private:
  std::FILE* file_ = nullptr;
  ArchiveContainer container_;
  std::unique_ptr<ArchiveBytes> bytes_;
};
