// `filepacker installer`: the installer program without a payload (the
// stub, built into filepacker or named by --stub) with an archive added as
// its resource "KORMIT" of type "FILESPACK". The archive is packed from
// files as `pack` does, or taken as it is. Everything is checked before the
// output appears, and it appears under its name only once it is complete.
#include <cstdio>
#include <nlohmann/json.hpp>

#include "archive/name_rules.h"
#include "packer/pack_files.h"
#include "packer/pack_sources.h"
#include "host/system_error.h"
#include "packer/temp_file.h"
#include "pe/payload_resource.h"
#include "inspect/archive_file.h"
#include "tools/filepacker/command_reports.h"
#include "tools/filepacker/commands.h"
#include "tools/filepacker/embedded_stub.h"
#include "archive/payload_check.h"
#include "tools/filepacker/fault_report.h"
#include "tools/filepacker/text_format.h"

namespace {

// The archive to carry, and what the summary says of it.
struct Payload {
  std::vector<uint8_t> archive;
  int64_t files = 0;
  int64_t bytesIn = 0;
};

// In install mode the installer runs the package's top-level "Setup.exe",
// which Windows finds under any of the spellings that it takes for one name.
bool CheckSetup(const InstallerRequest& request, bool holdsSetup, std::string& error) {
  if (request.allowNoSetup || holdsSetup) return true;
  error = std::string(request.archive.empty() ? "the files to pack hold" : request.archive + " holds") +
          " no top-level " + kSetupProgramName + ", which the installer runs after unpacking; use --allow-no-setup for a package "
          "that is only to be unpacked";
  return false;
}

int Fail(const InstallerRequest& request, int status, const std::string& message) {
  return ReportFailure(request.json, status, message);
}

// Packs the request's files through the same steps as `pack`, into memory.
int PackPayload(const InstallerRequest& request, Payload& payload, std::string& error) {
  std::vector<PackSource> sources;
  if (!CollectRequestedSources(request.pack, sources, error)) return kExitUsage;
  if (!OutputIsNoInput(request.output, sources, {}, error)) return kExitUsage;
  if (!CheckSetup(request, HoldsSetupExe(sources), error)) return kExitUsage;

  PackRequest pack = request.pack;
  pack.archive = request.output + " (its payload)";
  PackSummary summary;
  if (!WriteRequestedArchive(pack, sources, summary, error, &payload.archive)) return kExitFailed;
  payload.files = summary.fileCount;
  payload.bytesIn = summary.bytesIn;
  return kExitSuccess;
}

// Takes an existing archive, or another installer's payload, after the
// same test as `filepacker test`: an installer must not carry what would
// fail to unpack.
int TakePayload(const InstallerRequest& request, Payload& payload, std::string& error) {
  ArchiveContainer container;
  LoadOutcome outcome = LoadArchiveFile(request.archive, payload.archive, error, &container);
  if (outcome != LoadOutcome::kLoaded) return outcome == LoadOutcome::kUnreadable ? kExitUsage : kExitFailed;
  IntegrityCheck check;
  const ArchiveWalk walk = TestArchive(payload.archive, container, check);
  if (!walk.ok) {
    PrintFault(request.archive, walk.fault);
    error = request.archive + ": `filepacker test` refuses it, so the installer could not install it";
    return kExitFailed;
  }
  bool holdsSetup = false;
  for (const WalkedEntry& entry : walk.entries) {
    holdsSetup = holdsSetup || IsSetupExeName(entry.name);
    payload.bytesIn += entry.size;
  }
  payload.files = static_cast<int64_t>(walk.entries.size());
  return CheckSetup(request, holdsSetup, error) ? kExitSuccess : kExitUsage;
}

bool WriteInstaller(const InstallerRequest& request, const std::vector<uint8_t>& installer, std::string& error) {
  TempFileBeside temp;
  if (!temp.Create(request.output, error)) return false;
  if (std::fwrite(installer.data(), 1, installer.size(), temp.file()) != installer.size()) {
    error = WriteError(request.output);
    return false;
  }
  return temp.Commit(request.pack.force, error);
}

}  // namespace

int RunInstaller(const InstallerRequest& request) {
  if (request.archive.empty() && request.pack.paths.empty()) {
    return Fail(request, kExitUsage, "give the files and folders to pack, or --archive ARCHIVE");
  }
  std::string error;
  if (!OutputIsFree(request.output, request.pack.force, error) ||
      !OutputIsNoInput(request.output, {}, {request.archive, request.stub}, error)) {
    return Fail(request, kExitUsage, error);
  }
  std::vector<uint8_t> stubFile;
  std::span<const uint8_t> stub = EmbeddedStub();
  std::string stubName = "the installer program built into filepacker";
  if (!request.stub.empty()) {
    LoadOutcome outcome = LoadWholeFile(request.stub, stubFile, error);
    if (outcome != LoadOutcome::kLoaded) {
      return Fail(request, outcome == LoadOutcome::kUnreadable ? kExitUsage : kExitFailed, error);
    }
    stub = stubFile;
    stubName = request.stub;
  } else if (stub.empty()) {
    return Fail(request, kExitUsage,
                "this filepacker carries no installer program (it was built without the Windows cross compiler): "
                "name one with --stub, e.g. --stub Kormit_bare.exe");
  }
  PayloadStub checked;
  if (!CheckPayloadStub(stub, checked, error)) {
    return Fail(request, kExitFailed, stubName + " cannot take a payload: " + error);
  }

  Payload payload;
  int status = request.archive.empty() ? PackPayload(request, payload, error) : TakePayload(request, payload, error);
  if (status != kExitSuccess) return Fail(request, status, error);
  // The installer checks its payload against this before it asks anything.
  uint8_t check[payload_check::kRecordLength];
  MakePayloadCheck(payload.archive.data(), static_cast<uint32_t>(payload.archive.size()), check);
  std::vector<uint8_t> installer;
  PayloadLocation where;
  if (!AddPayload(checked, payload.archive, check, installer, where, error)) {
    return Fail(request, kExitFailed, request.output + ": " + error);
  }
  if (!WriteInstaller(request, installer, error)) return Fail(request, kExitFailed, error);

  if (request.json) {
    nlohmann::json out = {{"ok", true},
                          {"files", payload.files},
                          {"bytes_in", payload.bytesIn},
                          {"archive_bytes", payload.archive.size()},
                          {"stub_bytes", stub.size()},
                          {"installer_bytes", installer.size()},
                          {"payload_offset", where.offset}};
    PrintJson(out);
  } else {
    std::printf("%s: %lld files, %lld bytes in, %zu archive bytes (ratio %s), %zu installer bytes\n",
                TerminalText(request.output).c_str(), static_cast<long long>(payload.files),
                static_cast<long long>(payload.bytesIn), payload.archive.size(),
                RatioText(static_cast<int64_t>(payload.archive.size()), payload.bytesIn).c_str(), installer.size());
  }
  return kExitSuccess;
}
