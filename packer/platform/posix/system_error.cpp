#include "packer/system_error.h"

#include <cerrno>
#include <cstring>

int LastSystemError() { return errno; }

std::string SystemErrorText(int error) { return std::strerror(error); }

std::string PathError(const std::string& path) {
  const int error = LastSystemError();
  return path + ": " + SystemErrorText(error);
}
