// WebAssembly: errno, which the C library and the files in memory
// (file_system.cpp here) set, in the C library's words.
#include "host/system_error.h"

#include <cerrno>
#include <cstring>

int LastSystemError() { return errno; }

std::string SystemErrorText(int error) { return std::strerror(error); }
