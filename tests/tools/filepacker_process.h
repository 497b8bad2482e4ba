// Runs the built filepacker as a process and collects what it printed.
#pragma once

#include <string>
#include <vector>

struct ProcessResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

ProcessResult RunFilepacker(const std::vector<std::string>& arguments);
