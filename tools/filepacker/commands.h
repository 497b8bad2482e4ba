// The commands of filepacker. Each prints its own output and returns
// the program's exit status.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "archive/archive_format.h"
#include "packer/archive_writer.h"
#include "tools/filepacker/extraction.h"
#include "engine/requests.h"


struct PackRequest {
  int32_t blockSize = archive_format::kDefaultBlockSize;
  bool force = false;
  bool adaptive = false;  // pieces of varying length instead of the fixed cut
  int jobs = 0;           // encoding threads; 0: one per hardware thread
  bool dereference = false;  // pack the files that symbolic links point to
  std::string archive;
  std::vector<std::string> paths;
};

// `installer`: the installer program with a payload, packed from files or
// taken from an archive.
struct InstallerRequest {
  PackRequest pack;  // the files to pack and how; the archive goes to a temporary file
  std::string archive;  // or the archive (or another installer) whose payload to take
  std::string stub;  // the installer program without a payload; empty: the built-in one
  std::string output;
  bool json = false;
  bool allowNoSetup = false;
};

int RunPack(const PackRequest& request);
int RunInstaller(const InstallerRequest& request);
int RunList(const std::string& archive, bool json);
int RunTest(const std::string& archive, bool json);
int RunExtract(const std::string& archive, const std::string& folder, bool json);

// What pack and installer share, so that every packing option reaches
// both. Collecting reads the request's paths and checks what the installer
// would refuse; the refusal's code says what kind it is.
bool CollectRequestedSources(const PackRequest& request, std::vector<PackSource>& sources, Refusal& refusal);

// The request's packing options, with a progress bar on stderr while
// packing when it is a terminal; the bar's line ends when this goes.
class PackingOptions final : public PackProgress {
 public:
  PackingOptions(const PackRequest& request, const std::vector<PackSource>& sources);
  ~PackingOptions();
  PackingOptions(const PackingOptions&) = delete;
  PackingOptions& operator=(const PackingOptions&) = delete;

  const PackOptions& options() const { return options_; }
  void OnChunkWritten(int32_t filesDone, int64_t bytesDone) override;

 private:
  PackOptions options_;
  bool shown_;
  int64_t total_ = 0;
  ProgressBar bar_{stderr};
};

// Whether the output may be written: false, with the refusal in error, when
// something is at `output` and `force` is off. Asked before any work; the
// final move into place refuses again, atomically, should a file appear
// meanwhile.
bool OutputIsFree(const std::string& output, bool force, std::string& error);

// False, with the refusal in error, when `output` is one of the files it is
// made from (one of `sources`, or the file at one of `others`): -f would
// replace what it reads.
bool OutputIsNoInput(const std::string& output, const std::vector<PackSource>& sources,
                     const std::vector<std::string>& others, std::string& error);

// "filepacker: " and the message, on stderr.
void PrintError(const std::string& message);
