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
  size_t earlier = 0;
  const InstallFolderNames::Clash clash = self.names_.Add(name, earlier);
  if (refusal.empty() && clash == InstallFolderNames::Clash::kSameFile) {
    refusal = "Windows takes it for the same file as entry " + std::to_string(earlier + 1) + ", created before it";
  } else if (refusal.empty() && clash == InstallFolderNames::Clash::kShortName) {
    refusal = "its name is a short (8.3) name that Windows may give entry " + std::to_string(earlier + 1) +
              ", created before it";
  }
  if (self.mode_ == Mode::kRefuse && !refusal.empty()) {
    self.failure_ = refusal;
    return NoFileHandle();
  }
  self.failure_.clear();
  self.flags_.push_back(refusal);
  // Any handle but NoFileHandle(): nothing is ever opened.
#ifdef _WIN32
  return reinterpret_cast<FileHandle>(static_cast<uintptr_t>(self.flags_.size()));
#else
  return static_cast<FileHandle>(self.flags_.size());
#endif
}

int32_t InstallFolderFiles::Write(FileHandle, const uint8_t*, int32_t count) { return count; }

void InstallFolderFiles::Finish(FileHandle, const char*, const EntryInfo&) {}
