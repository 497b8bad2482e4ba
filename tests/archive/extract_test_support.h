// Helpers of the extractor's tests: the disk's, one implementation per
// system, and a progress log. Paths are native narrow strings: code page 932 on Win32,
// UTF-8 on POSIX.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "archive/pack_reader.h"
#include "tests/archive/extract_archive_builder.h"
#include "tests/common/temp_folder.h"
#include "tests/common/test_files.h"

namespace archive_test {

struct DiskStatus {
  bool exists = false;
  bool writable = false;
  uint32_t attributes = 0;  // POSIX: only read-only (0x01), from the permissions
  uint64_t creationTime = 0;  // Win32 only, and not under Wine
  uint64_t lastAccessTime = 0;
  uint64_t lastWriteTime = 0;
};
DiskStatus StatusOf(const std::string& path);
// Whether the system keeps creation times that SetFileTime can set.
bool CreationTimeIsKept();

// The system's own reading of code page 932 (iconv natively,
// MultiByteToWideChar on Windows): whether a byte starts a two-byte
// character, and whether two bytes make one character.
bool SystemLeadByte(uint8_t byte);
bool SystemCharacter(uint8_t lead, uint8_t trail);

// Records the extractor's progress; it comes on the extracting thread,
// which is the test's.
class ProgressLog final : public ProgressReceiver {
 public:
  void OnProgress(int32_t position, int32_t total) noexcept override { received_.emplace_back(position, total); }
  // The (position, total) pairs received so far, in order.
  const std::vector<std::pair<int32_t, int32_t>>& Collect() const { return received_; }

 private:
  std::vector<std::pair<int32_t, int32_t>> received_;
};

// One extraction by a fresh extractor, with its report.
struct Extracted {
  int result;
  UnpackReport report;
};
inline Extracted ExtractArchive(const Bytes& archive, const char* folder, PackReader* reader = nullptr) {
  PackReader own;
  Extracted out{};
  out.result = (reader != nullptr ? reader : &own)->ExtractFromMemory(archive.data(), folder, &out.report);
  return out;
}

inline std::string Contents(const std::string& path) {
  std::string content;
  return ReadFileBytes(path, &content) ? content : std::string("<missing>");
}

}  // namespace archive_test
