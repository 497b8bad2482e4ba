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
#include "archive/name_rules.h"

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
  // test, extract and list alike, and a code), or nothing when it could.
  Refusal Judge(const std::string& name);

 private:
  Length length_;
  InstallFolderNames names_;
};

// The sink every extraction that filepacker and the web module run goes
// through, so that each stops where the installer would whatever it writes
// into: test's and list's simulated folder, which writes nothing and
// refuses (or, for list, only flags) what InstallFolderCheck refuses; and
// extract's files, on disk or in memory, which are asked to create a name
// only once the check has let it through. A case-sensitive file system
// would hold "A.TXT" beside "a.txt", a volume without short names
// "LONGFI~1.TXT" beside "LongFileName.txt", and memory any name at all.
class InstallFolderFiles final : public FileSink {
 public:
  enum class Mode { kRefuse, kFlag };

  // The simulated folder of test (kRefuse) and list (kFlag).
  explicit InstallFolderFiles(Mode mode) : mode_(mode) {}
  // In front of `files`, which leave why their last create or write failed
  // in filesFailure. Names are refused, the length left to the real
  // folder's path.
  InstallFolderFiles(FileSink& files, const std::string& filesFailure)
      : mode_(Mode::kRefuse), check_(InstallFolderCheck::Length::kRealFolder), files_(&files),
        filesFailure_(&filesFailure) {}

  // Why the last create was refused, or why the files failed it or the
  // last write (kCannotCreate); nothing refused when neither did. Without
  // memory for the words they are empty.
  const Refusal& failure() const { return failure_; }
  // kFlag: per file created, in order, why it would be refused, or nothing.
  const std::vector<Refusal>& flags() const { return flags_; }

  // Without memory to remember a name, its create fails.
  FileHandle Create(const char* path, int nameStart, uint32_t creationDisposition) noexcept override;
  int32_t Write(FileHandle file, const uint8_t* bytes, int32_t count) noexcept override;
  void Finish(FileHandle file, const char* path, const EntryInfo& info) noexcept override;

 private:
  // failure_ as the files left it.
  void TakeFilesFailure() noexcept;

  Mode mode_;
  InstallFolderCheck check_{InstallFolderCheck::Length::kLongestInstallFolder};
  FileSink* files_ = nullptr;  // none: nothing is written
  const std::string* filesFailure_ = nullptr;
  Refusal failure_;
  std::vector<Refusal> flags_;
};
