// The installer's install folder as filepacker plays it: a fresh, empty
// folder on Windows. It refuses what Windows could not create there: a name
// with a separator (no subfolder exists), one too long for the longest
// install folder, one with a character Windows names cannot hold, and one
// that Windows takes for a file created before in this extraction
// (InstallFolderNames). Behind kLongestInstallFolder the extractor's own
// path check is the installer's.
#pragma once

#include <string>
#include <vector>

#include "archive/pack_reader.h"
#include "packer/name_rules.h"

// The names created one after another in the install folder, each judged
// as the installer would fare with it there. test and list judge the
// length behind the longest install folder; extract, which writes into a
// folder of its own, leaves the length to the extractor's check of that
// folder's real path.
class InstallFolderCheck {
 public:
  enum class Length { kLongestInstallFolder, kRealFolder };

  explicit InstallFolderCheck(Length length) : length_(length) {}
  // Records the name; why the installer could not create it (the words of
  // test, extract and list alike), or empty when it could.
  std::string Refusal(const std::string& name);

 private:
  Length length_;
  InstallFolderNames names_;
};

// The file sink of `test` and `list`: writes nothing and refuses (or, for
// list, only flags) what InstallFolderCheck refuses.
class InstallFolderFiles final : public FileSink {
 public:
  enum class Mode { kRefuse, kFlag };

  explicit InstallFolderFiles(Mode mode) : mode_(mode) {}

  // Why the last create was refused (kRefuse); empty when it was not.
  const std::string& failure() const { return failure_; }
  // kFlag: per file created, in order, why it would be refused, or empty.
  const std::vector<std::string>& flags() const { return flags_; }

  // Without memory to remember a name, its create fails.
  FileHandle Create(const char* path, int nameStart, uint32_t creationDisposition) noexcept override;
  int32_t Write(FileHandle, const uint8_t*, int32_t count) noexcept override { return count; }
  void Finish(FileHandle, const char*, const EntryInfo&) noexcept override {}

 private:
  Mode mode_;
  std::string failure_;
  InstallFolderCheck check_{InstallFolderCheck::Length::kLongestInstallFolder};
  std::vector<std::string> flags_;
};
