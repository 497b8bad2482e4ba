// POSIX: file metadata from stat(), names from UTF-8, and a temporary file
// that is linked into place, so that an existing archive is never replaced
// unless the caller asks for it.
#include "packer/pack_files.h"

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
#include "host/cp932_text.h"
#include "host/system_error.h"

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

// The temporary files that an interruption removes. A slot's path is
// written before it is armed and only read by the handler while armed.
constexpr int kTempSlots = 4;
char tempSlotPath[kTempSlots][PATH_MAX];
volatile sig_atomic_t tempSlotArmed[kTempSlots];
// Every signal whose default is to end the process, but those that report
// the program's own fault (SIGSEGV, SIGABRT and the like): a signal sent by
// a user, a terminal, a timer or a closed pipe.
constexpr int kInterruptions[] = {SIGINT,  SIGTERM,   SIGHUP,  SIGQUIT, SIGPIPE, SIGUSR1,
                                  SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU};

void RemoveTempsAndEnd(int signal) {
  for (int i = 0; i < kTempSlots; i++) {
    if (tempSlotArmed[i]) unlink(tempSlotPath[i]);
  }
  // Then end as the signal would have ended the process.
  struct sigaction standard = {};
  standard.sa_handler = SIG_DFL;
  sigaction(signal, &standard, nullptr);
  raise(signal);
}

// Installed once; a signal that the process ignores (nohup) stays ignored.
// A file size limit (ulimit -f) fails the write with EFBIG instead of
// ending the process: the error names it and the temporary file goes.
void CatchInterruptions() {
  static bool installed = false;
  if (installed) return;
  installed = true;
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

void ArmTemp(const std::string& path) {
  CatchInterruptions();
  for (int i = 0; i < kTempSlots; i++) {
    if (!tempSlotArmed[i] && path.size() < PATH_MAX) {
      std::memcpy(tempSlotPath[i], path.c_str(), path.size() + 1);
      tempSlotArmed[i] = 1;
      return;
    }
  }
}

void DisarmTemp(const std::string& path) {
  for (int i = 0; i < kTempSlots; i++) {
    if (tempSlotArmed[i] && path == tempSlotPath[i]) tempSlotArmed[i] = 0;
  }
}

FileIdentity IdentityOf(const struct stat& status) {
  return {static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino), status.st_size,
          TimespecToFileTime(status.st_ctim), TimespecToFileTime(status.st_mtim)};
}

// Opens for reading without waiting (opening a FIFO waits for a writer;
// O_NONBLOCK changes nothing for a regular file), with the status of what
// was opened. -1, errno set, on failure.
int OpenWithoutWaiting(const std::string& path, int flags, struct stat& status) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | flags);
  if (fd >= 0 && fstat(fd, &status) != 0) {
    const int error = errno;
    close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

// The descriptor as a stream; closed on failure, with the error naming path.
bool StreamOf(int fd, const std::string& path, std::FILE*& file, std::string& error) {
  file = fdopen(fd, "rb");
  if (file != nullptr) return true;
  error = PathError(path);
  close(fd);
  return false;
}

std::string ChangedError(const PackSource& source) {
  return source.path + ": is no longer the regular file of " + std::to_string(source.size) +
         " bytes that was checked (it was changed or replaced while packing)";
}

}  // namespace

bool DescribePackFile(const std::string& path, PackSource& source, std::string& error, Links links) {
  struct stat status;
  if (lstat(path.c_str(), &status) != 0) {
    error = PathError(path);
    return false;
  }
  const bool link = S_ISLNK(status.st_mode);
  if (link && links == Links::kRefuse) {
    char target[PATH_MAX];
    const ssize_t length = readlink(path.c_str(), target, sizeof target);
    error = path;
    error += ": a symbolic link to ";
    if (length >= 0) {
      error += '"';
      error.append(target, static_cast<size_t>(length));
      error += '"';
    } else {
      error += "somewhere";
    }
    error += "; links are not packed (--dereference packs the files they point to)";
    return false;
  }
  if (link && stat(path.c_str(), &status) != 0) {
    error = PathError(path) + " (the target of a symbolic link)";
    return false;
  }
  if (S_ISDIR(status.st_mode)) {
    error = path + ": is a folder";
    return false;
  }
  if (!S_ISREG(status.st_mode)) {
    error = path + ": not a regular file";
    return false;
  }
  if (access(path.c_str(), R_OK) != 0) {
    error = PathError(path);
    return false;
  }
  std::string name = LastElement(path);
  if (!NativeToCp932(name, source.storedName)) {
    error = path + ": the name \"" + name + "\" has no code page 932 form";
    return false;
  }
  source.path = path;
  source.followLink = link;
  source.size = status.st_size;
  source.identity = IdentityOf(status);
  source.attributes = kAttributeArchive;
  if ((status.st_mode & S_IWUSR) == 0) source.attributes |= kAttributeReadOnly;
  source.lastWriteTime = TimespecToFileTime(status.st_mtim);
  // Most POSIX file systems keep no creation time that stat() reports. The
  // access time is not taken: packing reads the file and so moves it, and the
  // same files must give the same archive every time.
  source.creationTime = source.lastWriteTime;
  source.lastAccessTime = source.lastWriteTime;
  return true;
}

