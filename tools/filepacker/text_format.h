// How the archive's fields are shown: names and texts in the terminal's or
// JSON's encoding, attribute letters, local times, ratios.
#pragma once

#include <cstdint>
#include <string>

// A code page 932 name or text for the console: UTF-8 on POSIX, code page
// 932 as it is on Win32. Bytes that do not convert are shown as \xNN.
std::string ConsoleText(const std::string& cp932);

// The same as UTF-8, for JSON.
std::string Utf8Text(const std::string& cp932);

// A text in the system's narrow encoding (a message naming paths, the
// system's own words) for the terminal: control bytes as \xNN, and every
// byte past ASCII too when the text is not valid in that encoding or holds
// a C1 control, so that no file name reaches the terminal as a control
// sequence. Names read from archives are made safe by ConsoleText.
std::string TerminalText(const std::string& native);

// The same text as UTF-8, for JSON: converted, or as TerminalText gives it
// when it does not convert.
std::string NativeJsonText(const std::string& native);

// Letters of the set attribute bits, archive first ("A", "AR", "RHS"), or
// "-" when none is set.
std::string AttributeLetters(uint32_t attributes);

// A FILETIME as local time, ISO 8601 ("2008-08-10T08:31:56"); "-" when it
// cannot be shown.
std::string LocalTimeText(uint64_t fileTime);

// packed / size as a percentage with one decimal ("57.1%"); "-" for size 0.
std::string RatioText(int64_t packed, int64_t size);
