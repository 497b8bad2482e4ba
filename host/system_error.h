// The system's last error and its words, for the packager's messages.
#pragma once

#include <string>

// The calling thread's last system error: errno, or GetLastError().
int LastSystemError();

// The system's own words for an error: strerror (English: the packager sets
// no locale), or FormatMessage's text with the code.
std::string SystemErrorText(int error);

// "<path>: <the words for the last system error>", the error taken before
// anything else may change it.
std::string PathError(const std::string& path);

// "<path>: write error: <the words for the last system error>": a full disk,
// a quota or a file size limit is named, not only that writing failed.
std::string WriteError(const std::string& path);
