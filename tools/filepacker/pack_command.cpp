#include <cstdio>

#include "archive/payload_check.h"
#include "host/file_system.h"
#include "packer/archive_writer.h"
#include "pe/payload_resource.h"
#include "packer/pack_sources.h"
#include "tools/filepacker/commands.h"
#include "tools/filepacker/embedded_stub.h"
#include "tools/filepacker/text_format.h"

namespace {

// The installer's image stays below 2 GiB too, so an archive near the
// format's limit may be one that no installer can carry: said when it is
// made, not only when `installer` refuses it.
void WarnWhenNoInstallerCarries(const std::string& archive, int64_t length) {
  constexpr int64_t kNearTheLimit = (int64_t{1} << 31) - (int64_t{1} << 24);
  PayloadStub stub;
  std::string error;
  if (length < kNearTheLimit || EmbeddedStub().empty() || !CheckPayloadStub(EmbeddedStub(), stub, error)) return;
  const uint64_t largest = LargestPayload(stub, payload_check::kRecordLength);
  if (static_cast<uint64_t>(length) <= largest) return;
  PrintError("warning: " + archive + " holds " + std::to_string(length) + " bytes, more than the " +
             std::to_string(largest) + " an installer can carry below 2 GiB: list, test and extract read it, "
             "but `filepacker installer` refuses it");
}

}  // namespace

bool CollectRequestedSources(const PackRequest& request, std::vector<PackSource>& sources, Refusal& refusal) {
  return CollectPackSources(request.paths, sources, refusal, request.dereference ? Links::kFollow : Links::kRefuse) &&
         CheckPackSources(sources, request.blockSize, refusal);
}

PackingOptions::PackingOptions(const PackRequest& request, const std::vector<PackSource>& sources)
    : shown_(IsConsole(stderr)) {
  options_.blockSize = request.blockSize;
  options_.overwrite = request.force;
  options_.adaptive = request.adaptive;
  options_.jobs = request.jobs;
  for (const PackSource& source : sources) total_ += source.size;
  if (shown_) options_.progress = this;
}

PackingOptions::~PackingOptions() {
  if (shown_) bar_.End();
}

void PackingOptions::OnChunkWritten(int32_t, int64_t bytesDone) { bar_.Show(bytesDone, total_); }

bool OutputIsFree(const std::string& output, bool force, std::string& error) {
  if (force || !PathExists(output)) return true;
  error = output + ": already exists (use -f to replace it)";
  return false;
}

bool OutputIsNoInput(const std::string& output, const std::vector<PackSource>& sources,
                     const std::vector<std::string>& others, std::string& error) {
  FileIdentity written, read;
  if (!IdentifyFile(output, written)) return true;
  std::string input;
  for (const PackSource& source : sources) {
    if (source.identity.SameFile(written)) input = source.path;
  }
  for (const std::string& other : others) {
    if (IdentifyFile(other, read) && read.SameFile(written)) input = other;
  }
  if (input.empty()) return true;
  error = output + ": is the file " + input + ", one of those it is made from, which -f would replace; name "
          "another output";
  return false;
}


int RunPack(const PackRequest& request) {
  std::vector<PackSource> sources;
  Refusal refusal;
  std::string& error = refusal.text;
  // Everything about the input is checked before the archive is begun.
  if (!CollectRequestedSources(request, sources, refusal)) {
    PrintError(error);
    return kExitUsage;
  }
  if (!OutputIsFree(request.archive, request.force, error) || !OutputIsNoInput(request.archive, sources, {}, error)) {
    PrintError(error);
    return kExitUsage;
  }
  PackSummary summary;
  const PackingOptions packing(request, sources);
  if (!WriteArchive(request.archive, sources, packing.options(), summary, error)) {
    PrintError(error);
    return kExitFailed;
  }
  std::printf("%s: %d files, %lld bytes in, %lld bytes out, ratio %s; %lld chunks, %s cut, %d thread%s\n",
              TerminalText(request.archive).c_str(), static_cast<int>(summary.fileCount),
              static_cast<long long>(summary.bytesIn), static_cast<long long>(summary.bytesOut),
              RatioText(summary.bytesOut, summary.bytesIn).c_str(),
              static_cast<long long>(summary.chunkCount), request.adaptive ? "adaptive" : "fixed", summary.threads,
              summary.threads == 1 ? "" : "s");
  WarnWhenNoInstallerCarries(request.archive, summary.bytesOut);
  return kExitSuccess;
}
