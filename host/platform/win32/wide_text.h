// Win32: narrow text to and from UTF-16, the one pair of conversions the
// host's Windows layer uses (for code page 932 and for the ANSI code page).
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

// With MB_ERR_INVALID_CHARS in flags, invalid bytes fail the conversion;
// without it they become substitutes, as the system's own calls read them.
bool ToWide(UINT codePage, DWORD flags, std::string_view in, std::wstring& out);

// Refuses best-fit substitutes: a character without a form in codePage is
// an error, not a "?".
bool FromWide(UINT codePage, std::wstring_view in, std::string& out);
