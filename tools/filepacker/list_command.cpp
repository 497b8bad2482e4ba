#include <cstdio>

#include "archive/inspect/archive_walk.h"
#include "tools/filepacker/commands.h"
#include "tools/filepacker/fault_report.h"
#include "tools/filepacker/text_format.h"

namespace {

struct Totals {
  int64_t size = 0;
  int64_t packed = 0;
  int64_t chunks = 0;
  int refused = 0;
};

Totals AddUp(const ArchiveWalk& walk) {
  Totals totals;
  for (const WalkedEntry& entry : walk.entries) {
    totals.size += entry.size;
    totals.packed += entry.packed;
    totals.chunks += static_cast<int64_t>(entry.chunks.size());
    if (!entry.refusal.empty()) totals.refused++;
  }
  return totals;
}

// How the packer cut the entry: "fixed" when every piece but the last
// decodes to exactly the block size, else "adaptive".
const char* Cut(const WalkedEntry& entry, int32_t blockSize) {
  for (size_t i = 0; i + 1 < entry.chunks.size(); i++) {
    if (entry.chunks[i].decoded != blockSize) return "adaptive";
  }
  return "fixed";
}

void PrintTable(const ArchiveWalk& walk, const Totals& totals) {
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

nlohmann::json EntryJson(const WalkedEntry& entry, int32_t blockSize) {
  nlohmann::json chunks = nlohmann::json::array();
  for (const WalkedChunk& chunk : entry.chunks) {
    chunks.push_back({{"offset", chunk.offset}, {"coded", chunk.coded}, {"decoded", chunk.decoded}});
  }
  nlohmann::json item;
  item["name"] = Utf8Text(entry.name);
  item["offset"] = entry.offset;
  item["size"] = entry.size;
  item["packed"] = entry.packed;
  item["chunks"] = chunks;
  item["cut"] = Cut(entry, blockSize);
  item["attributes"] = entry.info.attributes;
  item["attribute_letters"] = AttributeLetters(entry.info.attributes);
  item["creation_time"] = LocalTimeText(entry.info.creationTime);
  item["last_access_time"] = LocalTimeText(entry.info.lastAccessTime);
  item["last_write_time"] = LocalTimeText(entry.info.lastWriteTime);
  item["filetimes"] = {entry.info.creationTime, entry.info.lastAccessTime, entry.info.lastWriteTime};
  item["refused"] = !entry.refusal.empty();
  if (!entry.refusal.empty()) item["refusal"] = entry.refusal;
  return item;
}

// The entries are printed one at a time into the indented object: held as
// JSON all at once, a million of them took more than ten times the memory
// of the walk itself.
void PrintListJson(const ArchiveWalk& walk, const ArchiveContainer& container, const IntegrityCheck& check,
                   const Totals& totals) {
  nlohmann::json json;
  json["ok"] = walk.ok;
  json["container"] = container.installer ? "installer" : "archive";
  if (container.installer) {
    json["payload"] = {{"offset", container.payloadOffset},
                       {"bytes", container.payloadSize},
                       {"language", container.payloadLanguage}};
  }
  json["check"] = CheckJson(check);
  json["block_size"] = walk.blockSize;
  json["archive_bytes"] = walk.fileLength;
  json["totals"] = {{"files", walk.entries.size()}, {"size", totals.size},     {"packed", totals.packed},
                    {"chunks", totals.chunks},      {"refused", totals.refused}};
  json["fault"] = walk.ok ? nlohmann::json(nullptr) : FaultJson(walk.fault);
  std::string head = JsonDump(json, 2);
  head.resize(head.size() - 2);  // the closing "\n}"
  std::printf("%s,\n  \"entries\": [", head.c_str());
  const char* separator = "\n    ";
  for (const WalkedEntry& entry : walk.entries) {
    std::string item = JsonDump(EntryJson(entry, walk.blockSize), 2);
    for (size_t at = item.find('\n'); at != std::string::npos; at = item.find('\n', at + 5)) {
      item.replace(at, 1, "\n    ");
    }
    std::printf("%s%s", separator, item.c_str());
    separator = ",\n    ";
  }
  std::printf("%s]\n}\n", walk.entries.empty() ? "" : "\n  ");
}

}  // namespace

int RunList(const std::string& path, bool json) {
  std::vector<uint8_t> bytes;
  int status = kExitSuccess;
  ArchiveContainer container;
  if (!LoadArchive(path, json, bytes, status, &container)) return status;
  const IntegrityCheck check = CheckIntegrity(bytes, container);
  ArchiveWalk walk;
  WalkArchive(bytes, WalkMode::kList, walk);
  const Totals totals = AddUp(walk);
  if (json) {
    PrintListJson(walk, container, check, totals);
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
  if (!walk.ok || check.integrity == Integrity::kDamaged) return kExitFailed;
  if (totals.refused > 0) {
    PrintError(path + ": " + std::to_string(totals.refused) +
               " entry names would be refused by the installer (marked \"!\")");
  }
  return kExitSuccess;
}
