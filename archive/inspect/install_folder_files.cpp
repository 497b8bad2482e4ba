#include "archive/inspect/install_folder_files.h"

#include <new>

#include "packer/name_rules.h"

FileHandle InstallFolderFiles::Create(const char* path, int nameStart, uint32_t) noexcept {
  try {
    const std::string name = path + nameStart;
    std::string refusal = InstallNameRefusal(name);
    std::string key = WindowsNameKey(name);
    for (size_t i = 0; i < keys_.size() && refusal.empty(); ++i) {
      if (keys_[i] == key) {
        refusal = "Windows takes it for the same file as entry " + std::to_string(i + 1) + ", created before it";
      }
    }
    if (mode_ == Mode::kRefuse && !refusal.empty()) {
      failure_ = refusal;
      return NoFileHandle();
    }
    failure_.clear();
    flags_.push_back(std::move(refusal));
    keys_.push_back(std::move(key));
  } catch (const std::bad_alloc&) {
    // The two lists keep one element per file created.
    if (flags_.size() > keys_.size()) flags_.pop_back();
    failure_.clear();
    return NoFileHandle();
  }
  // Any handle but NoFileHandle(): nothing is ever opened.
  return static_cast<FileHandle>(keys_.size());
}
