// The WebAssembly engine: a C interface over the code that `filepacker list`,
// `test` and `extract` run, for filepacker.mjs. JavaScript writes the
// archive or installer into the input buffer, calls a command, and reads the
// outcome as JSON text from the result buffer (and the extracted files' bytes
// from where fp_file_data points) until the next command or fp_release.
//
// The outcome: {"status": the command's exit status, "error": why the input
// could not be read at all (as the command says it, without "filepacker: "),
// or null, "report": the object that the command's --json prints, or null};
// extract adds "files": [{"name", "size", "attributes", "filetimes"}].
//
// installer runs `filepacker installer --json` itself on the files added
// with fp_add_file (paths as the command is given them) and the options;
// its JSON goes to stdout and its message to stderr, as the command prints
// them, and the installer's bytes are at fp_output_data.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "archive/archive_format.h"
#include "base/installer_rules.h"
#include "tools/filepacker/commands.h"
#include "tools/filepacker/command_reports.h"
#include "host/platform/wasm/memory_folder.h"
#include "tools/web/memory_files.h"

#define FP_EXPORT(name) extern "C" __attribute__((export_name(#name)))

namespace {

std::vector<uint8_t> theInput;
std::string theName;    // what the input is called in messages
std::string theFolder;  // the folder extract's names are created behind; empty: the install folder
std::string theResult;
MemoryFiles* theFiles = nullptr;
std::vector<uint8_t> theOutput;  // the installer made last

// Progress, to the page: how many bytes of how many are done.
extern "C" __attribute__((import_module("filepacker"), import_name("progress"))) void ShowProgress(double done,
                                                                                                  double total);

// Packing's reads, shown every half percent.
class ReadProgress final : public PackReadWatch {
 public:
  explicit ReadProgress(int64_t total) : total_(total) {}
  void OnRead(int64_t bytes) noexcept override {
    done_ += bytes;
    if ((done_ - shown_) * 200 < total_ && done_ < total_) return;
    shown_ = done_;
    ShowProgress(static_cast<double>(done_), static_cast<double>(total_));
  }

 private:
  int64_t total_;
  int64_t done_ = 0;
  int64_t shown_ = 0;
};

// The paths the command would be given for the memory folder's files: each
// file at the top, or the folder it is in, in the order first met.
std::vector<std::string> CommandPaths() {
  std::vector<std::string> paths;
  for (const MemoryFolderFile& file : MemoryFolder()) {
    const std::string top = file.path.substr(0, file.path.find('/'));
    if (std::find(paths.begin(), paths.end(), top) == paths.end()) paths.push_back(top);
  }
  return paths;
}

void Release() {
  delete theFiles;
  theFiles = nullptr;
  theResult.clear();
  theResult.shrink_to_fit();
  theOutput = {};
}

// Loads the input as the commands load a file; false, with the outcome set,
// when it is refused.
bool TakeInput(std::vector<uint8_t>& bytes, ArchiveContainer& container) {
  bytes.swap(theInput);
  theInput = {};
  std::string error;
  if (TakeArchive(theName, bytes, error, &container) == LoadOutcome::kLoaded) return true;
  theResult = nlohmann::json{{"status", kExitFailed}, {"error", error}, {"report", nullptr}}.dump();
  return false;
}

nlohmann::json Outcome(int status, const nlohmann::json& report) {
  return {{"status", status}, {"error", nullptr}, {"report", report}};
}

int Finish(int status, const nlohmann::json& report) {
  theResult = Outcome(status, report).dump();
  return status;
}

// The outcome of list as Finish gives it, but with the entries turned into
// text one at a time: as one JSON tree, the entries of an archive of
// 100,000 files took some 200 MB of the module's memory, which it keeps.
void FinishListing(int status, const ArchiveListing& listing, const ArchiveContainer& container) {
  nlohmann::json head = ListHeadJson(listing, container);
  head["entries"] = nlohmann::json::array();
  const std::string text = Outcome(status, head).dump();
  // Quotes inside strings are escaped: the first of these is the key.
  const std::string emptyEntries = "\"entries\":[";
  const size_t at = text.find(emptyEntries) + emptyEntries.size();
  theResult.assign(text, 0, at);
  for (const WalkedEntry& entry : listing.walk.entries) {
    if (&entry != &listing.walk.entries.front()) theResult += ',';
    theResult += ListEntryJson(entry, listing.walk.blockSize).dump();
  }
  theResult.append(text, at, std::string::npos);
}

}  // namespace

FP_EXPORT(fp_input_bytes) uint8_t* InputBytes(uint32_t size) {
  Release();
  theInput.assign(size, 0);
  return theInput.data();
}

