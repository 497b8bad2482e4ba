// The temporary file that becomes the output only once it is complete.
#pragma once

#include <cstdio>
#include <string>

#include "base/byte_store.h"

// Made beside the target (so that the final move stays on one volume),
// under a name that fits wherever the target fits, open for binary writing
// and reading back, and removed unless committed: when the object goes,
// also through an exception, and when the process is interrupted (POSIX:
// any signal sent to end it, SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE,
// SIGUSR1 and the like; on Windows Ctrl+C, Ctrl+Break or the console's
// closing), before the process ends as the signal says. A file size limit
// fails the write instead of ending the process.
class TempFileBeside final : public ByteSink, public ByteSource {
 public:
  TempFileBeside() = default;
  ~TempFileBeside();
  TempFileBeside(const TempFileBeside&) = delete;
  TempFileBeside& operator=(const TempFileBeside&) = delete;

  bool Create(const std::string& target, std::string& error);
  std::FILE* file() const { return file_; }
  // Seeks only when the offset is not where the file stands.
  bool WriteAt(uint64_t offset, std::span<const uint8_t> bytes) noexcept override;
  bool ReadAt(uint64_t offset, uint8_t* into, size_t count) noexcept override;
  // Closes the file and moves it to the target, replacing an existing one
  // only with `overwrite`. A write error that shows on closing fails it.
  bool Commit(bool overwrite, std::string& error);

 private:
  std::string target_;
  std::string path_;
  std::FILE* file_ = nullptr;
  uint64_t position_ = 0;  // where the file stands; UINT64_MAX: not known
  bool reading_ = false;   // the last access read: a write must seek first
};
