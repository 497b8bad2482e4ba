#include "inspect/archive_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

#include "host/file_system.h"
#include "host/input_files.h"
#include "host/system_error.h"
#include "pe/payload_resource.h"

namespace {

// An installer's payload and check record, found in its bytes.
LoadOutcome FindContainer(const std::string& name, std::span<const uint8_t> bytes, ArchiveContainer& found,
                          std::string& error) {
  PayloadLocation where;
  std::string why;
  if (!FindPayload(bytes, where, why)) {
    error = name + ": not an installer that can be read: " + why;
    return LoadOutcome::kNoPayload;
  }
  found = {true, where.offset, where.size, where.language, where.checked, {}};
  if (where.checked) {
    found.checkRecord.assign(bytes.begin() + where.checkOffset, bytes.begin() + where.checkOffset + where.checkSize);
  }
  return LoadOutcome::kLoaded;
}

}  // namespace

LoadOutcome LoadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
  bytes.clear();
  std::FILE* file = nullptr;
  int64_t length = 0;
  if (!OpenInputFile(path, file, length, error)) return LoadOutcome::kUnreadable;
  LoadOutcome outcome = LoadOutcome::kLoaded;
  if (length > std::numeric_limits<int32_t>::max()) {
    error = path + ": " + std::to_string(length) + " bytes; an archive or installer holds less than 2 GiB";
    outcome = LoadOutcome::kTooLarge;
  } else {
    bytes.resize(static_cast<size_t>(length));
    if (length > 0 && std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
      error = path + ": read error";
      outcome = LoadOutcome::kUnreadable;
    }
  }
  std::fclose(file);
  if (outcome != LoadOutcome::kLoaded) bytes.clear();
  return outcome;
}

LoadOutcome TakeArchive(const std::string& name, std::vector<uint8_t>& bytes, std::string& error,
                        ArchiveContainer* container) {
  ArchiveContainer found;
  if (BeginsWithDosSignature(bytes)) {
    if (FindContainer(name, bytes, found, error) != LoadOutcome::kLoaded) {
      bytes.clear();
      return LoadOutcome::kNoPayload;
    }
    bytes.erase(bytes.begin() + found.payloadOffset + found.payloadSize, bytes.end());
    bytes.erase(bytes.begin(), bytes.begin() + found.payloadOffset);
  }
  if (container != nullptr) *container = found;
  return LoadOutcome::kLoaded;
}

bool ArchiveBytes::ReadAt(uint64_t offset, uint8_t* into, size_t count) noexcept {
  if (offset > size_ || count > size_ - offset) return false;
  if (source_ != nullptr) {
    if (source_->ReadAt(offset, into, count)) return true;
    readError_ = name_ + ": cannot be read back";
    return false;
  }
  if (file_ == nullptr) {
    if (count > 0) std::memcpy(into, memory_.data() + offset, count);
    return true;
  }
  const int64_t at = base_ + static_cast<int64_t>(offset);
  if ((at != position_ && !file_system::Seek(file_, at)) || std::fread(into, 1, count, file_) != count) {
    position_ = -1;
    readError_ = std::feof(file_) ? name_ + ": the file is shorter than it was (changed while it was read)"
                                  : PathError(name_) + " (while reading it)";
    return false;
  }
  position_ = at + static_cast<int64_t>(count);
  return true;
}

ArchiveFile::~ArchiveFile() {
  if (file_ != nullptr) std::fclose(file_);
}

LoadOutcome ArchiveFile::Open(const std::string& path, std::string& error) {
  int64_t length = 0;
  if (!OpenInputFile(path, file_, length, error)) return LoadOutcome::kUnreadable;
  if (length > std::numeric_limits<int32_t>::max()) {
    error = path + ": " + std::to_string(length) + " bytes; an archive or installer holds less than 2 GiB";
    return LoadOutcome::kTooLarge;
  }
  uint8_t start[2] = {};
  if (length >= 2 && std::fread(start, 1, 2, file_) != 2) {
    error = PathError(path) + " (while reading it)";
    return LoadOutcome::kUnreadable;
  }
  container_ = ArchiveContainer();
  if (!BeginsWithDosSignature(std::span<const uint8_t>(start, static_cast<size_t>(std::min<int64_t>(length, 2))))) {
    bytes_ = std::make_unique<ArchiveBytes>(file_, 0, static_cast<uint32_t>(length), path);
    return LoadOutcome::kLoaded;
  }
  // The mapping takes address space as long as the file, not memory: only
  // the headers and tables looked at are read.
  InputMapping mapping;
  if (!mapping.Map(file_, length, path, error)) {
    error += ": it needs " + std::to_string(length) +
             " bytes of free address space to be read; with fewer programs running, or on a 64-bit system, it may "
             "find them";
    return LoadOutcome::kTooLarge;
  }
  const LoadOutcome outcome = FindContainer(path, mapping.bytes(), container_, error);
  if (outcome == LoadOutcome::kLoaded) {
    bytes_ = std::make_unique<ArchiveBytes>(file_, container_.payloadOffset, container_.payloadSize, path);
  }
  return outcome;
}
