// WebAssembly: the module has no file system. Everything it reads or
// writes is handed in or out as bytes (tools/web/engine.cpp), so nothing
// here is ever asked to succeed: a path names nothing, and what would open,
// create or move a file fails as on a system without one.
#include "host/file_system.h"

#include <errno.h>

#include "host/system_error.h"

namespace {

bool NoFileSystem() {
  errno = ENOSYS;
  return false;
}

}  // namespace

namespace file_system {

const char kNotRegularWhat[] = "not a file";

bool Stat(const std::string&, bool, Status&) { return NoFileSystem(); }

std::string LinkWords(const std::string&) { return "a symbolic link"; }

bool CanRead(const std::string&) { return NoFileSystem(); }

void SplitPath(const std::string& path, std::string& folder, std::string& last) {
  const size_t slash = path.rfind('/');
  folder = slash == std::string::npos ? "." : path.substr(0, slash);
  last = slash == std::string::npos ? path : path.substr(slash + 1);
}

bool OpenToRead(const std::string&, bool, std::FILE*&, Status&, bool&) { return NoFileSystem(); }

bool StatOpen(std::FILE*, Status&) { return NoFileSystem(); }

bool ListNames(const std::string& folder, std::vector<std::string>&, std::string&, std::string& error) {
  NoFileSystem();
  error = PathError(folder);
  return false;
}

bool CreateTempFile(const std::string& target, std::string&, std::FILE*&, std::string& error) {
  NoFileSystem();
  error = PathError(target);
  return false;
}

bool MoveTemp(const std::string&, const std::string& target, bool, std::string& error) {
  NoFileSystem();
  error = PathError(target);
  return false;
}

void DeleteNow(const char*) {}

// Nothing interrupts the module: JavaScript only ever calls into it.
void CatchInterruptions(void (*)()) {}

}  // namespace file_system

bool IdentifyFile(const std::string&, FileIdentity&) { return NoFileSystem(); }

bool IsFolder(const std::string&) { return false; }

bool PathExists(const std::string&) { return false; }
