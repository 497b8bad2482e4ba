// The WebAssembly engine: a C interface over the requests that `filepacker`
// answers (engine/requests.h), for filepacker.mjs. JavaScript
// opens a call (fp_call_new), writes its input into it, asks, reads the
// answer, and closes the call (fp_call_delete); everything a call holds
// goes with it.
//
// Every answer is one JSON envelope: {"status": the command's exit status,
// "refusal": null or {"code": a RefusalCodeName, "text": the command's
// words}, "report": the object that the command's --json prints, or null
// when the input could not be read at all}. FILETIMEs, which pass 2^53, are
// decimal strings. extract adds "files": [{"name", "size", "attributes",
// "filetimes"}], whose bytes are at fp_file_data; installer's report is
// the command's without "ok", and the installer's bytes are at
// fp_output_data.
#include <cstdint>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "archive/archive_format.h"
#include "base/memory_store.h"
#include "base/installer_rules.h"
#include "packer/pack_sources.h"
#include "tools/filepacker/command_reports.h"
#include "tools/filepacker/embedded_stub.h"
#include "engine/requests.h"
#include "tools/filepacker/text_format.h"
#include "tools/web/memory_files.h"

#define FP_EXPORT(name) extern "C" __attribute__((export_name(#name)))

namespace {

// Progress, to the page: how many bytes of how many are done.
extern "C" __attribute__((import_module("filepacker"), import_name("progress"))) void ShowProgress(double done,
                                                                                                  double total);

struct AddedFile {
  std::string name;
  std::vector<uint8_t> bytes;
  uint64_t lastWriteTime = 0;
};

// One call from JavaScript: its input, and its answer until it is closed.
struct Call {
  std::vector<uint8_t> input;
  std::string name;    // what the input, a file added, or the installer is called
  std::string folder;  // the folder extract's names are created behind; empty: the install folder
  std::vector<AddedFile> files;  // installer's
  std::string result;
  MemoryFiles extracted;
  MemoryStore installer;
};

// Packing's progress, shown every half percent.
class PackingProgress final : public PackProgress {
 public:
  explicit PackingProgress(int64_t total) : total_(total) {}
  void OnChunkWritten(int32_t, int64_t done) override {
    if ((done - shown_) * 200 < total_ && done < total_) return;
    shown_ = done;
    ShowProgress(static_cast<double>(done), static_cast<double>(total_));
  }

 private:
  int64_t total_;
  int64_t shown_ = 0;
};

nlohmann::json FileTimes(const EntryInfo& info) {
  return {std::to_string(info.creationTime), std::to_string(info.lastAccessTime), std::to_string(info.lastWriteTime)};
}

nlohmann::json Envelope(const Answer& answer, nlohmann::json report) {
  nlohmann::json refusal = nullptr;
  if (answer.refusal.Refused()) {
    refusal = {{"code", RefusalCodeName(answer.refusal.code)}, {"text", NativeJsonText(answer.refusal.text)}};
  }
  return {{"status", answer.ExitStatus()}, {"refusal", refusal}, {"report", std::move(report)}};
}

// Takes the call's input; false, with the answer written, when it cannot
// be read at all.
bool Open(Call& call, ArchiveInput& input) {
  const Answer opened = input.TakeBytes(call.name, std::move(call.input));
  call.input = {};
  if (!opened.refusal.Refused()) return true;
  call.result = Envelope(opened, nullptr).dump();
  return false;
}

// list's envelope, with the entries turned into text one at a time: as one
// JSON tree, the entries of an archive of 100,000 files took some 200 MB of
// the module's memory, which it keeps.
void WriteListing(Call& call, const ListResult& listing, const ArchiveContainer& container) {
  nlohmann::json head = ListHeadJson(listing, container);
  head["entries"] = nlohmann::json::array();
  const std::string text = Envelope(listing, head).dump();
  // Quotes inside strings are escaped: the first of these is the key.
  const std::string emptyEntries = "\"entries\":[";
  const size_t at = text.find(emptyEntries) + emptyEntries.size();
  call.result.assign(text, 0, at);
  for (const WalkedEntry& entry : listing.walk.entries) {
    if (&entry != &listing.walk.entries.front()) call.result += ',';
    nlohmann::json item = ListEntryJson(entry, listing.walk.blockSize);
    item["filetimes"] = FileTimes(entry.info);
    call.result += item.dump();
  }
  call.result.append(text, at, std::string::npos);
}

}  // namespace

FP_EXPORT(fp_call_new) Call* CallNew() { return new Call; }
FP_EXPORT(fp_call_delete) void CallDelete(Call* call) { std::unique_ptr<Call> closed(call); }

FP_EXPORT(fp_input_bytes) uint8_t* InputBytes(Call* call, uint32_t size) {
  call->input.assign(size, 0);
  return call->input.data();
}

