// Win32: conversions through UTF-16, refusing best-fit substitutes, so that
// a character without a code page 932 form is an error, not a "?".
#include "host/cp932_text.h"

#include "host/platform/win32/wide_text.h"

namespace {

constexpr UINT kShiftJis = 932;

bool Recode(UINT to, UINT from, std::string_view in, std::string& out) {
  std::wstring wide;
  return ToWide(from, MB_ERR_INVALID_CHARS, in, wide) && FromWide(to, wide, out);
}

}  // namespace

bool Cp932ToUtf8(std::string_view cp932, std::string& utf8) { return Recode(CP_UTF8, kShiftJis, cp932, utf8); }

bool NativeToCp932(std::string_view native, std::string& cp932) { return Recode(kShiftJis, CP_ACP, native, cp932); }

bool NativeToUtf8(std::string_view native, std::string& utf8) { return Recode(CP_UTF8, CP_ACP, native, utf8); }
