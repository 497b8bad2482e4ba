// POSIX: file metadata from stat(), names from UTF-8, and a temporary file
// that is linked into place, so that an existing archive is never replaced
// unless the caller asks for it.
#include "packer/pack_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "packer/cp932_text.h"

namespace {

constexpr uint32_t kAttributeArchive = 0x20;
constexpr uint32_t kAttributeReadOnly = 0x01;
// Seconds from 1601-01-01 (FILETIME's epoch) to 1970-01-01.
constexpr int64_t kEpochDifference = 11644473600;

uint64_t ToFileTime(const timespec& time) {
  return static_cast<uint64_t>((time.tv_sec + kEpochDifference) * 10000000 + time.tv_nsec / 100);
}

std::string LastElement(const std::string& path) {
  std::string trimmed = path;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  size_t slash = trimmed.rfind('/');
  return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string SystemError(const std::string& path) { return path + ": " + std::strerror(errno); }

}  // namespace

bool DescribePackFile(const std::string& path, PackSource& source, std::string& error) {
  struct stat status;
  if (stat(path.c_str(), &status) != 0) {
    error = SystemError(path);
    return false;
  }
  if (S_ISDIR(status.st_mode)) {
    error = path + ": is a folder";
    return false;
  }
  if (!S_ISREG(status.st_mode)) {
    error = path + ": not a regular file";
    return false;
  }
  if (access(path.c_str(), R_OK) != 0) {
    error = SystemError(path);
    return false;
  }
  std::string name = LastElement(path);
  if (!NativeToCp932(name, source.storedName)) {
    error = path + ": the name \"" + name + "\" has no code page 932 form";
    return false;
  }
  source.path = path;
  source.size = status.st_size;
  source.attributes = kAttributeArchive;
  if ((status.st_mode & S_IWUSR) == 0) source.attributes |= kAttributeReadOnly;
  source.lastWriteTime = ToFileTime(status.st_mtim);
  // Most POSIX file systems keep no creation time that stat() reports. The
  // access time is not taken: packing reads the file and so moves it, and the
  // same files must give the same archive every time.
  source.creationTime = source.lastWriteTime;
  source.lastAccessTime = source.lastWriteTime;
  return true;
}

bool IsFolder(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool PathExists(const std::string& path) {
  struct stat status;
  return lstat(path.c_str(), &status) == 0;
}

bool ListFolder(const std::string& folder, std::vector<std::string>& paths, std::string& error) {
  paths.clear();
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) {
    error = SystemError(folder);
    return false;
  }
  std::vector<std::string> names;
  while (dirent* entry = readdir(dir)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    names.push_back(entry->d_name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  std::string prefix = folder;
  if (prefix.empty() || prefix.back() != '/') prefix += '/';
  for (const std::string& name : names) paths.push_back(prefix + name);
  return true;
}

bool CreateTempBeside(const std::string& target, std::string& tempPath, std::FILE*& file,
                      std::string& error) {
  std::string pattern = FolderOf(target) + "/." + LastElement(target) + ".XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = mkstemp(name.data());
  if (fd < 0) {
    error = SystemError(pattern);
    return false;
  }
  tempPath = name.data();
  // mkstemp makes the file private; an archive is an ordinary file.
  mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  file = fdopen(fd, "wb");
  if (file == nullptr) {
    error = SystemError(tempPath);
    close(fd);
    unlink(tempPath.c_str());
    return false;
  }
  return true;
}

bool CommitTemp(const std::string& tempPath, const std::string& target, bool overwrite,
                std::string& error) {
  if (overwrite) {
    if (rename(tempPath.c_str(), target.c_str()) != 0) {
      error = SystemError(target);
      return false;
    }
    return true;
  }
  // link() fails when the target exists: no window in which another
  // process's file could be replaced.
  if (link(tempPath.c_str(), target.c_str()) == 0) {
    unlink(tempPath.c_str());
    return true;
  }
  if (errno == EEXIST) {
    error = target + ": already exists";
    return false;
  }
  // File systems without hard links: check, then rename.
  if (errno == EPERM || errno == ENOTSUP || errno == EOPNOTSUPP || errno == EXDEV) {
    if (PathExists(target)) {
      error = target + ": already exists";
      return false;
    }
    if (rename(tempPath.c_str(), target.c_str()) == 0) return true;
  }
  error = SystemError(target);
  return false;
}

void RemoveFile(const std::string& path) { unlink(path.c_str()); }
