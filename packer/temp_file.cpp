#include "packer/temp_file.h"

#include "packer/pack_files.h"
#include "host/system_error.h"

TempFileBeside::~TempFileBeside() {
  if (file_ != nullptr) std::fclose(file_);
  if (!path_.empty()) RemoveTemp(path_);
}

bool TempFileBeside::Create(const std::string& target, std::string& error) {
  target_ = target;
  return CreateTempBeside(target, path_, file_, error);
}

bool TempFileBeside::Commit(bool overwrite, std::string& error) {
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!closed) {
    error = WriteError(target_);
    return false;
  }
  if (!CommitTemp(path_, target_, overwrite, error)) return false;
  path_.clear();
  return true;
}
