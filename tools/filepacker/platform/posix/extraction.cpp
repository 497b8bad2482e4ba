// POSIX: the extractor calls back on its own thread after every chunk.
#include "tools/filepacker/extraction.h"

namespace {

void OnProgress(void* bar, int32_t position, int32_t total) { static_cast<ProgressBar*>(bar)->Show(position, total); }

}  // namespace

int RunExtraction(PackReader& reader, const uint8_t* archive, const char* folder, UnpackReport* report) {
  const bool showProgress = IsConsole(stderr);
  ProgressBar bar(stderr);
  reader.SetProgressTarget(showProgress ? OnProgress : nullptr, &bar);
  int result = reader.ExtractFromMemory(archive, folder, report);
  reader.SetProgressTarget(nullptr, nullptr);
  if (showProgress) bar.End();
  return result;
}
