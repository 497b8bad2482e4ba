// Whole strings through the archive's conversion between code page 932 and
// UTF-8 (archive/cp932_conversion.h): what the systems whose narrow text is
// UTF-8 (POSIX; the web module, which JavaScript hands UTF-8) build
// host/cp932_text.h on. Windows converts through its own API instead.
#pragma once

#include <string>
#include <string_view>

#include "archive/cp932_conversion.h"

// Converts all of in to out. False when a character does not convert.
bool ConvertCp932Text(Cp932Conversion::Direction direction, std::string_view in, std::string& out);

// Copies text to utf8 when it is valid UTF-8; false when it is not.
bool CopyValidUtf8(std::string_view text, std::string& utf8);
