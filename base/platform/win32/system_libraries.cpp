#include "base/system_libraries.h"

#include "base/platform/win32/system_libraries.h"

namespace {

typedef BOOL(WINAPI* SetDefaultDllDirectoriesCall)(DWORD);
typedef BOOL(WINAPI* SetDllDirectoryACall)(LPCSTR);

// How a library named by its full path is loaded: with the search the
// process was given, or, where none could be given, with the search that
// starts in the library's own folder, so that what it imports comes from
// the system folder too.
DWORD theFullPathLoadFlags = LOAD_WITH_ALTERED_SEARCH_PATH;

}  // namespace

void KeepLibrariesToTheSystemFolder() {
  const HMODULE kernel = GetModuleHandleA("kernel32.dll");
  // Windows 8 and later, and Vista and 7 with the update that brought it:
  // the system folder alone, for every later load and what it imports. Not
  // imported, so that the program still starts where it is missing.
  const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesCall>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (setDefault != nullptr && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    theFullPathLoadFlags = 0;
    return;
  }
  // XP SP1 to 7 without it: the current directory leaves the search; the
  // program's folder stays first for names the program does not load by
  // path.
  const auto setDirectory =
      reinterpret_cast<SetDllDirectoryACall>(reinterpret_cast<void*>(GetProcAddress(kernel, "SetDllDirectoryA")));
  if (setDirectory != nullptr) setDirectory("");
  // Windows 98 and Me (the top bit of GetVersion) have neither, and their
  // loader is asked for nothing but the full path.
  if (GetVersion() & 0x80000000u) theFullPathLoadFlags = 0;
}

FARPROC SystemLibraryFunction(const char* fileName, const char* name) {
  char path[MAX_PATH];
  const UINT length = GetSystemDirectoryA(path, MAX_PATH);
  // A folder that does not fit with "\" and the name: load nothing rather
  // than some other file.
  if (length == 0 || length + 1 + lstrlenA(fileName) >= MAX_PATH) return nullptr;
  path[length] = '\\';
  lstrcpyA(path + length + 1, fileName);
  const HMODULE library = LoadLibraryExA(path, nullptr, theFullPathLoadFlags);
  return library != nullptr ? GetProcAddress(library, name) : nullptr;
}
