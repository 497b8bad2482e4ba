// POSIX: the disk helpers of the extractor's tests.
#include <iconv.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "base/file_time.h"
#include "tests/archive/extract_test_support.h"

namespace archive_test {

DiskStatus StatusOf(const std::string& path) {
  DiskStatus status;
  struct stat info;
  if (lstat(path.c_str(), &info) != 0) return status;
  status.exists = true;
  status.writable = (info.st_mode & 0222) != 0;
  status.attributes = status.writable ? 0 : 0x01;  // read-only: no write permission
  status.lastAccessTime = TimespecToFileTime(info.st_atim);
  status.lastWriteTime = TimespecToFileTime(info.st_mtim);
  return status;
}

bool CreationTimeIsKept() { return false; }

namespace {

// The errno of converting the bytes to UTF-32 (0 on success), and how many
// characters came out.
int Iconv(const std::string& bytes, size_t& characters) {
  static const iconv_t converter = iconv_open("UTF-32LE", "CP932");
  iconv(converter, nullptr, nullptr, nullptr, nullptr);
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  char out[16];
  char* outPtr = out;
  size_t outLeft = sizeof(out);
  const int error = iconv(converter, &in, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) ? errno : 0;
  characters = (sizeof(out) - outLeft) / 4;
  return error;
}

}  // namespace

bool SystemLeadByte(uint8_t byte) {
  size_t characters = 0;
  return Iconv(std::string(1, static_cast<char>(byte)), characters) == EINVAL;  // a character begun
}

bool SystemCharacter(uint8_t lead, uint8_t trail) {
  size_t characters = 0;
  return Iconv({static_cast<char>(lead), static_cast<char>(trail)}, characters) == 0 && characters == 1;
}

}  // namespace archive_test
