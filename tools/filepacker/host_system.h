// What filepacker needs of the system it runs on beyond the packer's files
// (platform/<system>/host_system.cpp).
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

// A code page 932 text as the console shows it: UTF-8 (the terminal's
// encoding) on POSIX, the bytes as they are on Win32. False when the text
// is not valid code page 932.
bool Cp932ToConsole(const std::string& cp932, std::string& out);

// Seconds since 1970 as the local time; false when the system cannot tell
// (Win32: any time before 1970).
bool ToLocalTime(std::time_t time, std::tm& local);

// True when the last byte of path is a separator of its own, not the second
// byte of a two-byte character (Win32's ANSI paths take "\" and "/"; POSIX
// has only "/").
bool EndsInSeparator(const std::string& path);
