#include "host/platform/win32/wide_text.h"

bool ToWide(UINT codePage, DWORD flags, std::string_view in, std::wstring& out) {
  out.clear();
  if (in.empty()) return true;
  int count = MultiByteToWideChar(codePage, flags, in.data(), static_cast<int>(in.size()), nullptr, 0);
  if (count <= 0) return false;
  out.resize(count);
  return MultiByteToWideChar(codePage, flags, in.data(), static_cast<int>(in.size()), out.data(), count) == count;
}

bool FromWide(UINT codePage, std::wstring_view in, std::string& out) {
  out.clear();
  if (in.empty()) return true;
  // UTF-8 takes neither the flag nor the used-default report.
  DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  BOOL* usedDefaultPtr = codePage == CP_UTF8 ? nullptr : &usedDefault;
  int count = WideCharToMultiByte(codePage, flags, in.data(), static_cast<int>(in.size()), nullptr, 0, nullptr,
                                  usedDefaultPtr);
  if (count <= 0 || usedDefault) return false;
  out.resize(count);
  count = WideCharToMultiByte(codePage, flags, in.data(), static_cast<int>(in.size()), out.data(), count, nullptr,
                              usedDefaultPtr);
  return count == static_cast<int>(out.size()) && !usedDefault;
}
