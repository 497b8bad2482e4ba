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
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tools/filepacker/commands.h"
#include "tools/filepacker/command_reports.h"
#include "tools/web/memory_files.h"

#define FP_EXPORT(name) extern "C" __attribute__((export_name(#name)))

namespace {

std::vector<uint8_t> theInput;
std::string theName;    // what the input is called in messages
std::string theFolder;  // the folder extract's names are created behind
std::string theResult;
MemoryFiles* theFiles = nullptr;

void Release() {
  delete theFiles;
  theFiles = nullptr;
  theResult.clear();
  theResult.shrink_to_fit();
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
  const ArchiveListing listing = ListArchive(bytes, container);
  return Finish(listing.Refused() ? kExitFailed : kExitSuccess, ListJson(listing, container));
}

FP_EXPORT(fp_test) int Test() {
  std::vector<uint8_t> bytes;
  ArchiveContainer container;
  if (!TakeInput(bytes, container)) return kExitFailed;
  IntegrityCheck check;
  const ArchiveWalk walk = TestArchive(bytes, container, check);
  return Finish(walk.ok ? kExitSuccess : kExitFailed, TestJson(walk, check));
}

FP_EXPORT(fp_extract) int Extract() {
  std::vector<uint8_t> bytes;
  ArchiveContainer container;
  if (!TakeInput(bytes, container)) return kExitFailed;
  theFiles = new MemoryFiles;
  const ArchiveWalk walk = ExtractArchive(bytes, container, theFolder, *theFiles, theFiles->failure());
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

FP_EXPORT(fp_result) const char* Result() { return theResult.data(); }
FP_EXPORT(fp_result_size) uint32_t ResultSize() { return static_cast<uint32_t>(theResult.size()); }

FP_EXPORT(fp_file_data) const uint8_t* FileData(uint32_t index) { return theFiles->files()[index].bytes.data(); }

FP_EXPORT(fp_release) void ReleaseAll() {
  Release();
  theInput = {};
}
