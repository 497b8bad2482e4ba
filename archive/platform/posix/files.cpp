// The extractor's file operations on POSIX: create only what does not exist
// yet, never through a symbolic link, write in full, apply last access and
// last write time (POSIX file systems hold no creation time to set) and map
// the read-only attribute onto the write permissions. A failure leaves its
// cause in errno.
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "archive/archive_format.h"
#include "archive/entry_path.h"
#include "archive/platform/platform.h"
#include "base/file_time.h"

namespace {

int OpenFlags(uint32_t creationDisposition) {
  switch (creationDisposition) {
    case kCreateNew: return O_CREAT | O_EXCL;
    case kCreateAlways: return O_CREAT | O_TRUNC;
    case kOpenExisting: return 0;
    case kOpenAlways: return O_CREAT;
    case kTruncateExisting: return O_TRUNC;
    default: return -1;
  }
}

// The destination folder is the caller's and may be reached through links.
// Below it nothing is followed: each folder of the name is opened relative
// to the one before without following a link, and the file itself is never
// a link, so that no entry can reach outside the destination.
#ifdef O_PATH
constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

// Closes a descriptor without losing the errno of what failed before.
void CloseKeepingErrno(int descriptor) {
  const int error = errno;
  close(descriptor);
  errno = error;
}

// A FILETIME of 0 leaves that time as it is, as SetFileTime does.
timespec TimeToApply(uint64_t fileTime) {
  if (fileTime == 0) {
    timespec omit{};
    omit.tv_nsec = UTIME_OMIT;
    return omit;
  }
  return FileTimeToTimespec(fileTime);
}

}  // namespace

FileHandle SystemFiles::Create(const char* path, int nameStart, uint32_t creationDisposition) noexcept {
  const int flags = OpenFlags(creationDisposition);
  // path[nameStart - 1] is the "\" that the extractor put after the folder.
  if (flags < 0 || nameStart < 1 || static_cast<size_t>(nameStart) > PATH_MAX) {
    errno = EINVAL;
    return NoFileHandle();
  }
  char folder[PATH_MAX];
  std::memcpy(folder, path, static_cast<size_t>(nameStart - 1));
  folder[nameStart - 1] = '\0';
  char name[PATH_MAX];
  if (!MakeUtf8Name(path + nameStart, name, sizeof(name))) return NoFileHandle();

  int parent = open(folder, kFolderFlags);
  if (parent < 0) return NoFileHandle();
  char* element = name;
  for (char* slash = std::strchr(element, '/'); slash != nullptr; slash = std::strchr(element, '/')) {
    *slash = '\0';
    const int inner = openat(parent, element, kFolderFlags | O_NOFOLLOW);
    CloseKeepingErrno(parent);
    if (inner < 0) return NoFileHandle();
    parent = inner;
    element = slash + 1;
  }
  const int file = openat(parent, element, flags | O_WRONLY | O_NOFOLLOW | O_CLOEXEC, 0666);
  CloseKeepingErrno(parent);
  return file < 0 ? NoFileHandle() : file;
}

int32_t SystemFiles::Write(FileHandle file, const uint8_t* bytes, int32_t count) noexcept {
  int32_t written = 0;
  while (written < count) {
    const ssize_t result = write(static_cast<int>(file), bytes + written, static_cast<size_t>(count - written));
    if (result < 0 && errno == EINTR) continue;
    if (result <= 0) return written > 0 ? written : -1;
    written += static_cast<int32_t>(result);
  }
  return written;
}

void SystemFiles::Finish(FileHandle file, const char*, const EntryInfo& info) noexcept {
  const timespec times[2] = {TimeToApply(info.lastAccessTime), TimeToApply(info.lastWriteTime)};
  const int descriptor = static_cast<int>(file);
  futimens(descriptor, times);
  if (info.attributes & archive_format::kAttributeReadOnly) {
    struct stat status;
    if (fstat(descriptor, &status) == 0) fchmod(descriptor, status.st_mode & ~mode_t{0222} & 07777);
  }
  close(descriptor);
}

SystemFiles theSystemFiles;
