// WebAssembly: the page and Node show UTF-8, the paths are the memory
// folder's ("/" separates them), and the module knows no time zone.
#include "tools/filepacker/host_system.h"

#include "host/cp932_text.h"

bool Cp932ToConsole(const std::string& cp932, std::string& out) { return Cp932ToUtf8(cp932, out); }

// No time zone reaches the module (WASI's C library would take UTC as
// well): times are shown in UTC.
bool ToLocalTime(std::time_t time, std::tm& local) { return gmtime_r(&time, &local) != nullptr; }

bool EndsInSeparator(const std::string& path) { return !path.empty() && path.back() == '/'; }
