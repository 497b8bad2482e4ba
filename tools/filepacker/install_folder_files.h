// The file sink of `test` and `list`: writes nothing and acts as a fresh,
// empty install folder on Windows would. It refuses (or, for list, only
// flags) what Windows could not create there: a name with a separator (no
// subfolder exists), one too long for the longest install folder, one with
// a character Windows names cannot hold, and one that Windows takes for a
// file created before in this extraction (InstallFolderNames). Behind kLongestInstallFolder the
// extractor's own path check is the installer's.
#pragma once

#include <string>
#include <vector>

#include "archive/pack_reader.h"
#include "packer/name_rules.h"

class InstallFolderFiles {
 public:
  enum class Mode { kRefuse, kFlag };

  // One at a time: the sink's functions reach the newest one.
  explicit InstallFolderFiles(Mode mode);
  ~InstallFolderFiles();
  InstallFolderFiles(const InstallFolderFiles&) = delete;
  InstallFolderFiles& operator=(const InstallFolderFiles&) = delete;

  void Attach(PackReader& reader) const;
  // Why the last create was refused (kRefuse); empty when it was not.
  const std::string& failure() const { return failure_; }
  // kFlag: per file created, in order, why it would be refused, or empty.
  const std::vector<std::string>& flags() const { return flags_; }

 private:
  static FileHandle Create(const char* path, int nameStart, uint32_t creationDisposition);
  static int32_t Write(FileHandle file, const uint8_t* bytes, int32_t count);
  static void Finish(FileHandle file, const char* path, const EntryInfo& info);

  Mode mode_;
  std::string failure_;
  InstallFolderNames names_;
  std::vector<std::string> flags_;
  InstallFolderFiles* previous_;
  static InstallFolderFiles* current_;
  static const FileSink kSink;
};
