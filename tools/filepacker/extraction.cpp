// The extractor tells the bar after every chunk, on this thread.
#include "tools/filepacker/extraction.h"

namespace {

class BarReceiver final : public ProgressReceiver {
 public:
  explicit BarReceiver(ProgressBar& bar) : bar_(bar) {}
  void OnProgress(int32_t position, int32_t total) noexcept override { bar_.Show(position, total); }

 private:
  ProgressBar& bar_;
};

}  // namespace

int RunExtraction(PackReader& reader, const uint8_t* archive, const char* folder, UnpackReport* report) {
  const bool showProgress = IsConsole(stderr);
  ProgressBar bar(stderr);
  BarReceiver receiver(bar);
  reader.SetProgressTarget(showProgress ? &receiver : nullptr);
  const int result = reader.ExtractFromMemory(archive, folder, report);
  reader.SetProgressTarget(nullptr);
  if (showProgress) bar.End();
  return result;
}
