// POSIX: filepacker run through posix_spawn, its output into files.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/common/temp_folder.h"
#include "tests/common/test_files.h"
#include "tests/tools/filepacker_process.h"

extern char** environ;

std::string HostPath(const std::string& path) { return path; }

std::string ConsoleText(const char8_t* utf8, const char*) { return reinterpret_cast<const char*>(utf8); }

ProcessResult RunFilepacker(const std::vector<std::string>& arguments) {
  TempFolder folder;
  std::vector<std::string> all = {FILEPACKER_PATH};
  all.insert(all.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : all) argv.push_back(argument.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, (folder / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, (folder / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ProcessResult result;
  pid_t pid;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  result.out = ReadFileBytes(folder / "out");
  result.err = ReadFileBytes(folder / "err");
  return result;
}
