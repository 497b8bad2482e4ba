// Reads an archive file whole into memory, as the installer holds its
// payload; or an installer executable, of which it keeps the payload.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

enum class LoadOutcome {
  kLoaded,
  kUnreadable,
  kTooLarge,
  kNoPayload,  // an executable that is no installer, or whose PE structure is refused
};

// What the file was. For an installer, where its payload lies in it.
struct ArchiveContainer {
  bool installer = false;
  uint32_t payloadOffset = 0;
  uint32_t payloadSize = 0;
  uint32_t payloadLanguage = 0;
  bool checked = false;  // the installer carries a check record (archive/payload_check.h)
  std::vector<uint8_t> checkRecord;
};

// Files of 2 GiB or more are refused without being read: the format's
// offsets are signed 32-bit; so is anything but a regular file
// (OpenInputFile). The error names the file.
LoadOutcome LoadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);

// As LoadWholeFile; a file that begins like an executable ("MZ") is read as
// an installer, and `bytes` receive its payload (the resource "KORMIT" of
// type "FILESPACK"); container, when given, its check record.
LoadOutcome LoadArchiveFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error,
                            ArchiveContainer* container = nullptr);

// The same for bytes already in memory (named `name` in errors): an
// executable's are replaced by its payload; anything else is taken as an
// archive. Never kUnreadable or kTooLarge.
LoadOutcome TakeArchive(const std::string& name, std::vector<uint8_t>& bytes, std::string& error,
                        ArchiveContainer* container = nullptr);
