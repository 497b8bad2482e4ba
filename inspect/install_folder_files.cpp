#include "inspect/install_folder_files.h"

#include <new>

#include "base/installer_rules.h"

std::string InstallFolderCheck::Refusal(const std::string& name) {
  std::string refusal =
      length_ == Length::kLongestInstallFolder ? InstallNameRefusal(name) : InstallNameFormRefusal(name);
  size_t earlier = 0;
  const InstallFolderNames::Clash clash = names_.Add(name, earlier);
  if (refusal.empty() && clash == InstallFolderNames::Clash::kSameFile) {
    refusal = kSameFileClash + ("entry " + std::to_string(earlier + 1)) + ", created before it";
  } else if (refusal.empty() && clash == InstallFolderNames::Clash::kShortName) {
    refusal = kShortNameClash + ("entry " + std::to_string(earlier + 1)) +
              ", created before it";
  }
  return refusal;
}

FileHandle InstallFolderFiles::Create(const char* path, int nameStart, uint32_t) noexcept {
  try {
    std::string refusal = check_.Refusal(path + nameStart);
    if (mode_ == Mode::kRefuse && !refusal.empty()) {
      failure_ = refusal;
      return NoFileHandle();
    }
    failure_.clear();
    flags_.push_back(std::move(refusal));
  } catch (const std::bad_alloc&) {
    failure_.clear();
    return NoFileHandle();
  }
  // Any handle but NoFileHandle(): nothing is ever opened.
  return static_cast<FileHandle>(flags_.size());
}
