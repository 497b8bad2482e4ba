// The file sink of `extract`: the system's own files (theSystemFiles), and
// why a create or write failed, in words, for the command's message. The
// installer's own sink says nothing: it shows only its fixed texts.
#pragma once

#include <string>

#include "archive/pack_reader.h"

class DiskFiles {
 public:
  // One at a time: the sink's functions reach the newest one.
  DiskFiles();
  ~DiskFiles();
  DiskFiles(const DiskFiles&) = delete;
  DiskFiles& operator=(const DiskFiles&) = delete;

  void Attach(PackReader& reader) const;
  // "cannot create: ..." or "cannot write: ..."; empty after a success.
  const std::string& failure() const { return failure_; }

 private:
  static FileHandle Create(const char* path, int nameStart, uint32_t creationDisposition);
  static int32_t Write(FileHandle file, const uint8_t* bytes, int32_t count);
  static void Finish(FileHandle file, const char* path, const EntryInfo& info);

  std::string failure_;
  DiskFiles* previous_;
  static DiskFiles* current_;
  static const FileSink kSink;
};

// The calling thread's last system error (errno, or GetLastError()), and
// its meaning in plain words (ASCII).
int LastSystemError();
std::string SystemErrorText(int error);
