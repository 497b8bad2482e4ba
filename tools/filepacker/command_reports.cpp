#include "tools/filepacker/command_reports.h"

#include "inspect/archive_walk.h"
#include "tools/filepacker/extraction.h"
#include "tools/filepacker/fault_report.h"
#include "tools/filepacker/text_format.h"

ListTotals AddUpEntries(const ArchiveWalk& walk) {
  ListTotals totals;
  for (const WalkedEntry& entry : walk.entries) {
    totals.size += entry.size;
    totals.packed += entry.packed;
    totals.chunks += static_cast<int64_t>(entry.chunks.size());
    if (!entry.refusal.empty()) totals.refused++;
  }
  return totals;
}

namespace {

// How the packer cut the entry: "fixed" when every piece but the last
// decodes to exactly the block size, else "adaptive".
const char* Cut(const WalkedEntry& entry, int32_t blockSize) {
  for (size_t i = 0; i + 1 < entry.chunks.size(); i++) {
    if (entry.chunks[i].decoded != blockSize) return "adaptive";
  }
  return "fixed";
}

}  // namespace

ArchiveListing ListArchive(ArchiveBytes& bytes, const ArchiveContainer& container) {
  ArchiveListing listing;
  if (!CheckIntegrity(bytes, container, listing.check, listing.walk.fault.cause)) return listing;
  WalkArchive(bytes, WalkMode::kList, listing.walk);
  listing.totals = AddUpEntries(listing.walk);
  return listing;
}

nlohmann::json ListEntryJson(const WalkedEntry& entry, int32_t blockSize) {
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

nlohmann::json ListHeadJson(const ArchiveListing& listing, const ArchiveContainer& container) {
  const ArchiveWalk& walk = listing.walk;
  const ListTotals& totals = listing.totals;
  nlohmann::json json;
  json["ok"] = walk.ok;
  json["container"] = container.installer ? "installer" : "archive";
  if (container.installer) {
    json["payload"] = {{"offset", container.payloadOffset},
                       {"bytes", container.payloadSize},
                       {"language", container.payloadLanguage}};
  }
  json["check"] = CheckJson(listing.check);
  json["block_size"] = walk.blockSize;
  json["archive_bytes"] = walk.fileLength;
  json["totals"] = {{"files", walk.entries.size()}, {"size", totals.size},     {"packed", totals.packed},
                    {"chunks", totals.chunks},      {"refused", totals.refused}};
  json["fault"] = walk.ok ? nlohmann::json(nullptr) : FaultJson(walk.fault);
  return json;
}

nlohmann::json ListJson(const ArchiveListing& listing, const ArchiveContainer& container) {
  nlohmann::json json = ListHeadJson(listing, container);
  nlohmann::json& entries = json["entries"] = nlohmann::json::array();
  for (const WalkedEntry& entry : listing.walk.entries) entries.push_back(ListEntryJson(entry, listing.walk.blockSize));
  return json;
}

ArchiveWalk TestArchive(ArchiveBytes& bytes, const ArchiveContainer& container, IntegrityCheck& check) {
  ArchiveWalk walk;
  if (!CheckIntegrity(bytes, container, check, walk.fault.cause)) return walk;
  if (check.integrity == Integrity::kDamaged) {
    walk.fault = DamageFault(check);
  } else {
    WalkArchive(bytes, WalkMode::kTest, walk);
  }
  return walk;
}

nlohmann::json TestJson(const ArchiveWalk& walk, const IntegrityCheck& check) {
  const ListTotals totals = AddUpEntries(walk);
  return {{"ok", walk.ok},       {"entries", walk.entries.size()},
          {"bytes", totals.size},       {"chunks", totals.chunks},
          {"check", CheckJson(check)},
          {"fault", walk.ok ? nlohmann::json(nullptr) : FaultJson(walk.fault)}};
}

ArchiveWalk ExtractArchive(ArchiveBytes& bytes, const ArchiveContainer& container, const std::string& target,
                           FileSink& files, const std::string& sinkFailure) {
  ArchiveWalk walk;
  // As the installer does at start-up, before a file is written.
  IntegrityCheck check;
  if (!CheckIntegrity(bytes, container, check, walk.fault.cause)) return walk;
  if (check.integrity == Integrity::kDamaged) {
    walk.fileLength = bytes.size();
    walk.fault = DamageFault(check);
  } else {
    ExtractionBar bar;
    ExtractArchiveInto(bytes, target, files, sinkFailure, bar.Target(), walk);
  }
  return walk;
}

nlohmann::json ExtractJson(const ArchiveWalk& walk) {
  return {{"ok", walk.ok},
          {"files", walk.report.fileCount},
          {"bytes", walk.report.byteTotal},
          {"coder_error", walk.report.coderError != 0},
          {"message", Utf8Text(walk.report.message)},
          {"fault", walk.ok ? nlohmann::json(nullptr) : FaultJson(walk.fault)}};
}
