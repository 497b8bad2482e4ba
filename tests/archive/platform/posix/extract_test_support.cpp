// POSIX: the disk helpers of the extractor's tests.
#include <sys/stat.h>

#include "archive/file_time.h"
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

}  // namespace archive_test
