#include <cstdio>

#include "tools/filepacker/commands.h"
#include "tools/filepacker/fault_report.h"
#include "tools/filepacker/command_reports.h"
#include "tools/filepacker/text_format.h"

namespace {

void PrintTable(const ArchiveWalk& walk, const ListTotals& totals) {
  std::printf("%11s %11s %6s %-4s %-19s %6s  %s\n", "Size", "Packed", "Ratio", "Attr", "Modified", "Chunks",
              "Name");
  for (const WalkedEntry& entry : walk.entries) {
    std::printf("%11d %11lld %6s %-4s %-19s %6zu %c%s\n", static_cast<int>(entry.size),
                static_cast<long long>(entry.packed), RatioText(entry.packed, entry.size).c_str(),
                AttributeLetters(entry.info.attributes).c_str(), LocalTimeText(entry.info.lastWriteTime).c_str(),
                entry.chunks.size(), entry.refusal.empty() ? ' ' : '!', ConsoleText(entry.name).c_str());
  }
  std::printf("%11lld %11lld %6s %-4s %-19s %6lld  %zu files, block size %d, archive %lld bytes\n",
              static_cast<long long>(totals.size), static_cast<long long>(totals.packed),
              RatioText(totals.packed, totals.size).c_str(), "", "", static_cast<long long>(totals.chunks),
              walk.entries.size(), static_cast<int>(walk.blockSize), static_cast<long long>(walk.fileLength));
  for (const WalkedEntry& entry : walk.entries) {
    if (!entry.refusal.empty()) std::printf("! %s: %s\n", ConsoleText(entry.name).c_str(), entry.refusal.c_str());
  }
}

// The entries are printed one at a time into the indented object: held as
// JSON all at once, a million of them took more than ten times the memory
// of the walk itself.
void PrintListJson(const ListResult& listing, const ArchiveContainer& container) {
  std::string head = JsonDump(ListHeadJson(listing, container), 2);
  head.resize(head.size() - 2);  // the closing "\n}"
  std::printf("%s,\n  \"entries\": [", head.c_str());
  const char* separator = "\n    ";
  for (const WalkedEntry& entry : listing.walk.entries) {
    std::string item = JsonDump(ListEntryJson(entry, listing.walk.blockSize), 2);
    for (size_t at = item.find('\n'); at != std::string::npos; at = item.find('\n', at + 5)) {
      item.replace(at, 1, "\n    ");
    }
    std::printf("%s%s", separator, item.c_str());
    separator = ",\n    ";
  }
  std::printf("%s]\n}\n", listing.walk.entries.empty() ? "" : "\n  ");
}

}  // namespace

int RunList(const std::string& path, bool json) {
  ArchiveInput input;
  int status = kExitSuccess;
  if (!OpenArchive(path, json, input, status)) return status;
  const ArchiveContainer& container = input.container();
  const ListResult listing = ListArchive(input);
  const IntegrityCheck& check = listing.check;
  const ArchiveWalk& walk = listing.walk;
  const ListTotals& totals = listing.totals;
  if (json) {
    PrintListJson(listing, container);
  } else if (walk.ok || !walk.entries.empty()) {
    PrintTable(walk, totals);
  }
  // A damaged payload is still listed, for what it shows of the damage;
  // the installer would refuse it before asking anything.
  if (!json && check.integrity != Integrity::kArchive && check.integrity != Integrity::kDamaged) {
    std::printf("%s\n", IntegrityText(check).c_str());
  }
  if (check.integrity == Integrity::kDamaged) PrintFault(path, DamageFault(check));
  if (!walk.ok) PrintFault(path, walk.fault);
  if (listing.refusal.Refused()) return kExitFailed;
  if (totals.refused > 0) {
    PrintError(path + ": " + std::to_string(totals.refused) +
               " entry names would be refused by the installer (marked \"!\")");
  }
  return kExitSuccess;
}
