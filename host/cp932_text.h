// Conversions between code page 932 (the archive's names and the extractor's
// texts) and the encodings the packager's tools meet outside the archive.
#pragma once

#include <string>
#include <string_view>

// Code page 932 to UTF-8. False when the bytes are not valid code page 932.
bool Cp932ToUtf8(std::string_view cp932, std::string& utf8);

// The system's narrow text (POSIX: UTF-8; Win32: the ANSI code page) to code
// page 932. False when a character has no code page 932 form.
bool NativeToCp932(std::string_view native, std::string& cp932);

// The system's narrow text (paths, the system's own words) to UTF-8: checked
// on POSIX, where it is UTF-8 already; converted from the ANSI code page on
// Win32. False when it is not valid in that encoding.
bool NativeToUtf8(std::string_view native, std::string& utf8);
