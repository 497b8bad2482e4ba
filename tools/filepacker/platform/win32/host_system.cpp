#include "tools/filepacker/host_system.h"

#include <windows.h>

#include "packer/cp932_text.h"

// The console shows code page 932 as it is; only check that it is valid.
bool Cp932ToConsole(const std::string& cp932, std::string& out) {
  std::string utf8;
  if (!Cp932ToUtf8(cp932, utf8)) return false;
  out = cp932;
  return true;
}

bool ToLocalTime(std::time_t time, std::tm& local) { return time >= 0 && localtime_s(&local, &time) == 0; }

bool EndsInSeparator(const std::string& path) {
  bool last = false;
  for (size_t i = 0; i < path.size(); i++) {
    if (IsDBCSLeadByte(static_cast<BYTE>(path[i])) && i + 1 < path.size()) {
      i++;
      last = false;
      continue;
    }
    last = path[i] == '\\' || path[i] == '/';
  }
  return last;
}
