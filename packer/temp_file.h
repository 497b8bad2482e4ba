// The temporary file that becomes the output only once it is complete.
#pragma once

#include <cstdio>
#include <string>

// Made beside the target (so that the final move stays on one volume) and
// removed unless committed: when the object goes, also through an
// exception, and when the process is interrupted (see CreateTempBeside).
class TempFileBeside {
 public:
  TempFileBeside() = default;
  ~TempFileBeside();
  TempFileBeside(const TempFileBeside&) = delete;
  TempFileBeside& operator=(const TempFileBeside&) = delete;

  bool Create(const std::string& target, std::string& error);
  std::FILE* file() const { return file_; }
  // Closes the file and moves it to the target, replacing an existing one
  // only with `overwrite`. A write error that shows on closing fails it.
  bool Commit(bool overwrite, std::string& error);

 private:
  std::string target_;
  std::string path_;
  std::FILE* file_ = nullptr;
};
