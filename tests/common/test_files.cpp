#include "tests/common/test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#include <winioctl.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
FILETIME ToFileTime(uint64_t value) {
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(value);
  time.dwHighDateTime = static_cast<DWORD>(value >> 32);
  return time;
}

uint64_t FromFileTime(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}
#else
timespec ToTimespec(uint64_t fileTime) {
  timespec time;
  time.tv_sec = static_cast<time_t>(fileTime / 10000000) - 11644473600;
  time.tv_nsec = static_cast<long>(fileTime % 10000000) * 100;
  return time;
}

uint64_t FromTimespec(const timespec& time) {
  return static_cast<uint64_t>((time.tv_sec + 11644473600) * 10000000 + time.tv_nsec / 100);
}
#endif

}  // namespace

std::string JoinPath(const std::string& folder, const std::string& name) {
#ifdef _WIN32
  return folder + "\\" + name;
#else
  return folder + "/" + name;
#endif
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  bool ok = file != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  if (file != nullptr && std::fclose(file) != 0) ok = false;
  if (!ok) ADD_FAILURE() << "cannot write " << path;
  return ok;
}

bool ReadFileBytes(const std::string& path, std::string* bytes) {
  bytes->clear();
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  char buffer[65536];
  size_t count;
  while ((count = std::fread(buffer, 1, sizeof(buffer), file)) > 0) bytes->append(buffer, count);
  std::fclose(file);
  return true;
}

std::string ReadFileBytes(const std::string& path) {
  std::string bytes;
  ReadFileBytes(path, &bytes);
  return bytes;
}

bool MakeSparseFile(const std::string& path, int64_t length) {
#ifdef _WIN32
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD returned;
  DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
  LARGE_INTEGER size;
  size.QuadPart = length;
  bool ok = SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && SetEndOfFile(file);
  CloseHandle(file);
  return ok;
#else
  WriteFileBytes(path, "");
  return truncate(path.c_str(), length) == 0;
#endif
}

bool FileExists(const std::string& path) {
#ifdef _WIN32
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
#else
  struct stat status;
  return lstat(path.c_str(), &status) == 0;
#endif
}

bool MakeFolder(const std::string& path) {
#ifdef _WIN32
  return CreateDirectoryA(path.c_str(), nullptr) != 0;
#else
  return mkdir(path.c_str(), 0777) == 0;
#endif
}

std::vector<std::string> FolderEntries(const std::string& path) {
  std::vector<std::string> names;
#ifdef _WIN32
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = found.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(search, &found));
  FindClose(search);
#else
  DIR* folder = opendir(path.c_str());
  if (folder == nullptr) return names;
  while (dirent* entry = readdir(folder)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(folder);
#endif
  std::sort(names.begin(), names.end());
  return names;
}

void SetFileTimes(const std::string& path, const FileTimes& times) {
#ifdef _WIN32
  HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  FILETIME access = ToFileTime(times.lastAccess), write = ToFileTime(times.lastWrite);
  SetFileTime(file, nullptr, &access, &write);
  CloseHandle(file);
#else
  timespec both[2] = {ToTimespec(times.lastAccess), ToTimespec(times.lastWrite)};
  utimensat(AT_FDCWD, path.c_str(), both, 0);
#endif
}

FileTimes GetFileTimes(const std::string& path) {
  FileTimes times;
#ifdef _WIN32
  HANDLE file = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  FILETIME creation, access, write;
  if (GetFileTime(file, &creation, &access, &write)) {
    times.lastAccess = FromFileTime(access);
    times.lastWrite = FromFileTime(write);
  }
  CloseHandle(file);
#else
  struct stat status;
  if (stat(path.c_str(), &status) == 0) {
    times.lastAccess = FromTimespec(status.st_atim);
    times.lastWrite = FromTimespec(status.st_mtim);
  }
#endif
  return times;
}

void SetReadOnly(const std::string& path) {
#ifdef _WIN32
  SetFileAttributesA(path.c_str(), GetFileAttributesA(path.c_str()) | FILE_ATTRIBUTE_READONLY);
#else
  chmod(path.c_str(), 0444);
#endif
}

bool IsReadOnly(const std::string& path) {
#ifdef _WIN32
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
#else
  struct stat status;
  return stat(path.c_str(), &status) == 0 && (status.st_mode & 0222) == 0;
#endif
}

std::string NativeJapaneseName() {
#ifdef _WIN32
  return "ソフト.txt";  // narrow literals are code page 932, the ANSI code page
#else
  return reinterpret_cast<const char*>(u8"ソフト.txt");
#endif
}

std::string Cp932JapaneseName() { return "ソフト.txt"; }

std::string RandomBytes(size_t count, uint32_t seed) {
  std::string bytes(count, '\0');
  uint32_t state = seed * 2654435761u + 1;
  for (char& byte : bytes) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    byte = static_cast<char>(state >> 24);
  }
  return bytes;
}
