#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>

#ifdef _WIN32
#include <windows.h>
#endif

#include "packer/pack_files.h"
#include "tools/filepacker/archive_file.h"
#include "tools/filepacker/commands.h"
#include "tools/filepacker/extraction.h"
#include "tools/filepacker/text_format.h"

namespace {

// The extractor first reads a 32-byte header whatever the file's length;
// zeros after a shorter file keep that read inside our buffer.
constexpr size_t kHeaderLength = 32;

// True when the last byte of path is a separator of its own, not the second
// byte of a two-byte character (Win32's ANSI paths; POSIX has only "/").
bool EndsInSeparator(const std::string& path) {
  bool last = false;
  for (size_t i = 0; i < path.size(); i++) {
#ifdef _WIN32
    if (IsDBCSLeadByte(static_cast<BYTE>(path[i])) && i + 1 < path.size()) {
      i++;
      last = false;
      continue;
    }
    last = path[i] == '\\' || path[i] == '/';
#else
    last = path[i] == '/';
#endif
  }
  return last;
}

// The folder as the extractor wants it: without a trailing separator (but
// "/" and "C:\" stay as they are).
std::string WithoutTrailingSeparator(std::string folder) {
  while (folder.size() > 1 && EndsInSeparator(folder) && !(folder.size() == 3 && folder[1] == ':')) {
    folder.pop_back();
  }
  return folder;
}

void PrintOutcome(bool json, bool ok, const UnpackReport& report, const std::string& message,
                  const std::string& archive) {
  if (json) {
    nlohmann::json out = {{"ok", ok},
                          {"files", report.fileCount},
                          {"bytes", report.byteTotal},
                          {"coder_error", report.coderError != 0},
                          {"message", Utf8Text(message)}};
    std::printf("%s\n", out.dump().c_str());
  } else if (ok) {
    std::printf("%s\n", ConsoleText(message).c_str());
  } else {
    PrintError(archive + ": " + (message.empty() ? std::string("extraction failed") : ConsoleText(message)));
  }
}

}  // namespace

int RunExtract(const std::string& archive, const std::string& folder, bool json) {
  if (!IsFolder(folder)) {
    PrintError(folder + ": not an existing folder");
    return kExitUsage;
  }
  std::vector<uint8_t> bytes;
  std::string error;
  LoadOutcome outcome = LoadArchiveFile(archive, bytes, error);
  if (outcome != LoadOutcome::kLoaded) {
    PrintError(error);
    return outcome == LoadOutcome::kUnreadable ? kExitUsage : kExitFailed;
  }
  if (bytes.size() < kHeaderLength) bytes.resize(kHeaderLength, 0);

  UnpackReport report;
  std::memset(&report, 0, sizeof(report));
  bool ok;
  std::string message;
  if (!ArchiveFitsIn(bytes.data(), static_cast<uint32_t>(bytes.size()))) {
    ok = false;
    message = "the archive is shorter than its size field says";
  } else {
    PackReader reader;
    std::string target = WithoutTrailingSeparator(folder);
    ok = RunExtraction(reader, bytes.data(), target.c_str(), &report) != 0;
    report.message[sizeof(report.message) - 1] = '\0';
    message = report.message;
  }
  PrintOutcome(json, ok, report, message, archive);
  return ok ? kExitSuccess : kExitFailed;
}
