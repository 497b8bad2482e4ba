#include "host/temp_file.h"

#include "host/file_system.h"
#include "host/system_error.h"

TempFileBeside::~TempFileBeside() {
  if (file_ != nullptr) std::fclose(file_);
  if (!path_.empty()) file_system::RemoveTempFile(path_);
}

bool TempFileBeside::Create(const std::string& target, std::string& error) {
  target_ = target;
  return file_system::CreateTempFile(target, path_, file_, error);
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
