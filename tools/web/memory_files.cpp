#include "tools/web/memory_files.h"

#include <errno.h>

#include "archive/entry_path.h"
#include "tools/filepacker/disk_files.h"

FileHandle MemoryFiles::Refuse(int error) noexcept {
  failure_ = "cannot create: " + CreationFailureText(error);
  return NoFileHandle();
}

FileHandle MemoryFiles::Create(const char* path, int nameStart, uint32_t creationDisposition) noexcept {
  if (creationDisposition != kCreateNew) return Refuse(EINVAL);
  char name[4 * kPathBufferSize];
  if (!MakeUtf8Name(path + nameStart, name, sizeof(name))) return Refuse(errno);
  const std::string utf8 = name;
  // A fresh folder holds only "." and "..", and no subfolder.
  if (utf8 == "." || utf8 == "..") return Refuse(EEXIST);
  if (utf8.find('/') != std::string::npos) return Refuse(ENOENT);
  if (!names_.insert(utf8).second) return Refuse(EEXIST);
  files_.push_back({utf8, {}, {}});
  failure_.clear();
  return static_cast<FileHandle>(files_.size() - 1);
}

int32_t MemoryFiles::Write(FileHandle file, const uint8_t* bytes, int32_t count) noexcept {
  std::vector<uint8_t>& target = files_[static_cast<size_t>(file)].bytes;
  target.insert(target.end(), bytes, bytes + count);
  return count;
}

void MemoryFiles::Finish(FileHandle file, const char*, const EntryInfo& info) noexcept {
  files_[static_cast<size_t>(file)].info = info;
}
