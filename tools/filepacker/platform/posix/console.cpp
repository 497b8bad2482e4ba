// POSIX: a terminal is a console.
#include <unistd.h>

#include "tools/filepacker/extraction.h"

bool IsConsole(std::FILE* stream) { return isatty(fileno(stream)) != 0; }
