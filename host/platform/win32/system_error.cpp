#include "host/system_error.h"

#include <windows.h>

int LastSystemError() { return static_cast<int>(GetLastError()); }

std::string SystemErrorText(int error) {
  const DWORD code = static_cast<DWORD>(error);
  char text[256] = {};
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                                sizeof(text), nullptr);
  while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == ' ' ||
                        text[length - 1] == '.')) {
    text[--length] = '\0';
  }
  std::string result = length > 0 ? text : "system error";
  return result + " (" + std::to_string(code) + ")";
}
