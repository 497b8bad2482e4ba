// What packing asks of the file system, the same on every system: what is
// refused and in what words. The system's own calls, and the temporary files
// that an interruption removes, are behind host/file_system.h.
#include "packer/pack_files.h"

#include "host/cp932_text.h"
#include "host/file_system.h"
#include "host/system_error.h"

using file_system::Kind;
using file_system::Status;

namespace {

std::string ChangedError(const PackSource& source) {
  return source.path + ": is no longer the regular file of " + std::to_string(source.size) +
         " bytes that was checked (it was changed or replaced while packing)";
}

}  // namespace

bool DescribePackFile(const std::string& path, PackSource& source, Refusal& refusal, Links links) {
  refusal.code = RefusalCode::kOther;
  std::string& error = refusal.text;
  Status status;
  if (!file_system::Stat(path, false, status)) {
    refusal.code = RefusalCode::kUnreadable;
    error = PathError(path);
    return false;
  }
  if (status.kind == Kind::kFolder) {
    error = path + ": is a folder";
    return false;
  }
  const bool link = status.kind == Kind::kLink;
  if (link && links == Links::kRefuse) {
    error = path + ": " + file_system::LinkWords(path) +
            "; links are not packed (--dereference packs the files they point to)";
    return false;
  }
  if (link && !file_system::Stat(path, true, status)) {
    refusal.code = RefusalCode::kUnreadable;
    error = PathError(path) + " (the target of a symbolic link)";
    return false;
  }
  if (status.kind == Kind::kFolder) {
    error = path + ": is a folder";
    return false;
  }
  if (status.kind != Kind::kRegular) {
    error = path + ": not a regular file";
    return false;
  }
  if (!file_system::CanRead(path)) {
    refusal.code = RefusalCode::kUnreadable;
    error = PathError(path);
    return false;
  }
  std::string folder, name;
  file_system::SplitPath(path, folder, name);
  if (!StoredNameOf(path, name, source, refusal)) return false;
  source.path = path;
  source.followLink = link;
  source.size = status.identity.size;
  source.identity = status.identity;
  source.attributes = status.attributes;
  source.creationTime = status.creationTime;
  source.lastWriteTime = status.lastWriteTime;
  // Not the access time: packing reads the file and so may move it, and the
  // same files must give the same archive every time.
  source.lastAccessTime = source.lastWriteTime;
  refusal = Refusal();
  return true;
}

bool StoredNameOf(const std::string& path, const std::string& name, PackSource& source, Refusal& refusal) {
  if (NativeToCp932(name, source.storedName)) return true;
  refusal = {RefusalCode::kNoCodePageForm, path + ": the name \"" + name + "\" has no code page 932 form"};
  return false;
}

bool DescribePackFile(const std::string& path, PackSource& source, std::string& error, Links links) {
  Refusal refusal;
  if (DescribePackFile(path, source, refusal, links)) return true;
  error = refusal.text;
  return false;
}

bool OpenPackFile(const PackSource& source, std::FILE*& file, std::string& error) {
  Status status;
  bool linkRefused = false;
  if (!file_system::OpenToRead(source.path, source.followLink, file, status, linkRefused)) {
    error = linkRefused ? source.path + ": has become a symbolic link since it was checked" : PathError(source.path);
    return false;
  }
  if (status.kind != Kind::kRegular || status.identity != source.identity) {
    error = ChangedError(source);
    std::fclose(file);
    file = nullptr;
    return false;
  }
  return true;
}

bool PackFileUnchanged(std::FILE* file, const PackSource& source, std::string& error) {
  Status status;
  if (file_system::StatOpen(file, status) && status.identity == source.identity) return true;
  error = ChangedError(source);
  return false;
}
