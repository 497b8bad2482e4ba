// The commands of filepacker. Each prints its own output and returns
// the program's exit status.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "archive/archive_format.h"
#include "packer/archive_writer.h"

// Exit statuses of every command.
constexpr int kExitSuccess = 0;
constexpr int kExitFailed = 1;  // the archive was refused, or the test or extraction failed
constexpr int kExitUsage = 2;   // wrong arguments, or a file that cannot be read

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

// The steps of packing that pack and installer share, so that every packing
// option reaches both. Collecting reads the request's paths and checks what
// the installer would refuse; writing makes request.archive (replacing it
// when request.force), or with `into` the archive into that file (then
// request.archive only names it in errors), with a progress bar when stderr
// is a terminal.
struct ArchiveInto {
  std::FILE* file;
  int64_t maxLength;      // the most the archive may take
  std::string limitText;  // what passing it means
};
bool CollectRequestedSources(const PackRequest& request, std::vector<PackSource>& sources, std::string& error);
bool WriteRequestedArchive(const PackRequest& request, const std::vector<PackSource>& sources, PackSummary& summary,
                           std::string& error, const ArchiveInto* into = nullptr);

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
