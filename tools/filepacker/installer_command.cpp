// `filepacker installer`: the installer program without a payload (the
// stub, built into filepacker or named by --stub) with an archive added as
// its resource "KORMIT" of type "FILESPACK". The archive is packed from
// files as `pack` does, into a temporary file beside the output, or taken
// as it is; the installer is then written around it a piece at a time, so
// that memory stays the same whatever the package's size. Everything is
// checked before the output appears, and it appears under its name only
// once it is complete.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>

#include "archive/name_rules.h"
#include "packer/pack_files.h"
#include "packer/pack_sources.h"
#include "host/system_error.h"
#include "host/temp_file.h"
#include "pe/payload_resource.h"
#include "pe/pe_bytes.h"
#include "pe/pe_checksum.h"
#include "inspect/archive_file.h"
#include "inspect/payload_integrity.h"
#include "tools/filepacker/command_reports.h"
#include "tools/filepacker/commands.h"
#include "tools/filepacker/embedded_stub.h"
#include "archive/payload_check.h"
#include "tools/filepacker/fault_report.h"
#include "tools/filepacker/text_format.h"

namespace {

// The archive to carry, where it is, and what the summary says of it.
struct Payload {
  TempFileBeside packed;              // when packed from files
  ArchiveFile taken;                  // when taken from a file
  std::unique_ptr<ArchiveBytes> packedBytes;
  ArchiveBytes* archive = nullptr;  // one of the two
  int64_t files = 0;
  int64_t bytesIn = 0;
};

// In install mode the installer runs the package's top-level "Setup.exe",
// which Windows finds under any of the spellings that it takes for one name.
bool CheckSetup(const InstallerRequest& request, bool holdsSetup, std::string& error) {
  if (request.allowNoSetup || holdsSetup) return true;
  error = std::string(request.archive.empty() ? "the files to pack hold" : request.archive + " holds") +
          " no top-level " + kSetupProgramName +
          ", which the installer runs after unpacking; use --allow-no-setup for a package that is only to be unpacked";
  return false;
}

int Fail(const InstallerRequest& request, int status, const std::string& message) {
  return ReportFailure(request.json, status, message);
}

// Packs the request's files through the same steps as `pack`, into a
// temporary file that stops growing the moment the installer could no
// longer carry it.
int PackPayload(const InstallerRequest& request, uint64_t largest, Payload& payload, std::string& error) {
  std::vector<PackSource> sources;
  if (!CollectRequestedSources(request.pack, sources, error)) return kExitUsage;
  if (!OutputIsNoInput(request.output, sources, {}, error)) return kExitUsage;
  if (!CheckSetup(request, HoldsSetupExe(sources), error)) return kExitUsage;

  PackRequest pack = request.pack;
  pack.archive = request.output + " (its payload)";
  PackSummary summary;
  if (!payload.packed.Create(request.output, error)) return kExitFailed;
  const ArchiveInto into{payload.packed.file(), static_cast<int64_t>(largest),
                         "the installer would reach 2 GiB, more than Windows loads (its archive may take " +
                             std::to_string(largest) + " bytes)"};
  if (!WriteRequestedArchive(pack, sources, summary, error, &into)) return kExitFailed;
  payload.packedBytes = std::make_unique<ArchiveBytes>(payload.packed.file(), 0,
                                                       static_cast<uint32_t>(summary.bytesOut), pack.archive);
  payload.archive = payload.packedBytes.get();
  payload.files = summary.fileCount;
  payload.bytesIn = summary.bytesIn;
  return kExitSuccess;
}

// Takes an existing archive, or another installer's payload, after the
// same test as `filepacker test`: an installer must not carry what would
// fail to unpack.
int TakePayload(const InstallerRequest& request, Payload& payload, std::string& error) {
  LoadOutcome outcome = payload.taken.Open(request.archive, error);
  if (outcome != LoadOutcome::kLoaded) return outcome == LoadOutcome::kUnreadable ? kExitUsage : kExitFailed;
  IntegrityCheck check;
  const ArchiveWalk walk = TestArchive(payload.taken.bytes(), payload.taken.container(), check);
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
  payload.archive = &payload.taken.bytes();
  return CheckSetup(request, holdsSetup, error) ? kExitSuccess : kExitUsage;
}

bool Put(std::FILE* file, std::span<const uint8_t> bytes, PeCheckSumAccumulator& sum) {
  sum.Add(bytes);
  return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

// The installer of AddPayload, written around the archive a piece at a
// time: the same bytes, without holding either.
bool WriteInstaller(const InstallerRequest& request, const InstallerPlan& plan, ArchiveBytes& archive,
                    std::string& error) {
  TempFileBeside temp;
  if (!temp.Create(request.output, error)) return false;
  std::FILE* out = temp.file();
  PeCheckSumAccumulator sum;
  bool written = Put(out, plan.head, sum);
  constexpr uint32_t kPiece = 1 << 20;
  std::vector<uint8_t> piece(std::min<uint32_t>(archive.size(), kPiece));
  for (uint32_t at = 0; written && at < archive.size();) {
    const uint32_t length = std::min(archive.size() - at, kPiece);
    if (!archive.Read(static_cast<int32_t>(at), piece.data(), static_cast<int32_t>(length))) {
      error = archive.readError();
      return false;
    }
    written = Put(out, std::span<const uint8_t>(piece.data(), length), sum);
    at += length;
  }
  written = written && Put(out, plan.tail, sum);
  uint8_t checkSum[4];
  StoreUint32(checkSum, sum.Finish());
  written = written && std::fseek(out, static_cast<long>(plan.checkSumOffset), SEEK_SET) == 0 &&
            std::fwrite(checkSum, 1, 4, out) == 4;
  if (!written) {
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
  const uint64_t largest = LargestPayload(checked, payload_check::kRecordLength);
  int status =
      request.archive.empty() ? PackPayload(request, largest, payload, error) : TakePayload(request, payload, error);
  if (status != kExitSuccess) return Fail(request, status, error);
  ArchiveBytes& archive = *payload.archive;
  // The installer checks its payload against this before it asks anything.
  uint8_t check[payload_check::kRecordLength];
  InstallerPlan plan;
  if (!MakePayloadCheckOf(archive, check, error)) return Fail(request, kExitFailed, error);
  if (!PlanInstaller(checked, archive.size(), check, plan, error)) {
    return Fail(request, kExitFailed, request.output + ": " + error);
  }
  if (!WriteInstaller(request, plan, archive, error)) return Fail(request, kExitFailed, error);
  const uint64_t installerBytes = plan.Size();

  if (request.json) {
    nlohmann::json out = {{"ok", true},
                          {"files", payload.files},
                          {"bytes_in", payload.bytesIn},
                          {"archive_bytes", archive.size()},
                          {"stub_bytes", stub.size()},
                          {"installer_bytes", installerBytes},
                          {"payload_offset", plan.payloadOffset}};
    PrintJson(out);
  } else {
    std::printf("%s: %lld files, %lld bytes in, %lu archive bytes (ratio %s), %llu installer bytes\n",
                TerminalText(request.output).c_str(), static_cast<long long>(payload.files),
                static_cast<long long>(payload.bytesIn), static_cast<unsigned long>(archive.size()),
                RatioText(static_cast<int64_t>(archive.size()), payload.bytesIn).c_str(),
                static_cast<unsigned long long>(installerBytes));
  }
  return kExitSuccess;
}
