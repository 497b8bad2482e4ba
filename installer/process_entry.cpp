// The process entry of the installer, in place of the C runtime's start-up
// code. The installer reads no arguments, no environment and no standard
// streams and uses no thread-local data, so of the runtime's start-up it
// needs only what C++ needs: static constructors before WinMain, and the
// destructors they register run after it. Leaving the rest out (argument
// parsing, pseudo-relocations, TLS callbacks, floating-point set-up) keeps
// several kilobytes out of every user's download. The link refuses any
// import that would have needed the runtime's pseudo-relocations.
#include <windows.h>

#include "base/system_libraries.h"

extern "C" void __main();  // the compiler's support library: runs the static constructors

namespace {

// Static objects register their destructors here; the installer has two
// such objects at most, the rest is headroom.
void (*theExitCalls[16])();
int theExitCallCount = 0;

}  // namespace

extern "C" int atexit(void (*call)()) {
  if (theExitCallCount == 16) return -1;
  theExitCalls[theExitCallCount++] = call;
  return 0;
}

// Windows calls the entry with whatever stack alignment it has; realign.
extern "C" __attribute__((force_align_arg_pointer)) void WinMainCRTStartup() {
  // Before anything can load a library: the program imports only libraries
  // that Windows takes from its own folder, and loads the others itself.
  KeepLibrariesToTheSystemFolder();
  __main();
  const int exitCode = WinMain(GetModuleHandleA(nullptr), nullptr, GetCommandLineA(), SW_SHOWDEFAULT);
  while (theExitCallCount > 0) theExitCalls[--theExitCallCount]();
  ExitProcess(static_cast<UINT>(exitCode));
}
