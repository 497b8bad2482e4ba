// The installer made of a stub and an archive: the archive packed from
// files into the caller's store (a temporary file beside the output, or
// memory), or taken as it is after the same test as `filepacker test`; then
// the installer written around it a piece at a time, with its check record
// and PE checksum, so that neither is ever held whole.
#include <algorithm>
#include <vector>

#include "archive/name_rules.h"
#include "archive/payload_check.h"
#include "base/installer_rules.h"
#include "base/little_endian.h"
#include "host/system_error.h"
#include "packer/pack_sources.h"
#include "pe/payload_resource.h"
#include "pe/pe_checksum.h"
#include "engine/requests.h"

namespace {

// The archive to carry, where it is, and what the summary says of it.
struct Payload {
  std::unique_ptr<ArchiveBytes> packed;  // when packed from files
  ArchiveBytes* archive = nullptr;       // that, or the taken one
};

void Refuse(InstallerResult& result, RefusalCode code, std::string text, bool asGiven) {
  result.refusal = {code, std::move(text)};
  result.asGiven = asGiven;
}

// In install mode the installer runs the package's top-level "Setup.exe",
// which Windows finds under any of the spellings that it takes for one name.
bool CheckSetup(const MakeInstallerRequest& request, bool holdsSetup, InstallerResult& result) {
  if (request.allowNoSetup || holdsSetup) return true;
  Refuse(result, RefusalCode::kNoSetup,
         std::string(request.archive == nullptr ? "the files to pack hold" : request.archive->name() + " holds") +
             " no top-level " + kSetupProgramName +
             ", which the installer runs after unpacking; use --allow-no-setup for a package that is only to be "
             "unpacked",
         true);
  return false;
}

// Packs the sources as `pack` does, into the request's store, which stops
// growing the moment the installer could no longer carry the archive.
bool PackPayload(const MakeInstallerRequest& request, uint64_t largest, Payload& payload, InstallerResult& result) {
  if (!CheckPackSources(request.sources, request.packing.blockSize, result.refusal)) {
    result.asGiven = true;
    return false;
  }
  if (!CheckSetup(request, HoldsSetupExe(request.sources), result)) return false;
  PackOptions options = request.packing;
  options.maxLength = static_cast<int64_t>(largest);
  options.limitText = "the installer would reach 2 GiB, more than Windows loads (its archive may take " +
                      std::to_string(largest) + " bytes)";
  const std::string name = request.output + " (its payload)";
  PackSummary summary;
  if (!PackInto(name, request.sources, options, *request.packedSink, summary, result.refusal)) {
    result.asGiven = false;
    return false;
  }
  payload.packed = std::make_unique<ArchiveBytes>(*request.packedSource, static_cast<uint32_t>(summary.bytesOut), name);
  payload.archive = payload.packed.get();
  result.files = summary.fileCount;
  result.bytesIn = summary.bytesIn;
  return true;
}

// An installer must not carry what would fail to unpack.
bool TakePayload(const MakeInstallerRequest& request, Payload& payload, InstallerResult& result) {
  const TestResult test = TestArchive(*request.archive);
  if (test.refusal.Refused()) {
    result.takenFault = test.walk.fault;
    Refuse(result, test.refusal.code,
           request.archive->name() + ": `filepacker test` refuses it, so the installer could not install it", false);
    return false;
  }
  bool holdsSetup = false;
  for (const WalkedEntry& entry : test.walk.entries) {
    holdsSetup = holdsSetup || IsSetupExeName(entry.name);
    result.bytesIn += entry.size;
  }
  result.files = static_cast<int64_t>(test.walk.entries.size());
  payload.archive = &request.archive->bytes();
  return CheckSetup(request, holdsSetup, result);
}

bool Put(ByteSink& out, uint64_t& at, std::span<const uint8_t> bytes, PeCheckSumAccumulator& sum) {
  sum.Add(bytes);
  const bool written = out.WriteAt(at, bytes);
  at += bytes.size();
  return written;
}

// The installer of AddPayload, written around the archive a piece at a
// time: the same bytes, without holding either.
bool WriteInstaller(const MakeInstallerRequest& request, const InstallerPlan& plan, ArchiveBytes& archive,
                    InstallerResult& result) {
  ByteSink& out = *request.installer;
  PeCheckSumAccumulator sum;
  uint64_t at = 0;
  bool written = Put(out, at, plan.head, sum);
  constexpr uint32_t kPiece = 1 << 20;
  std::vector<uint8_t> piece(std::min<uint32_t>(archive.size(), kPiece));
  for (uint32_t done = 0; written && done < archive.size();) {
    const uint32_t length = std::min(archive.size() - done, kPiece);
    if (!archive.ReadAt(done, piece.data(), length)) {
      Refuse(result, RefusalCode::kUnreadable, archive.readError(), false);
      return false;
    }
    written = Put(out, at, std::span<const uint8_t>(piece.data(), length), sum);
    done += length;
  }
  written = written && Put(out, at, plan.tail, sum);
  uint8_t checkSum[4];
  StoreUint32(checkSum, sum.Finish());
  if (!written || !out.WriteAt(plan.checkSumOffset, checkSum)) {
    Refuse(result, RefusalCode::kCannotCreate, WriteError(request.output), false);
    return false;
  }
  return true;
}

}  // namespace

InstallerResult MakeInstaller(const MakeInstallerRequest& request) {
  InstallerResult result;
  std::string error;
  PayloadStub checked;
  if (!CheckPayloadStub(request.stub, checked, error)) {
    Refuse(result, RefusalCode::kOther, request.stubName + " cannot take a payload: " + error, false);
    return result;
  }
  Payload payload;
  const uint64_t largest = LargestPayload(checked, payload_check::kRecordLength);
  const bool carried = request.archive == nullptr ? PackPayload(request, largest, payload, result)
                                                  : TakePayload(request, payload, result);
  if (!carried) return result;
  ArchiveBytes& archive = *payload.archive;
  // The installer checks its payload against this before it asks anything.
  uint8_t check[payload_check::kRecordLength];
  InstallerPlan plan;
  if (!MakePayloadCheckOf(archive, check, error)) {
    Refuse(result, RefusalCode::kUnreadable, error, false);
    return result;
  }
  if (!PlanInstaller(checked, archive.size(), check, plan, error)) {
    Refuse(result, RefusalCode::kTooLarge, request.output + ": " + error, false);
    return result;
  }
  if (!WriteInstaller(request, plan, archive, result)) return result;
  result.archiveBytes = archive.size();
  result.stubBytes = request.stub.size();
  result.installerBytes = plan.Size();
  result.payloadOffset = plan.payloadOffset;
  return result;
}
