// Entry names on POSIX: code page 932 with "\" separators in the archive,
// UTF-8 with "/" on disk.
#pragma once

#include <cstddef>

// Writes the name converted to UTF-8, its separators as "/", NUL-terminated,
// to out. A "\" that is the second byte of a two-byte character is part of
// that character, not a separator. False, with errno EILSEQ, when the name
// is not valid code page 932, or ENAMETOOLONG when the result does not fit
// capacity bytes.
bool MakeUtf8Name(const char* name, char* out, size_t capacity);
