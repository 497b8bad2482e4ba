// POSIX: the disk and progress helpers of the extractor's tests.
#include <sys/stat.h>

#include "base/file_time.h"
#include "tests/archive/extract_test_support.h"

namespace archive_test {

DiskStatus StatusOf(const std::string& path) {
  DiskStatus status;
  struct stat info;
  if (lstat(path.c_str(), &info) != 0) return status;
  status.exists = true;
  status.writable = (info.st_mode & 0222) != 0;
  status.lastAccessTime = TimespecToFileTime(info.st_atim);
  status.lastWriteTime = TimespecToFileTime(info.st_mtim);
  return status;
}

bool CreationTimeIsKept() { return false; }

// Progress comes to a receiver on the extracting thread, which is the test's.
struct ProgressLog::Native final : public ProgressReceiver {
  explicit Native(ProgressLog& log) : log(log) {}
  void OnProgress(uint32_t, int32_t position, int32_t total) noexcept override {
    log.received_.emplace_back(position, total);
  }
  ProgressLog& log;
};

ProgressLog::ProgressLog() : native_(new Native(*this)) {}
ProgressLog::~ProgressLog() = default;

void ProgressLog::Attach(PackReader& reader) { reader.SetProgressTarget(native_.get(), kDefaultProgressMessage); }

std::vector<std::pair<int32_t, int32_t>> ProgressLog::Collect() { return received_; }

}  // namespace archive_test