FP_EXPORT(fp_input_name) char* InputName(Call* call, uint32_t size) {
  call->name.assign(size, '\0');
  return call->name.data();
}

FP_EXPORT(fp_input_folder) char* InputFolder(Call* call, uint32_t size) {
  call->folder.assign(size, '\0');
  return call->folder.data();
}

FP_EXPORT(fp_list) int List(Call* call) {
  ArchiveInput input;
  if (!Open(*call, input)) return kExitFailed;
  const ListResult listing = ListArchive(input);
  WriteListing(*call, listing, input.container());
  return listing.ExitStatus();
}

FP_EXPORT(fp_test) int Test(Call* call) {
  ArchiveInput input;
  if (!Open(*call, input)) return kExitFailed;
  const TestResult tested = TestArchive(input);
  call->result = Envelope(tested, TestJson(tested.walk, tested.check)).dump();
  return tested.ExitStatus();
}

FP_EXPORT(fp_extract) int Extract(Call* call) {
  ArchiveInput input;
  if (!Open(*call, input)) return kExitFailed;
  // Without a folder of the caller's, names go behind the longest install
  // folder, so that what comes out is what install mode could create.
  const std::string folder = call->folder.empty() ? std::string(kLongestInstallFolder) : call->folder;
  const ExtractResult extracted =
      ExtractArchive({&input, folder, &call->extracted, &call->extracted.failure(), nullptr});
  nlohmann::json files = nlohmann::json::array();
  for (const MemoryFile& file : call->extracted.files()) {
    files.push_back({{"name", file.name},
                     {"size", file.bytes.size()},
                     {"attributes", file.info.attributes},
                     {"filetimes", FileTimes(file.info)}});
  }
  nlohmann::json envelope = Envelope(extracted, ExtractJson(extracted.walk));
  envelope["files"] = std::move(files);
  call->result = envelope.dump();
  return extracted.ExitStatus();
}

FP_EXPORT(fp_default_block_size) int32_t DefaultBlockSize() { return PackOptions().blockSize; }
FP_EXPORT(fp_min_block_size) int32_t MinBlockSize() { return archive_format::kMinBlockSize; }
FP_EXPORT(fp_max_block_size) int32_t MaxBlockSize() { return archive_format::kMaxBlockSize; }

// A file for installer, named as the call was last named ("a.txt", or
// "folder/a.txt"); JavaScript writes its bytes where this points.
FP_EXPORT(fp_add_file) uint8_t* AddFile(Call* call, uint32_t size, uint64_t lastWriteTime) {
  call->files.push_back({call->name, std::vector<uint8_t>(size), lastWriteTime});
  return call->files.back().bytes.data();
}

// The installer of the files added, called as the call was last named in
// messages; made as `filepacker installer` makes it of those files given
// one by one in that order.
FP_EXPORT(fp_installer) int Installer(Call* call, int32_t blockSize, int adaptive, int allowNoSetup) {
  std::vector<NamedFile> named;
  int64_t total = 0;
  for (const AddedFile& file : call->files) {
    named.push_back({file.name, file.bytes, file.lastWriteTime});
    total += static_cast<int64_t>(file.bytes.size());
  }
  MakeInstallerRequest request;
  InstallerResult refused;
  if (!CollectNamedSources(named, request.sources, refused.refusal)) {
    refused.asGiven = true;
    call->result = Envelope(refused, nullptr).dump();
    return refused.ExitStatus();
  }
  PackingProgress progress(total);
  request.packing.blockSize = blockSize;
  request.packing.adaptive = adaptive != 0;
  request.packing.progress = &progress;
  request.stub = EmbeddedStub();
  request.stubName = kEmbeddedStubName;
  request.allowNoSetup = allowNoSetup != 0;
  request.output = call->name;
  MemoryStore packed;
  request.packedSink = &packed;
  request.packedSource = &packed;
  request.installer = &call->installer;
  const InstallerResult made = MakeInstaller(request);
  call->files = {};
  if (made.refusal.Refused()) call->installer.bytes() = {};
  call->result = Envelope(made, made.refusal.Refused() ? nullptr : InstallerJson(made)).dump();
  return made.ExitStatus();
}

FP_EXPORT(fp_output_data) const uint8_t* OutputData(Call* call) { return call->installer.bytes().data(); }
FP_EXPORT(fp_output_size) uint32_t OutputSize(Call* call) {
  return static_cast<uint32_t>(call->installer.bytes().size());
}

FP_EXPORT(fp_result) const char* Result(Call* call) { return call->result.data(); }
FP_EXPORT(fp_result_size) uint32_t ResultSize(Call* call) { return static_cast<uint32_t>(call->result.size()); }

FP_EXPORT(fp_file_data) const uint8_t* FileData(Call* call, uint32_t index) {
  return call->extracted.files()[index].bytes.data();
}
