// The four commands of filepacker. Each prints its own output and returns
// the program's exit status.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Exit statuses of every command.
constexpr int kExitSuccess = 0;
constexpr int kExitFailed = 1;  // the archive was refused, or the test or extraction failed
constexpr int kExitUsage = 2;   // wrong arguments, or a file that cannot be read

struct PackRequest {
  int32_t blockSize = 200000;
  bool force = false;
  bool adaptive = false;  // pieces of varying length instead of the fixed cut
  int jobs = 0;           // encoding threads; 0: one per hardware thread
  std::string archive;
  std::vector<std::string> paths;
};

int RunPack(const PackRequest& request);
int RunList(const std::string& archive, bool json);
int RunTest(const std::string& archive, bool json);
int RunExtract(const std::string& archive, const std::string& folder, bool json);

// "filepacker: " and the message, on stderr.
void PrintError(const std::string& message);
