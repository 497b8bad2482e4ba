#include <cstdio>
#include <nlohmann/json.hpp>

#include "packer/pack_files.h"
#include "tools/filepacker/commands.h"
#include "tools/filepacker/disk_files.h"
#include "tools/filepacker/extraction.h"
#include "tools/filepacker/fault_report.h"
#include "tools/filepacker/host_system.h"
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

void PrintOutcome(bool json, const ArchiveWalk& walk, const std::string& archive) {
  if (json) {
    const nlohmann::json out = {{"ok", walk.ok},
                                {"files", walk.report.fileCount},
                                {"bytes", walk.report.byteTotal},
                                {"coder_error", walk.report.coderError != 0},
                                {"message", Utf8Text(walk.report.message)},
                                {"fault", walk.ok ? nlohmann::json(nullptr) : FaultJson(walk.fault)}};
    PrintJson(out);
  } else if (walk.ok) {
    std::printf("%s\n", ConsoleText(walk.report.message).c_str());
  }
  if (!walk.ok) PrintFault(archive, walk.fault);
}

}  // namespace

int RunExtract(const std::string& archive, const std::string& folder, bool json) {
  if (!IsFolder(folder)) return ReportFailure(json, kExitUsage, folder + ": not an existing folder");
  std::vector<uint8_t> bytes;
  int status = kExitSuccess;
  ArchiveContainer container;
  if (!LoadArchive(archive, json, bytes, status, &container)) return status;

  ArchiveWalk walk;
  walk.fileLength = static_cast<int64_t>(bytes.size());
  // As the installer does at start-up, before a file is written.
  const IntegrityCheck check = CheckIntegrity(bytes, container);
  if (check.integrity == Integrity::kDamaged) {
    walk.fault = DamageFault(check);
  } else if (CheckArchiveFits(bytes, walk.fault)) {
    const std::string target = WithoutTrailingSeparator(folder);
    DiskFiles files;
    ExtractionWatch watch(walk, "the destination folder", static_cast<int>(target.size()) + 1, files.failure());
    PackReader reader;
    files.Attach(reader);
    watch.Attach(reader);
    UnpackReport report;
    const int result = RunExtraction(reader, bytes.data(), target.c_str(), &report);
    watch.Finish(result, report);
  }
  PrintOutcome(json, walk, archive);
  return walk.ok ? kExitSuccess : kExitFailed;
}
