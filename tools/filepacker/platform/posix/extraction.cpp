// POSIX: the extractor tells a receiver on its own thread after every chunk.
#include "tools/filepacker/extraction.h"

namespace {

class BarReceiver final : public ProgressReceiver {
 public:
  explicit BarReceiver(ProgressBar& bar) : bar_(bar) {}
  void OnProgress(uint32_t, int32_t position, int32_t total) noexcept override { bar_.Show(position, total); }

 private:
  ProgressBar& bar_;
};

}  // namespace

int RunExtraction(PackReader& reader, const uint8_t* archive, const char* folder, UnpackReport* report) {
  const bool showProgress = IsConsole(stderr);
  ProgressBar bar(stderr);
  BarReceiver receiver(bar);
  reader.SetProgressTarget(showProgress ? &receiver : nullptr, kDefaultProgressMessage);
  int result = reader.ExtractFromMemory(archive, folder, report);
  reader.SetProgressTarget(nullptr, 0);
  if (showProgress) bar.End();
  return result;
}
