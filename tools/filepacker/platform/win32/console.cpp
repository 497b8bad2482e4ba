// Win32: only a console answers GetConsoleMode; the C library's isatty()
// also says yes for the NUL device and other character devices.
#include <io.h>
#include <windows.h>

#include "tools/filepacker/extraction.h"

bool IsConsole(std::FILE* stream) {
  const intptr_t handle = _get_osfhandle(_fileno(stream));
  DWORD mode;
  return handle != -1 && GetConsoleMode(reinterpret_cast<HANDLE>(handle), &mode) != 0;
}
