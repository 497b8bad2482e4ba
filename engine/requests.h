// The engine under every front end. `filepacker`'s commands, the web
// module and the fuzzers ask the same questions here and get the same
// answers, as plain structs: what was found, or a refusal with a code to
// decide by and words to show. Each front end only shows the answer: the
// command prints it and writes files, the module hands it to JavaScript.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "archive/refusal_code.h"
#include "base/byte_store.h"
#include "inspect/archive_file.h"
#include "inspect/extraction_watch.h"
#include "inspect/payload_integrity.h"
#include "packer/archive_writer.h"

// Exit statuses of every command, which the module reports too.
constexpr int kExitSuccess = 0;
constexpr int kExitFailed = 1;  // the archive was refused, or the test or extraction failed
constexpr int kExitUsage = 2;   // wrong arguments, or a file that cannot be read

// What every answer holds besides its own fields.
struct Answer {
  Refusal refusal;  // code kNone when the request was carried out
  // Refused for how it was asked (files that cannot be packed, a file that
  // cannot be read), before any work, rather than failed in the work.
  bool asGiven = false;

  int ExitStatus() const { return !refusal.Refused() ? kExitSuccess : asGiven ? kExitUsage : kExitFailed; }
};

// An archive or installer to read: a file, read in pieces, or bytes in
// memory. For an installer, only its payload counts.
class ArchiveInput {
 public:
  Answer OpenFile(const std::string& path);
  // Keeps the bytes; name is what messages call them.
  Answer TakeBytes(const std::string& name, std::vector<uint8_t> bytes);

  // Valid once opened.
  ArchiveBytes& bytes() { return *bytes_; }
  const ArchiveContainer& container() const { return container_; }
  const std::string& name() const { return name_; }

 private:
  std::string name_;
  ArchiveFile file_;
  std::vector<uint8_t> memory_;
  std::unique_ptr<ArchiveBytes> memoryBytes_;
  ArchiveBytes* bytes_ = nullptr;
  ArchiveContainer container_;
};

struct ListTotals {
  int64_t size = 0;
  int64_t packed = 0;
  int64_t chunks = 0;
  int refused = 0;
};

// The entries' sizes, packed sizes and chunks added up, and how many names
// the install folder would refuse.
ListTotals AddUpEntries(const ArchiveWalk& walk);

// `list`: every entry, even past a damaged payload (for what it shows of the
// damage). Refused when the walk stopped, or when the installer would
// refuse the payload at start-up.
struct ListResult : Answer {
  IntegrityCheck check;
  ArchiveWalk walk;
  ListTotals totals;
};
ListResult ListArchive(ArchiveInput& input);

// `test`: a damaged payload is refused before any of it is read, as the
// installer does at start-up.
struct TestResult : Answer {
  IntegrityCheck check;
  ArchiveWalk walk;
};
TestResult TestArchive(ArchiveInput& input);

// `extract`: into `files`, the command's disk folder or the module's memory,
// whose names go behind `folder` (without a trailing separator), through
// the install folder's rules; refused before a file is made when the
// payload is damaged or its size field claims more than it holds.
struct ExtractRequest {
  ArchiveInput* input = nullptr;
  std::string folder;
  FileSink* files = nullptr;
  const std::string* filesFailure = nullptr;  // where files leaves why a create or write failed
  ProgressReceiver* progress = nullptr;       // may be null
};
struct ExtractResult : Answer {
  ArchiveWalk walk;
};
ExtractResult ExtractArchive(const ExtractRequest& request);

// `installer`: the installer program without a payload (the stub) with an
// archive added as its payload, packed from `sources` or taken from
// `archive`, and written to `installer` a piece at a time, so that memory
// stays the same whatever the package's size.
struct MakeInstallerRequest {
  std::vector<PackSource> sources;  // the files to pack, when no archive is taken
  PackOptions packing;              // how (overwrite does not apply)
  ArchiveInput* archive = nullptr;  // or the archive, or the installer whose payload, to carry
  std::span<const uint8_t> stub;
  std::string stubName;             // what messages call the stub
  bool allowNoSetup = false;        // a package without Setup.exe, only to be unpacked
  std::string output;               // what messages call the installer
  // Where the packed archive is kept, and read back from, while the
  // installer is written around it: a file beside the output, or memory.
  ByteSink* packedSink = nullptr;
  ByteSource* packedSource = nullptr;
  ByteSink* installer = nullptr;
};
struct InstallerResult : Answer {
  ArchiveFault takenFault;  // why `test` refuses a taken archive, when it does
  int64_t files = 0;
  int64_t bytesIn = 0;
  uint32_t archiveBytes = 0;
  uint64_t stubBytes = 0;
  uint64_t installerBytes = 0;
  uint64_t payloadOffset = 0;
};
InstallerResult MakeInstaller(const MakeInstallerRequest& request);
