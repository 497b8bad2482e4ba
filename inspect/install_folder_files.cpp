#include "inspect/install_folder_files.h"

#include <new>

#include "base/installer_rules.h"

Refusal InstallFolderCheck::Judge(const std::string& name) {
  Refusal refusal =
      length_ == Length::kLongestInstallFolder ? InstallNameRefusal(name) : InstallNameFormRefusal(name);
  size_t earlier = 0;
  const InstallFolderNames::Clash clash = names_.Add(name, earlier);
  if (!refusal.Refused() && clash == InstallFolderNames::Clash::kSameFile) {
    refusal = {RefusalCode::kSameFile,
               kSameFileClash + ("entry " + std::to_string(earlier + 1)) + ", created before it"};
  } else if (!refusal.Refused() && clash == InstallFolderNames::Clash::kShortName) {
    refusal = {RefusalCode::kShortName,
               kShortNameClash + ("entry " + std::to_string(earlier + 1)) + ", created before it"};
  }
  return refusal;
}

void InstallFolderFiles::TakeFilesFailure() noexcept {
  failure_.code = RefusalCode::kCannotCreate;
  try {
    failure_.text = *filesFailure_;
  } catch (const std::bad_alloc&) {
    failure_.text.clear();
  }
}

FileHandle InstallFolderFiles::Create(const char* path, int nameStart, uint32_t creationDisposition) noexcept {
  try {
    Refusal refusal = check_.Judge(path + nameStart);
    if (mode_ == Mode::kRefuse && refusal.Refused()) {
      failure_ = std::move(refusal);
      return NoFileHandle();
    }
    failure_ = Refusal();
    if (mode_ == Mode::kFlag) flags_.push_back(std::move(refusal));
  } catch (const std::bad_alloc&) {
    failure_ = {RefusalCode::kOutOfMemory, {}};
    return NoFileHandle();
  }
  // Simulated: any handle but NoFileHandle(), since nothing is ever opened.
  if (files_ == nullptr) return static_cast<FileHandle>(flags_.size());
  const FileHandle file = files_->Create(path, nameStart, creationDisposition);
  if (file == NoFileHandle()) TakeFilesFailure();
  return file;
}

int32_t InstallFolderFiles::Write(FileHandle file, const uint8_t* bytes, int32_t count) noexcept {
  if (files_ == nullptr) return count;
  const int32_t written = files_->Write(file, bytes, count);
  if (written != count) TakeFilesFailure();
  return written;
}

void InstallFolderFiles::Finish(FileHandle file, const char* path, const EntryInfo& info) noexcept {
  if (files_ != nullptr) files_->Finish(file, path, info);
}
