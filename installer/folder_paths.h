// The paths that the installer composes inside a destination folder, each in
// a buffer of kPathBufferSize bytes. Every function returns 1 when the whole
// path fits with its terminator and 0 when it would not (the buffer then
// holds an empty string), so that nothing is ever written past a buffer.
#pragma once

#include "installer/shift_jis_path.h"

// folder + "\" + name: a file of the folder.
int ComposeFolderEntry(char* out, const char* folder, const char* name);

// folder + "\*.*": the pattern of a walk over the folder's entries.
int ComposeFolderPattern(char* out, const char* folder);

// The command line that starts the package's installer program: the path
// folder + "\" + kSetupProgramName in double quotes, so that a folder with a
// space can never make the system start another program ("C:\Program.exe").
// Written into a buffer of kSetupCommandLineSize bytes: the two quotes, the
// "\" and the program's name on top of any folder that a path buffer holds,
// so every folder that the files were extracted into gets its program
// started.
constexpr int kSetupCommandLineSize = kPathBufferSize + 3 + static_cast<int>(sizeof kSetupProgramName) - 1;
int ComposeSetupCommandLine(char* out, const char* folder);

// Writes "UnpackDir<number>\*.*" at out[prefixLength], where out already
// holds prefixLength bytes of a folder and its backslash. 0 when it would not
// fit; the prefix is then kept.
int ComposeInstallProbe(char* out, int prefixLength, int number);
