#include <cstdio>

#include "tools/filepacker/commands.h"
#include "tools/filepacker/scan_report.h"
#include "tools/filepacker/text_format.h"

namespace {

struct Totals {
  int64_t size = 0;
  int64_t packed = 0;
  int64_t chunks = 0;
  int refused = 0;
};

Totals AddUp(const ScannedArchive& archive) {
  Totals totals;
  for (const ScannedEntry& entry : archive.entries) {
    totals.size += entry.size;
    totals.packed += entry.packedBytes;
    totals.chunks += static_cast<int64_t>(entry.chunks.size());
    if (!entry.refusal.empty()) totals.refused++;
  }
  return totals;
}

void PrintTable(const ScannedArchive& archive, const Totals& totals) {
  std::printf("%11s %11s %6s %-4s %-19s %6s  %s\n", "Size", "Packed", "Ratio", "Attr", "Modified", "Chunks",
              "Name");
  for (const ScannedEntry& entry : archive.entries) {
    std::printf("%11d %11lld %6s %-4s %-19s %6zu %c%s\n", static_cast<int>(entry.size),
                static_cast<long long>(entry.packedBytes), RatioText(entry.packedBytes, entry.size).c_str(),
                AttributeLetters(entry.attributes).c_str(), LocalTimeText(entry.lastWriteTime).c_str(),
                entry.chunks.size(), entry.refusal.empty() ? ' ' : '!', ConsoleText(entry.name).c_str());
  }
  std::printf("%11lld %11lld %6s %-4s %-19s %6lld  %zu files, block size %d, archive %lld bytes\n",
              static_cast<long long>(totals.size), static_cast<long long>(totals.packed),
              RatioText(totals.packed, totals.size).c_str(), "", "", static_cast<long long>(totals.chunks),
              archive.entries.size(), static_cast<int>(archive.blockSize),
              static_cast<long long>(archive.fileLength));
  for (const ScannedEntry& entry : archive.entries) {
    if (!entry.refusal.empty()) {
      std::printf("! %s: %s\n", ConsoleText(entry.name).c_str(), entry.refusal.c_str());
    }
  }
}

nlohmann::json ListJson(const ScannedArchive& archive, const ArchiveContainer& container, const Totals& totals) {
  nlohmann::json entries = nlohmann::json::array();
  for (const ScannedEntry& entry : archive.entries) {
    nlohmann::json item;
    item["name"] = Utf8Text(entry.name);
    item["size"] = entry.size;
    item["packed"] = entry.packedBytes;
    item["chunks"] = entry.chunks.size();
    item["attributes"] = entry.attributes;
    item["attribute_letters"] = AttributeLetters(entry.attributes);
    item["creation_time"] = LocalTimeText(entry.creationTime);
    item["last_access_time"] = LocalTimeText(entry.lastAccessTime);
    item["last_write_time"] = LocalTimeText(entry.lastWriteTime);
    item["filetimes"] = {entry.creationTime, entry.lastAccessTime, entry.lastWriteTime};
    item["refused"] = !entry.refusal.empty();
    if (!entry.refusal.empty()) item["refusal"] = entry.refusal;
    entries.push_back(item);
  }
  nlohmann::json json;
  json["ok"] = archive.ok;
  json["container"] = container.installer ? "installer" : "archive";
  if (container.installer) {
    json["payload"] = {{"offset", container.payloadOffset},
                       {"bytes", container.payloadSize},
                       {"language", container.payloadLanguage}};
  }
  json["block_size"] = archive.blockSize;
  json["archive_bytes"] = archive.fileLength;
  json["entries"] = entries;
  json["totals"] = {{"files", archive.entries.size()}, {"size", totals.size},     {"packed", totals.packed},
                    {"chunks", totals.chunks},         {"refused", totals.refused}};
  if (!archive.ok) json["error"] = FaultJson(archive);
  return json;
}

}  // namespace

int RunList(const std::string& path, bool json) {
  ScannedArchive archive;
  ArchiveContainer container;
  int status = kExitSuccess;
  if (!LoadAndScan(path, false, archive, status, &container)) return status;
  Totals totals = AddUp(archive);
  if (json) {
    std::printf("%s\n", ListJson(archive, container, totals).dump(2).c_str());
  } else if (archive.ok || !archive.entries.empty()) {
    PrintTable(archive, totals);
  }
  if (!archive.ok) {
    PrintError(path + ": " + FaultText(archive));
    return kExitFailed;
  }
  if (totals.refused > 0) {
    PrintError(path + ": " + std::to_string(totals.refused) + " entry names would be refused by the installer");
  }
  return kExitSuccess;
}
