#include "host/system_error.h"

std::string PathError(const std::string& path) {
  const int error = LastSystemError();
  return path + ": " + SystemErrorText(error);
}

std::string WriteError(const std::string& path) {
  const int error = LastSystemError();
  return path + ": write error: " + SystemErrorText(error);
}
