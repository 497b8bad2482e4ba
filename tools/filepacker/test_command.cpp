#include <cstdio>

#include "tools/filepacker/commands.h"
#include "tools/filepacker/fault_report.h"
#include "tools/filepacker/command_reports.h"

int RunTest(const std::string& path, bool json) {
  ArchiveFile file;
  int status = kExitSuccess;
  if (!OpenArchive(path, json, file, status)) return status;
  IntegrityCheck check;
  const ArchiveWalk walk = TestArchive(file.bytes(), file.container(), check);
  if (json) {
    PrintJson(TestJson(walk, check), 2);
  } else if (walk.ok) {
    const ListTotals totals = AddUpEntries(walk);
    std::printf("OK: %zu entries, %lld bytes in %lld chunks\n%s\n", walk.entries.size(),
                static_cast<long long>(totals.size), static_cast<long long>(totals.chunks),
                IntegrityText(check).c_str());
  }
  if (!walk.ok) PrintFault(path, walk.fault);
  return walk.ok ? kExitSuccess : kExitFailed;
}
