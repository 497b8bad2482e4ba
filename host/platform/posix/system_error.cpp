#include "host/system_error.h"

#include <cerrno>
#include <cstring>

int LastSystemError() { return errno; }

std::string SystemErrorText(int error) { return std::strerror(error); }
