#include <cstdio>

#include "tools/filepacker/commands.h"
#include "tools/filepacker/fault_report.h"
#include "tools/filepacker/command_reports.h"

int RunTest(const std::string& path, bool json) {
  ArchiveInput input;
  int status = kExitSuccess;
  if (!OpenArchive(path, json, input, status)) return status;
  const TestResult tested = TestArchive(input);
  const ArchiveWalk& walk = tested.walk;
  const IntegrityCheck& check = tested.check;
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
