// `filepacker installer`: the installer program without a payload (the
// stub, built into filepacker or named by --stub) with an archive added as
// its resource "KORMIT" of type "FILESPACK". The archive is packed from
// files as `pack` does, into a temporary file beside the output, or taken
// as it is; the installer is then written around it a piece at a time, so
// that memory stays the same whatever the package's size. Everything is
// checked before the output appears, and it appears under its name only
// once it is complete.
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>

#include "host/temp_file.h"
#include "packer/pack_files.h"
#include "tools/filepacker/command_reports.h"
#include "tools/filepacker/commands.h"
#include "tools/filepacker/embedded_stub.h"
#include "tools/filepacker/fault_report.h"
#include "engine/requests.h"
#include "tools/filepacker/text_format.h"

namespace {

int Fail(const InstallerRequest& request, int status, const std::string& message,
         RefusalCode code = RefusalCode::kOther) {
  return ReportFailure(request.json, status, code, message);
}

void PrintSummary(const InstallerRequest& request, const InstallerResult& made) {
  if (request.json) {
    nlohmann::json json = InstallerJson(made);
    json["ok"] = true;
    PrintJson(json);
  } else {
    std::printf("%s: %lld files, %lld bytes in, %lu archive bytes (ratio %s), %llu installer bytes\n",
                TerminalText(request.output).c_str(), static_cast<long long>(made.files),
                static_cast<long long>(made.bytesIn), static_cast<unsigned long>(made.archiveBytes),
                RatioText(static_cast<int64_t>(made.archiveBytes), made.bytesIn).c_str(),
                static_cast<unsigned long long>(made.installerBytes));
  }
}

}  // namespace

int RunInstaller(const InstallerRequest& request) {
  if (request.archive.empty() && request.pack.paths.empty()) {
    return Fail(request, kExitUsage, "give the files and folders to pack, or --archive ARCHIVE", RefusalCode::kUsage);
  }
  std::string error;
  if (!OutputIsFree(request.output, request.pack.force, error) ||
      !OutputIsNoInput(request.output, {}, {request.archive, request.stub}, error)) {
    return Fail(request, kExitUsage, error);
  }
  MakeInstallerRequest make;
  make.stub = EmbeddedStub();
  make.stubName = kEmbeddedStubName;
  std::vector<uint8_t> stubFile;
  if (!request.stub.empty()) {
    LoadOutcome outcome = LoadWholeFile(request.stub, stubFile, error);
    if (outcome != LoadOutcome::kLoaded) {
      return Fail(request, outcome == LoadOutcome::kUnreadable ? kExitUsage : kExitFailed, error);
    }
    make.stub = stubFile;
    make.stubName = request.stub;
  } else if (make.stub.empty()) {
    return Fail(request, kExitUsage,
                "this filepacker carries no installer program (it was built without the Windows cross compiler): "
                "name one with --stub, e.g. --stub Kormit_bare.exe");
  }

  ArchiveInput taken;
  TempFileBeside packed;
  std::unique_ptr<PackingOptions> packing;
  if (request.archive.empty()) {
    Refusal collected;
    if (!CollectRequestedSources(request.pack, make.sources, collected)) {
      return Fail(request, kExitUsage, collected.text, collected.code);
    }
    if (!OutputIsNoInput(request.output, make.sources, {}, error)) return Fail(request, kExitUsage, error);
    if (!packed.Create(request.output, error)) return Fail(request, kExitFailed, error);
    packing = std::make_unique<PackingOptions>(request.pack, make.sources);
    make.packing = packing->options();
    make.packedSink = &packed;
    make.packedSource = &packed;
  } else {
    const Answer opened = taken.OpenFile(request.archive);
    if (opened.refusal.Refused()) {
      return Fail(request, opened.ExitStatus(), opened.refusal.text, opened.refusal.code);
    }
    make.archive = &taken;
  }
  make.allowNoSetup = request.allowNoSetup;
  make.output = request.output;
  TempFileBeside output;
  if (!output.Create(request.output, error)) return Fail(request, kExitFailed, error);
  make.installer = &output;

  const InstallerResult made = MakeInstaller(make);
  if (made.refusal.Refused()) {
    if (!made.takenFault.cause.empty()) PrintFault(request.archive, made.takenFault);
    return Fail(request, made.ExitStatus(), made.refusal.text, made.refusal.code);
  }
  if (!output.Commit(request.pack.force, error)) return Fail(request, kExitFailed, error);
  PrintSummary(request, made);
  return kExitSuccess;
}