FP_EXPORT(fp_input_name) char* InputName(uint32_t size) {
  theName.assign(size, '\0');
  return theName.data();
}

FP_EXPORT(fp_input_folder) char* InputFolder(uint32_t size) {
  theFolder.assign(size, '\0');
  return theFolder.data();
}

FP_EXPORT(fp_list) int List() {
  std::vector<uint8_t> bytes;
  ArchiveContainer container;
  if (!TakeInput(bytes, container)) return kExitFailed;
  ArchiveBytes archive(bytes);
  const ArchiveListing listing = ListArchive(archive, container);
  const int status = listing.Refused() ? kExitFailed : kExitSuccess;
  FinishListing(status, listing, container);
  return status;
}

FP_EXPORT(fp_test) int Test() {
  std::vector<uint8_t> bytes;
  ArchiveContainer container;
  if (!TakeInput(bytes, container)) return kExitFailed;
  IntegrityCheck check;
  ArchiveBytes archive(bytes);
  const ArchiveWalk walk = TestArchive(archive, container, check);
  return Finish(walk.ok ? kExitSuccess : kExitFailed, TestJson(walk, check));
}

FP_EXPORT(fp_extract) int Extract() {
  std::vector<uint8_t> bytes;
  ArchiveContainer container;
  if (!TakeInput(bytes, container)) return kExitFailed;
  theFiles = new MemoryFiles;
  // Without a folder of the caller's, names go behind the longest install
  // folder, so that what comes out is what install mode could create.
  const std::string folder = theFolder.empty() ? std::string(kLongestInstallFolder) : theFolder;
  ArchiveBytes archive(bytes);
  const ArchiveWalk walk = ExtractArchive(archive, container, folder, *theFiles, theFiles->failure());
  const int status = walk.ok ? kExitSuccess : kExitFailed;
  nlohmann::json files = nlohmann::json::array();
  for (const MemoryFile& file : theFiles->files()) {
    files.push_back({{"name", file.name},
                     {"size", file.bytes.size()},
                     {"attributes", file.info.attributes},
                     {"filetimes", {file.info.creationTime, file.info.lastAccessTime, file.info.lastWriteTime}}});
  }
  nlohmann::json outcome = Outcome(status, ExtractJson(walk));
  outcome["files"] = files;
  theResult = outcome.dump();
  return status;
}

FP_EXPORT(fp_default_block_size) int32_t DefaultBlockSize() { return PackRequest().blockSize; }
FP_EXPORT(fp_min_block_size) int32_t MinBlockSize() { return archive_format::kMinBlockSize; }
FP_EXPORT(fp_max_block_size) int32_t MaxBlockSize() { return archive_format::kMaxBlockSize; }

// A file for installer, at the path last given to fp_input_name; JavaScript
// writes its bytes where this points.
FP_EXPORT(fp_add_file) uint8_t* AddFile(uint32_t size, uint64_t lastWriteTime) {
  MemoryFolder().push_back({theName, std::vector<uint8_t>(size), lastWriteTime});
  return MemoryFolder().back().bytes.data();
}

// The installer of the files added, called by the name last given to
// fp_input_name in messages; returns the command's exit status.
FP_EXPORT(fp_installer) int Installer(int32_t blockSize, int adaptive, int allowNoSetup) {
  Release();
  InstallerRequest request;
  request.pack.blockSize = blockSize;
  request.pack.adaptive = adaptive != 0;
  request.pack.paths = CommandPaths();
  request.output = theName;
  request.allowNoSetup = allowNoSetup != 0;
  request.json = true;
  int64_t total = 0;
  for (const MemoryFolderFile& file : MemoryFolder()) total += static_cast<int64_t>(file.bytes.size());
  ReadProgress progress(request.pack.adaptive ? 2 * total : total);
  WatchPackReads(&progress);
  const int status = RunInstaller(request);
  WatchPackReads(nullptr);
  std::fflush(stdout);
  MemoryFolder() = {};
  if (!TakeWrittenFile(request.output, theOutput)) theOutput = {};
  return status;
}

FP_EXPORT(fp_output_data) const uint8_t* OutputData() { return theOutput.data(); }
FP_EXPORT(fp_output_size) uint32_t OutputSize() { return static_cast<uint32_t>(theOutput.size()); }

FP_EXPORT(fp_result) const char* Result() { return theResult.data(); }
FP_EXPORT(fp_result_size) uint32_t ResultSize() { return static_cast<uint32_t>(theResult.size()); }

FP_EXPORT(fp_file_data) const uint8_t* FileData(uint32_t index) { return theFiles->files()[index].bytes.data(); }

FP_EXPORT(fp_release) void ReleaseAll() {
  Release();
  theInput = {};
  MemoryFolder() = {};
}
