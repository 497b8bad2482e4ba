#include <cstdio>

#include "archive/inspect/archive_walk.h"
#include "tools/filepacker/commands.h"
#include "tools/filepacker/fault_report.h"

int RunTest(const std::string& path, bool json) {
  std::vector<uint8_t> bytes;
  int status = kExitSuccess;
  ArchiveContainer container;
  if (!LoadArchive(path, json, bytes, status, &container)) return status;
  // As the installer does at start-up: a damaged payload is refused before
  // any of it is read.
  const IntegrityCheck check = CheckIntegrity(bytes, container);
  ArchiveWalk walk;
  if (check.integrity == Integrity::kDamaged) {
    walk.fault = DamageFault(check);
  } else {
    WalkArchive(bytes, WalkMode::kTest, walk);
  }

  int64_t size = 0, chunks = 0;
  for (const WalkedEntry& entry : walk.entries) {
    size += entry.size;
    chunks += static_cast<int64_t>(entry.chunks.size());
  }
  if (json) {
    const nlohmann::json out = {{"ok", walk.ok},       {"entries", walk.entries.size()},
                                {"bytes", size},       {"chunks", chunks},
                                {"check", CheckJson(check)},
                                {"fault", walk.ok ? nlohmann::json(nullptr) : FaultJson(walk.fault)}};
    PrintJson(out, 2);
  } else if (walk.ok) {
    std::printf("OK: %zu entries, %lld bytes in %lld chunks\n%s\n", walk.entries.size(), static_cast<long long>(size),
                static_cast<long long>(chunks), IntegrityText(check).c_str());
  }
  if (!walk.ok) PrintFault(path, walk.fault);
  return walk.ok ? kExitSuccess : kExitFailed;
}
