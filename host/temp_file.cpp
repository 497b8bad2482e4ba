#include "host/temp_file.h"

#include "host/file_system.h"
#include "host/system_error.h"

TempFileBeside::~TempFileBeside() {
  if (file_ != nullptr) std::fclose(file_);
  if (!path_.empty()) file_system::RemoveTempFile(path_);
}

bool TempFileBeside::Create(const std::string& target, std::string& error) {
  target_ = target;
  position_ = 0;
  return file_system::CreateTempFile(target, path_, file_, error);
}

// The C library wants a seek between a read and a write.
bool TempFileBeside::WriteAt(uint64_t offset, std::span<const uint8_t> bytes) noexcept {
  if ((offset != position_ || reading_) && !file_system::Seek(file_, static_cast<int64_t>(offset))) return false;
  reading_ = false;
  position_ = offset;
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
    position_ = UINT64_MAX;
    return false;
  }
  position_ += bytes.size();
  return true;
}

bool TempFileBeside::ReadAt(uint64_t offset, uint8_t* into, size_t count) noexcept {
  if ((offset != position_ || !reading_) && !file_system::Seek(file_, static_cast<int64_t>(offset))) return false;
  reading_ = true;
  position_ = offset;
  if (count > 0 && std::fread(into, 1, count, file_) != count) {
    position_ = UINT64_MAX;
    return false;
  }
  position_ += count;
  return true;
}

bool TempFileBeside::Commit(bool overwrite, std::string& error) {
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!closed) {
    error = WriteError(target_);
    return false;
  }
  if (!file_system::MoveTemp(path_, target_, overwrite, error)) return false;
  file_system::DisarmTemp(path_);
  path_.clear();
  return true;
}
