#include "tools/filepacker/host_system.h"

#include <windows.h>

#include "base/cp932_walk.h"
#include "host/cp932_text.h"

// The console shows code page 932 as it is; only check that it is valid.
bool Cp932ToConsole(const std::string& cp932, std::string& out) {
  std::string utf8;
  if (!Cp932ToUtf8(cp932, utf8)) return false;
  out = cp932;
  return true;
}

bool ToLocalTime(std::time_t time, std::tm& local) { return time >= 0 && localtime_s(&local, &time) == 0; }

namespace {

// Paths are in the ANSI code page, which need not be 932.
bool IsAnsiLeadByte(uint8_t byte) { return IsDBCSLeadByte(byte) != 0; }

}  // namespace

bool EndsInSeparator(const std::string& path) {
  bool last = false;
  for (Cp932Walk<IsAnsiLeadByte> walk(path.data(), path.size()); !walk.Done(); walk.Next()) {
    last = walk.AtSeparator();
  }
  return last;
}
