// What Windows makes of an entry name beyond the extractor's own check
// (archive/entry_name.h): characters that its file names cannot hold, and
// which names it takes for the same file.
#pragma once

#include <string>

// The first byte of the code page 932 name that a Windows file name cannot
// hold (< > " | ? *, and with separatorsToo also \ and /), or 0. The second
// byte of a two-byte character is never taken for one.
char ForbiddenNameCharacter(const std::string& name, bool separatorsToo);

// A key equal for two names exactly when Windows takes them for one file:
// ASCII letters without case, two-byte characters as they are.
std::string WindowsNameKey(const std::string& name);
