#include <cstdio>

#include "host/file_system.h"
#include "tools/filepacker/commands.h"
#include "tools/filepacker/disk_files.h"
#include "tools/filepacker/extraction.h"
#include "tools/filepacker/fault_report.h"
#include "tools/filepacker/host_system.h"
#include "tools/filepacker/command_reports.h"
#include "tools/filepacker/text_format.h"

namespace {

// The folder as the extractor wants it: without a trailing separator (but
// "/" and "C:\" stay as they are).
std::string WithoutTrailingSeparator(std::string folder) {
  while (folder.size() > 1 && EndsInSeparator(folder) && !(folder.size() == 3 && folder[1] == ':')) {
    folder.pop_back();
  }
  return folder;
}

}  // namespace

int RunExtract(const std::string& archive, const std::string& folder, bool json) {
  if (!IsFolder(folder)) {
    return ReportFailure(json, kExitUsage, RefusalCode::kUsage, folder + ": not an existing folder");
  }
  ArchiveInput input;
  int status = kExitSuccess;
  if (!OpenArchive(archive, json, input, status)) return status;

  DiskFiles files;
  ExtractionBar bar;
  const ExtractResult extracted =
      ExtractArchive({&input, WithoutTrailingSeparator(folder), &files, &files.failure(), bar.Target()});
  const ArchiveWalk& walk = extracted.walk;
  if (json) {
    PrintJson(ExtractJson(walk));
  } else if (walk.ok) {
    std::printf("%s\n", ConsoleText(walk.report.message).c_str());
  }
  if (!walk.ok) PrintFault(archive, walk.fault);
  return walk.ok ? kExitSuccess : kExitFailed;
}
