// Entry names on POSIX: code page 932 with "\" separators in the archive,
// UTF-8 with "/" on disk.
#pragma once

#include <cstddef>

// Writes folder (taken as it is), "/" and the converted name to out, NUL-
// terminated. A "\" that is the second byte of a two-byte character is part
// of that character, not a separator. False when the name is not valid code
// page 932 or the result does not fit capacity bytes.
bool MakeUtf8Path(const char* folder, size_t folderLength, const char* name, char* out, size_t capacity);
