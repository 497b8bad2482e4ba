// POSIX: file metadata from stat(), names in UTF-8, signals, and a temporary
// file that is linked into place, so that an existing archive is never
// replaced unless the caller asks for it.
#include "host/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "archive/archive_format.h"
#include "base/file_time.h"
#include "host/system_error.h"

namespace file_system {

namespace {

using archive_format::kAttributeArchive;
using archive_format::kAttributeReadOnly;

std::string LastElement(const std::string& path) {
  std::string trimmed = path;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  size_t slash = trimmed.rfind('/');
  return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

Status StatusOf(const struct stat& info) {
  Status status;
  status.kind = S_ISREG(info.st_mode)   ? Kind::kRegular
                : S_ISDIR(info.st_mode) ? Kind::kFolder
                : S_ISLNK(info.st_mode) ? Kind::kLink
                                        : Kind::kOther;
  status.identity = {static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino), info.st_size,
                     TimespecToFileTime(info.st_ctim), TimespecToFileTime(info.st_mtim)};
  status.attributes = kAttributeArchive;
  if ((info.st_mode & S_IWUSR) == 0) status.attributes |= kAttributeReadOnly;
  status.lastWriteTime = TimespecToFileTime(info.st_mtim);
  // Most POSIX file systems keep no creation time that stat() reports.
  status.creationTime = status.lastWriteTime;
  return status;
}

void (*theRemoveTemps)() = nullptr;

// Every signal whose default is to end the process, but those that report
// the program's own fault (SIGSEGV, SIGABRT and the like): a signal sent by
// a user, a terminal, a timer or a closed pipe.
constexpr int kInterruptions[] = {SIGINT,  SIGTERM,   SIGHUP,  SIGQUIT, SIGPIPE, SIGUSR1,
                                  SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU};

void RemoveTempsAndEnd(int signal) {
  theRemoveTemps();
  // Then end as the signal would have ended the process.
  struct sigaction standard = {};
  standard.sa_handler = SIG_DFL;
  sigaction(signal, &standard, nullptr);
  raise(signal);
}

}  // namespace

const char kNotRegularWhat[] = "a FIFO, a device or a socket";

bool Stat(const std::string& path, bool followLink, Status& status) {
  struct stat info;
  if ((followLink ? stat(path.c_str(), &info) : lstat(path.c_str(), &info)) != 0) return false;
  status = StatusOf(info);
  return true;
}

std::string LinkWords(const std::string& path) {
  char target[PATH_MAX];
  const ssize_t length = readlink(path.c_str(), target, sizeof target);
  if (length < 0) return "a symbolic link to somewhere";
  return "a symbolic link to \"" + std::string(target, static_cast<size_t>(length)) + '"';
}

bool CanRead(const std::string& path) { return access(path.c_str(), R_OK) == 0; }

void SplitPath(const std::string& path, std::string& folder, std::string& last) {
  folder = FolderOf(path);
  last = LastElement(path);
}

// O_NONBLOCK: opening a FIFO waits for a writer; it changes nothing for a
// regular file.
bool OpenToRead(const std::string& path, bool followLink, std::FILE*& file, Status& status, bool& linkRefused) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW));
  struct stat info;
  if (fd >= 0 && fstat(fd, &info) == 0) {
    status = StatusOf(info);
    file = fdopen(fd, "rb");
    if (file != nullptr) return true;
  }
  linkRefused = fd < 0 && errno == ELOOP;
  if (fd >= 0) {
    const int error = errno;
    close(fd);
    errno = error;
  }
  return false;
}

bool StatOpen(std::FILE* file, Status& status) {
  struct stat info;
  if (fstat(fileno(file), &info) != 0) return false;
  status = StatusOf(info);
  return true;
}

bool ListNames(const std::string& folder, std::vector<std::string>& names, std::string& prefix, std::string& error) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) {
    error = PathError(folder);
    return false;
  }
  while (dirent* entry = readdir(dir)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    names.push_back(entry->d_name);
  }
  closedir(dir);
  prefix = folder;
  if (prefix.empty() || prefix.back() != '/') prefix += '/';
  return true;
}

bool CreateTempFile(const std::string& target, std::string& tempPath, std::FILE*& file, std::string& error) {
  // "." and ".XXXXXX" add 8 bytes: a long name gives up its end, so that
  // the temporary file can be made wherever the target can.
  const std::string folder = FolderOf(target);
  std::string last = LastElement(target);
  const long longest = pathconf(folder.c_str(), _PC_NAME_MAX);
  last.resize(std::min(last.size(), static_cast<size_t>(longest > 8 ? longest : NAME_MAX) - 8));
  std::string pattern = folder + "/." + last + ".XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = mkstemp(name.data());
  if (fd < 0) {
    error = PathError(pattern);
    return false;
  }
  tempPath = name.data();
  ArmTemp(tempPath);
  // mkstemp makes the file private; an archive is an ordinary file.
  mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  // Read back too: the installer's payload is packed into one first.
  file = fdopen(fd, "w+b");
  if (file == nullptr) {
    error = PathError(tempPath);
    close(fd);
    RemoveTempFile(tempPath);
    return false;
  }
  return true;
}

bool MoveTemp(const std::string& tempPath, const std::string& target, bool overwrite, std::string& error) {
  if (overwrite) {
    if (rename(tempPath.c_str(), target.c_str()) != 0) {
      error = PathError(target);
      return false;
    }
    return true;
  }
  // link() fails when the target exists: no window in which another
  // process's file could be replaced.
  if (link(tempPath.c_str(), target.c_str()) == 0) {
    unlink(tempPath.c_str());
    return true;
  }
  if (errno == EEXIST) {
    error = AlreadyExists(target);
    return false;
  }
  // File systems without hard links: check, then rename.
  if (errno == EPERM || errno == ENOTSUP || errno == EOPNOTSUPP || errno == EXDEV) {
    if (PathExists(target)) {
      error = AlreadyExists(target);
      return false;
    }
    if (rename(tempPath.c_str(), target.c_str()) == 0) return true;
  }
  error = PathError(target);
  return false;
}

void DeleteNow(const char* path) { unlink(path); }

// A signal that the process ignores (nohup) stays ignored. A file size
// limit (ulimit -f) fails the write with EFBIG instead of ending the
// process: the error names it and the temporary file goes.
void CatchInterruptions(void (*removeTemps)()) {
  if (theRemoveTemps != nullptr) return;
  theRemoveTemps = removeTemps;
  signal(SIGXFSZ, SIG_IGN);
  for (int signal : kInterruptions) {
    struct sigaction old = {};
    if (sigaction(signal, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
    struct sigaction handler = {};
    handler.sa_handler = RemoveTempsAndEnd;
    sigfillset(&handler.sa_mask);
    sigaction(signal, &handler, nullptr);
  }
}

}  // namespace file_system

bool IdentifyFile(const std::string& path, FileIdentity& identity) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return false;
  identity = file_system::StatusOf(info).identity;
  return true;
}

bool IsFolder(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool PathExists(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}
