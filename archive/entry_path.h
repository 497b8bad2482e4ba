// Entry names where the system's names are UTF-8 (POSIX's files, the web
// module's files in memory): code page 932 with "\" separators in the
// archive, UTF-8 with "/" there. Portable: it converts through
// archive/cp932_conversion.h, which each of those systems implements.
#pragma once

#include <cstddef>

// Writes the name converted to UTF-8, its separators as "/", NUL-terminated,
// to out. A "\" that is the second byte of a two-byte character is part of
// that character, not a separator. The bytes are read as Windows reads them
// (archive/windows_cp932.h), so that a file gets the name it gets there.
// False, with errno ENAMETOOLONG, when the result does not fit capacity
// bytes, or EILSEQ when the system's iconv has no code page 932.
bool MakeUtf8Name(const char* name, char* out, size_t capacity);
