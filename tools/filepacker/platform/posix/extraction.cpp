// POSIX: the extractor calls back on its own thread after every chunk.
#include "tools/filepacker/extraction.h"

namespace {

void OnProgress(void*, int32_t position, int32_t total) { DrawProgressBar(position, total); }

}  // namespace

int RunExtraction(PackReader& reader, const uint8_t* archive, const char* folder, UnpackReport* report) {
  bool showProgress = StderrIsTerminal();
  reader.SetProgressTarget(showProgress ? OnProgress : nullptr, nullptr);
  int result = reader.ExtractFromMemory(archive, folder, report);
  reader.SetProgressTarget(nullptr, nullptr);
  if (showProgress) EndProgressBar();
  return result;
}
