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

// Letters of the set attribute bits, archive first ("A", "AR", "RHS"), or
// "-" when none is set.
std::string AttributeLetters(uint32_t attributes);

// A FILETIME as local time, ISO 8601 ("2008-08-10T08:31:56"); "-" when it
// cannot be shown.
std::string LocalTimeText(uint64_t fileTime);

// packed / size as a percentage with one decimal ("57.1%"); "-" for size 0.
std::string RatioText(int64_t packed, int64_t size);
