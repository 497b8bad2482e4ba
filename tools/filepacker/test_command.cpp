#include <cstdio>

#include "tools/filepacker/commands.h"
#include "tools/filepacker/scan_report.h"
#include "tools/filepacker/text_format.h"

int RunTest(const std::string& path, bool json) {
  ScannedArchive archive;
  int status = kExitSuccess;
  if (!LoadAndScan(path, true, archive, status)) return status;

  int64_t bytes = 0, chunks = 0;
  std::vector<const ScannedEntry*> refused;
  for (const ScannedEntry& entry : archive.entries) {
    bytes += entry.size;
    chunks += static_cast<int64_t>(entry.chunks.size());
    if (!entry.refusal.empty()) refused.push_back(&entry);
  }
  bool ok = archive.ok && refused.empty();

  if (json) {
    nlohmann::json problems = nlohmann::json::array();
    for (const ScannedEntry* entry : refused) {
      problems.push_back({{"what", entry->refusal}, {"entry", Utf8Text(entry->name)}, {"chunk", nullptr},
                          {"offset", entry->offset}});
    }
    if (!archive.ok) problems.push_back(FaultJson(archive));
    nlohmann::json out = {{"ok", ok},         {"entries", archive.entries.size()}, {"bytes", bytes},
                          {"chunks", chunks}, {"problems", problems}};
    std::printf("%s\n", out.dump(2).c_str());
  } else {
    for (const ScannedEntry* entry : refused) {
      std::printf("FAILED: entry \"%s\", offset %lld: %s\n", ConsoleText(entry->name).c_str(),
                  static_cast<long long>(entry->offset), entry->refusal.c_str());
    }
    if (!archive.ok) std::printf("FAILED: %s\n", FaultText(archive).c_str());
    if (ok) {
      std::printf("OK: %zu entries, %lld bytes in %lld chunks\n", archive.entries.size(),
                  static_cast<long long>(bytes), static_cast<long long>(chunks));
    }
  }
  if (!ok) PrintError(path + ": the test failed");
  return ok ? kExitSuccess : kExitFailed;
}
