// Win32: conversions through UTF-16, refusing best-fit substitutes, so that
// a character without a code page 932 form is an error, not a "?".
#include "packer/cp932_text.h"

#include <windows.h>

namespace {

constexpr UINT kShiftJis = 932;

bool ToWide(UINT codePage, std::string_view in, std::wstring& out) {
  out.clear();
  if (in.empty()) return true;
  int count = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(),
                                  static_cast<int>(in.size()), nullptr, 0);
  if (count <= 0) return false;
  out.resize(count);
  return MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(),
                             static_cast<int>(in.size()), out.data(), count) == count;
}

bool FromWide(UINT codePage, const std::wstring& in, std::string& out) {
  out.clear();
  if (in.empty()) return true;
  // UTF-8 takes neither the flag nor the used-default report.
  DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  BOOL* usedDefaultPtr = codePage == CP_UTF8 ? nullptr : &usedDefault;
  int count = WideCharToMultiByte(codePage, flags, in.data(), static_cast<int>(in.size()),
                                  nullptr, 0, nullptr, usedDefaultPtr);
  if (count <= 0 || usedDefault) return false;
  out.resize(count);
  count = WideCharToMultiByte(codePage, flags, in.data(), static_cast<int>(in.size()),
                              out.data(), count, nullptr, usedDefaultPtr);
  return count == static_cast<int>(out.size()) && !usedDefault;
}

bool Recode(UINT to, UINT from, std::string_view in, std::string& out) {
  std::wstring wide;
  return ToWide(from, in, wide) && FromWide(to, wide, out);
}

}  // namespace

bool Cp932ToUtf8(std::string_view cp932, std::string& utf8) {
  return Recode(CP_UTF8, kShiftJis, cp932, utf8);
}

bool NativeToCp932(std::string_view native, std::string& cp932) {
  return Recode(kShiftJis, CP_ACP, native, cp932);
}

bool Cp932ToNative(std::string_view cp932, std::string& native) {
  return Recode(CP_ACP, kShiftJis, cp932, native);
}
