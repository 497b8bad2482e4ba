#include "tools/filepacker/scan_report.h"

#include "tools/filepacker/archive_file.h"
#include "tools/filepacker/commands.h"
#include "tools/filepacker/text_format.h"

bool LoadAndScan(const std::string& path, bool decode, ScannedArchive& archive, int& status,
                 ArchiveContainer* container) {
  std::vector<uint8_t> bytes;
  std::string error;
  LoadOutcome outcome = LoadArchiveFile(path, bytes, error, container);
  if (outcome != LoadOutcome::kLoaded) {
    PrintError(error);
    status = outcome == LoadOutcome::kUnreadable ? kExitUsage : kExitFailed;
    return false;
  }
  ScanArchive(bytes, decode, archive);
  return true;
}

std::string FaultText(const ScannedArchive& archive) {
  const ScanFault& fault = archive.fault;
  std::string text;
  if (fault.entry >= 0 && fault.entry < static_cast<int>(archive.entries.size())) {
    text += "entry \"" + ConsoleText(archive.entries[fault.entry].name) + "\", ";
  } else if (fault.entry >= 0) {
    text += "entry " + std::to_string(fault.entry + 1) + ", ";
  }
  if (fault.chunk >= 0) text += "chunk " + std::to_string(fault.chunk) + ", ";
  text += "offset " + std::to_string(fault.offset) + ": " + fault.what;
  return text;
}

nlohmann::json FaultJson(const ScannedArchive& archive) {
  const ScanFault& fault = archive.fault;
  nlohmann::json json;
  json["what"] = fault.what;
  if (fault.entry >= 0 && fault.entry < static_cast<int>(archive.entries.size())) {
    json["entry"] = Utf8Text(archive.entries[fault.entry].name);
  } else {
    json["entry"] = nullptr;
  }
  json["chunk"] = fault.chunk >= 0 ? nlohmann::json(fault.chunk) : nlohmann::json(nullptr);
  json["offset"] = fault.offset;
  return json;
}
