#include "tools/filepacker/command_reports.h"

#include "tools/filepacker/fault_report.h"
#include "tools/filepacker/text_format.h"

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
  item["refusal_code"] = entry.refusalCode == RefusalCode::kNone ? nlohmann::json(nullptr)
                                                                  : nlohmann::json(RefusalCodeName(entry.refusalCode));
  return item;
}

nlohmann::json ListHeadJson(const ListResult& listing, const ArchiveContainer& container) {
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

nlohmann::json ListJson(const ListResult& listing, const ArchiveContainer& container) {
  nlohmann::json json = ListHeadJson(listing, container);
  nlohmann::json& entries = json["entries"] = nlohmann::json::array();
  for (const WalkedEntry& entry : listing.walk.entries) entries.push_back(ListEntryJson(entry, listing.walk.blockSize));
  return json;
}

nlohmann::json TestJson(const ArchiveWalk& walk, const IntegrityCheck& check) {
  const ListTotals totals = AddUpEntries(walk);
  return {{"ok", walk.ok},       {"entries", walk.entries.size()},
          {"bytes", totals.size},       {"chunks", totals.chunks},
          {"check", CheckJson(check)},
          {"fault", walk.ok ? nlohmann::json(nullptr) : FaultJson(walk.fault)}};
}

nlohmann::json ExtractJson(const ArchiveWalk& walk) {
  return {{"ok", walk.ok},
          {"files", walk.report.fileCount},
          {"bytes", walk.report.byteTotal},
          {"coder_error", walk.report.coderError != 0},
          {"message", Utf8Text(walk.report.message)},
          {"fault", walk.ok ? nlohmann::json(nullptr) : FaultJson(walk.fault)}};
}

nlohmann::json InstallerJson(const InstallerResult& made) {
  return {{"files", made.files},
          {"bytes_in", made.bytesIn},
          {"archive_bytes", made.archiveBytes},
          {"stub_bytes", made.stubBytes},
          {"installer_bytes", made.installerBytes},
          {"payload_offset", made.payloadOffset}};
}