bool OpenPackFile(const PackSource& source, std::FILE*& file, std::string& error) {
  struct stat status;
  const int fd = OpenWithoutWaiting(source.path, source.followLink ? 0 : O_NOFOLLOW, status);
  if (fd < 0) {
    error = errno == ELOOP ? source.path + ": has become a symbolic link since it was checked" : PathError(source.path);
    return false;
  }
  if (!S_ISREG(status.st_mode) || IdentityOf(status) != source.identity) {
    error = ChangedError(source);
    close(fd);
    return false;
  }
  return StreamOf(fd, source.path, file, error);
}

bool PackFileUnchanged(std::FILE* file, const PackSource& source, std::string& error) {
  struct stat status;
  if (fstat(fileno(file), &status) == 0 && IdentityOf(status) == source.identity) return true;
  error = ChangedError(source);
  return false;
}

bool OpenInputFile(const std::string& path, std::FILE*& file, int64_t& length, std::string& error) {
  struct stat status;
  const int fd = OpenWithoutWaiting(path, 0, status);
  if (fd < 0) {
    error = PathError(path);
    return false;
  }
  if (!S_ISREG(status.st_mode)) {
    error = path + (S_ISDIR(status.st_mode) ? ": is a folder, not a file"
                                            : ": not a regular file (a FIFO, a device or a socket); none is read");
    close(fd);
    return false;
  }
  length = status.st_size;
  return StreamOf(fd, path, file, error);
}

bool IdentifyFile(const std::string& path, FileIdentity& identity) {
  struct stat status;
  if (stat(path.c_str(), &status) != 0) return false;
  identity = IdentityOf(status);
  return true;
}

bool IsFolder(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool PathExists(const std::string& path) {
  struct stat status;
  return lstat(path.c_str(), &status) == 0;
}

bool ListFolder(const std::string& folder, std::vector<std::string>& paths, std::string& error) {
  paths.clear();
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) {
    error = PathError(folder);
    return false;
  }
  std::vector<std::string> names;
  while (dirent* entry = readdir(dir)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    names.push_back(entry->d_name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  std::string prefix = folder;
  if (prefix.empty() || prefix.back() != '/') prefix += '/';
  for (const std::string& name : names) paths.push_back(prefix + name);
  return true;
}

bool CreateTempBeside(const std::string& target, std::string& tempPath, std::FILE*& file,
                      std::string& error) {
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
  file = fdopen(fd, "wb");
  if (file == nullptr) {
    error = PathError(tempPath);
    close(fd);
    RemoveTemp(tempPath);
    return false;
  }
  return true;
}

namespace {

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
    error = target + ": already exists";
    return false;
  }
  // File systems without hard links: check, then rename.
  if (errno == EPERM || errno == ENOTSUP || errno == EOPNOTSUPP || errno == EXDEV) {
    if (PathExists(target)) {
      error = target + ": already exists";
      return false;
    }
    if (rename(tempPath.c_str(), target.c_str()) == 0) return true;
  }
  error = PathError(target);
  return false;
}

}  // namespace

bool CommitTemp(const std::string& tempPath, const std::string& target, bool overwrite, std::string& error) {
  if (!MoveTemp(tempPath, target, overwrite, error)) return false;
  DisarmTemp(tempPath);
  return true;
}

void RemoveTemp(const std::string& tempPath) {
  unlink(tempPath.c_str());
  DisarmTemp(tempPath);
}
