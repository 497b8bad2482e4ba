// The file sink of `extract`: the system's own files (theSystemFiles), and
// why a create or write failed, in words, for the command's message. The
// installer's own sink says nothing: it shows only its fixed texts. The
// install folder's rules stand in front of it (ExtractArchiveInto), so that
// extract stops where the installer would on any system, before the system
// is asked for a name the installer could not create.
#pragma once

#include <string>

#include "archive/pack_reader.h"

class DiskFiles final : public FileSink {
 public:
  // "cannot create: ..." or "cannot write: ..."; empty after a success, and
  // when there was no memory for the words.
  const std::string& failure() const { return failure_; }

  FileHandle Create(const char* path, int nameStart, uint32_t creationDisposition) noexcept override;
  int32_t Write(FileHandle file, const uint8_t* bytes, int32_t count) noexcept override;
  void Finish(FileHandle file, const char* path, const EntryInfo& info) noexcept override;

 private:
  // Sets failure_ to prefix and the system's words for the last error.
  void Explain(const char* prefix) noexcept;

  std::string failure_;
};

// Why an entry could not be created or written, in plain words for the
// usual causes, and in the system's own words for the rest.
std::string CreationFailureText(int error);
