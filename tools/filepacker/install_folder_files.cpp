#include "tools/filepacker/install_folder_files.h"

#include <cstdint>

#include "packer/name_rules.h"

InstallFolderFiles* InstallFolderFiles::current_ = nullptr;
const FileSink InstallFolderFiles::kSink = {Create, Write, Finish};

InstallFolderFiles::InstallFolderFiles(Mode mode) : mode_(mode), previous_(current_) { current_ = this; }

InstallFolderFiles::~InstallFolderFiles() { current_ = previous_; }

void InstallFolderFiles::Attach(PackReader& reader) const { reader.fileSink = &kSink; }

FileHandle InstallFolderFiles::Create(const char* path, int nameStart, uint32_t) {
  InstallFolderFiles& self = *current_;
  const std::string name = path + nameStart;
  std::string refusal = InstallNameRefusal(name);
  const std::string key = WindowsNameKey(name);
  for (size_t i = 0; i < self.keys_.size() && refusal.empty(); ++i) {
    if (self.keys_[i] == key) {
      refusal = "Windows takes it for the same file as entry " + std::to_string(i + 1) + ", created before it";
    }
  }
  if (self.mode_ == Mode::kRefuse && !refusal.empty()) {
    self.failure_ = refusal;
    return NoFileHandle();
  }
  self.failure_.clear();
  self.keys_.push_back(key);
  self.flags_.push_back(refusal);
  // Any handle but NoFileHandle(): nothing is ever opened.
#ifdef _WIN32
  return reinterpret_cast<FileHandle>(static_cast<uintptr_t>(self.keys_.size()));
#else
  return static_cast<FileHandle>(self.keys_.size());
#endif
}

int32_t InstallFolderFiles::Write(FileHandle, const uint8_t*, int32_t count) { return count; }

void InstallFolderFiles::Finish(FileHandle, const char*, const EntryInfo&) {}
