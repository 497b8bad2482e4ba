// POSIX: the file helpers through the system's calls, names in UTF-8.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "tests/common/test_files.h"

namespace {

timespec ToTimespec(uint64_t fileTime) {
  timespec time;
  time.tv_sec = static_cast<time_t>(fileTime / 10000000) - 11644473600;
  time.tv_nsec = static_cast<long>(fileTime % 10000000) * 100;
  return time;
}

uint64_t FromTimespec(const timespec& time) {
  return static_cast<uint64_t>((time.tv_sec + 11644473600) * 10000000 + time.tv_nsec / 100);
}

}  // namespace

bool MakeSparseFile(const std::string& path, int64_t length) {
  WriteFileBytes(path, "");
  return truncate(path.c_str(), length) == 0;
}

bool FileExists(const std::string& path) {
  struct stat status;
  return lstat(path.c_str(), &status) == 0;
}

bool MakeFolder(const std::string& path) {
  return mkdir(path.c_str(), 0777) == 0;
}

std::vector<std::string> FolderEntries(const std::string& path) {
  std::vector<std::string> names;
  DIR* folder = opendir(path.c_str());
  if (folder == nullptr) return names;
  while (dirent* entry = readdir(folder)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(folder);
  std::sort(names.begin(), names.end());
  return names;
}

void SetFileTimes(const std::string& path, const FileTimes& times) {
  timespec both[2] = {ToTimespec(times.lastAccess), ToTimespec(times.lastWrite)};
  utimensat(AT_FDCWD, path.c_str(), both, 0);
}

FileTimes GetFileTimes(const std::string& path) {
  FileTimes times;
  struct stat status;
  if (stat(path.c_str(), &status) == 0) {
    times.lastAccess = FromTimespec(status.st_atim);
    times.lastWrite = FromTimespec(status.st_mtim);
  }
  return times;
}

void SetReadOnly(const std::string& path) {
  chmod(path.c_str(), 0444);
}

bool IsReadOnly(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 && (status.st_mode & 0222) == 0;
}

std::string NativeJapaneseName() {
  return reinterpret_cast<const char*>(u8"ソフト.txt");
}


std::string CurrentFolder() {
  char path[4096];
  return getcwd(path, sizeof path) != nullptr ? path : "";
}

bool SetCurrentFolder(const std::string& path) { return chdir(path.c_str()) == 0; }

const bool kNamesIgnoreCase = false;
const bool kNamesHoldAnyByte = true;

bool MakeSymbolicLink(const std::string& target, const std::string& link) {
  return symlink(target.c_str(), link.c_str()) == 0;
}
