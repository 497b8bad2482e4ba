// Runs the built filepacker as a process and collects what it printed.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

struct ProcessResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

ProcessResult RunFilepacker(const std::vector<std::string>& arguments);

// A path that the build handed over (a host path) as the tests' system
// reads it: under Wine, on drive Z:.
std::string HostPath(const std::string& path);

// The extractor's texts as the console gets them: UTF-8 on POSIX, code page
// 932 as it is on Win32.
std::string ConsoleText(const char8_t* utf8, const char* cp932);

// What the command printed on stdout, as JSON; a test failure when it is not.
nlohmann::json ParseJson(const ProcessResult& result);
