#include "tests/archive/extract_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#ifndef _WIN32
#include <dirent.h>
#include <ftw.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "archive/file_time.h"
#endif

namespace archive_test {

#ifdef _WIN32

namespace {

uint64_t ToUint64(const FILETIME& time) {
  return uint64_t{time.dwHighDateTime} << 32 | time.dwLowDateTime;
}

}  // namespace

DiskStatus StatusOf(const std::string& path) {
  DiskStatus status;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return status;
  status.exists = true;
  status.attributes = attributes;
  status.writable = !(attributes & FILE_ATTRIBUTE_READONLY);
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    FILETIME creation, lastAccess, lastWrite;
    if (GetFileTime(file, &creation, &lastAccess, &lastWrite)) {
      status.creationTime = ToUint64(creation);
      status.lastAccessTime = ToUint64(lastAccess);
      status.lastWriteTime = ToUint64(lastWrite);
    }
    CloseHandle(file);
  }
  return status;
}

// Wine keeps its files on a POSIX file system, which cannot take a creation
// time.
bool CreationTimeIsKept() {
  return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") == nullptr;
}

ProgressLog::ProgressLog() {
  window_ = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  if (window_ == nullptr) ADD_FAILURE() << "cannot create the progress window";
}

ProgressLog::~ProgressLog() {
  if (window_ != nullptr) DestroyWindow(window_);
}

constexpr UINT kProgressMessage = WM_USER + 10;

void ProgressLog::Attach(PackReader& reader) { reader.SetProgressTarget(window_, kProgressMessage); }

std::vector<std::pair<int32_t, int32_t>> ProgressLog::Collect() {
  MSG message;
  while (PeekMessageA(&message, window_, kProgressMessage, kProgressMessage, PM_REMOVE)) {
    received_.emplace_back(static_cast<int32_t>(message.wParam), static_cast<int32_t>(message.lParam));
  }
  return received_;
}

#else

DiskStatus StatusOf(const std::string& path) {
  DiskStatus status;
  struct stat info;
  if (lstat(path.c_str(), &info) != 0) return status;
  status.exists = true;
  status.writable = (info.st_mode & 0222) != 0;
  status.lastAccessTime = TimespecToFileTime(info.st_atim);
  status.lastWriteTime = TimespecToFileTime(info.st_mtim);
  return status;
}

bool CreationTimeIsKept() { return false; }

ProgressLog::ProgressLog() = default;
ProgressLog::~ProgressLog() = default;

void ProgressLog::Attach(PackReader& reader) { reader.SetProgressTarget(&receiver_, kDefaultProgressMessage); }

std::vector<std::pair<int32_t, int32_t>> ProgressLog::Collect() { return received_; }

#endif

}  // namespace archive_test
