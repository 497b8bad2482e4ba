// Win32 only: a system library loaded by its full path in the system folder,
// after KeepLibrariesToTheSystemFolder. For the installer, which takes the
// common controls and the common dialogs this way rather than importing
// them: the loader resolves a program's imports before its first
// instruction runs, searching the program's own folder first for every DLL
// that is not one of the system's KnownDLLs.
#pragma once

#include <windows.h>

// The function `name` of the system library `fileName` (say "comctl32.dll"),
// loaded from the system folder by its full path; null when the library
// cannot be loaded or lacks the function.
FARPROC SystemLibraryFunction(const char* fileName, const char* name);
