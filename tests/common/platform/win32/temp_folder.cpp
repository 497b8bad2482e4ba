#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "tests/common/temp_folder.h"

extern const char kSeparator[] = "\\";

TempFolder::TempFolder() {
  char base[MAX_PATH];
  GetTempPathA(sizeof(base), base);
  for (unsigned attempt = GetTickCount() ^ GetCurrentProcessId();; ++attempt) {
    char name[32];
    std::snprintf(name, sizeof(name), "kx%08x", attempt);
    path_ = std::string(base) + name;
    if (CreateDirectoryA(path_.c_str(), nullptr)) return;
    if (GetLastError() != ERROR_ALREADY_EXISTS) {
      ADD_FAILURE() << "cannot create " << path_;
      return;
    }
  }
}

void RemoveTree(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
    return;
  }
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name != "." && name != "..") RemoveTree(path + "\\" + name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryA(path.c_str());
}

TempFolder::~TempFolder() { RemoveTree(path_); }
