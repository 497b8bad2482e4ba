// Scratch folders for tests that touch the file system. Paths are native
// narrow strings: code page 932 on Win32 (under the test runner), UTF-8 on
// POSIX.
#pragma once

#include <string>

// The system's path separator (platform/<system>/temp_folder.cpp).
extern const char kSeparator[];

// A fresh empty folder under the system's temporary folder for one test,
// removed with all it holds when the object goes.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const char* path() const { return path_.c_str(); }
  // path() joined with name.
  std::string operator/(const std::string& name) const { return path_ + kSeparator + name; }

 private:
  std::string path_;
};

// Removes a file, or a folder with everything below it, read-only files
// included; symbolic links are removed, never followed.
void RemoveTree(const std::string& path);
