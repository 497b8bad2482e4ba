#include "tools/filepacker/host_system.h"

#include "host/cp932_text.h"

bool Cp932ToConsole(const std::string& cp932, std::string& out) { return Cp932ToUtf8(cp932, out); }

bool ToLocalTime(std::time_t time, std::tm& local) { return localtime_r(&time, &local) != nullptr; }

bool EndsInSeparator(const std::string& path) { return !path.empty() && path.back() == '/'; }
