#include "tests/tools/filepacker_process.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "tests/common/test_files.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

#ifdef _WIN32
namespace {

// The build hands over a host path; Wine's drive Z: is the host's root.
std::string ProgramPath() {
  std::string path = FILEPACKER_PATH;
  if (!path.empty() && path[0] == '/') {
    for (char& c : path) {
      if (c == '/') c = '\\';
    }
    path = "Z:" + path;
  }
  return path;
}

// Quoting for the C runtime's command-line parser.
std::string Quoted(const std::string& argument) {
  std::string out = "\"";
  size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      backslashes++;
      continue;
    }
    out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, '\\');
  return out + "\"";
}

HANDLE InheritableFile(const std::string& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES security = {sizeof(security), nullptr, TRUE};
  return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &security, disposition,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

ProcessResult RunFilepacker(const std::vector<std::string>& arguments) {
  TempFolder folder;
  std::string commandLine = Quoted(ProgramPath());
  for (const std::string& argument : arguments) commandLine += " " + Quoted(argument);
  HANDLE out = InheritableFile(folder / "out", GENERIC_WRITE, CREATE_ALWAYS);
  HANDLE err = InheritableFile(folder / "err", GENERIC_WRITE, CREATE_ALWAYS);
  HANDLE in = InheritableFile("NUL", GENERIC_READ, OPEN_EXISTING);
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process = {};
  ProcessResult result;
  if (CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                     &process)) {
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    result.exitCode = static_cast<int>(code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(out);
  CloseHandle(err);
  CloseHandle(in);
  result.out = ReadFileBytes(folder / "out");
  result.err = ReadFileBytes(folder / "err");
  // The C runtime's text mode writes "\r\n"; the tests compare lines.
  for (std::string* text : {&result.out, &result.err}) {
    std::string plain;
    for (char c : *text) {
      if (c != '\r') plain += c;
    }
    *text = plain;
  }
  return result;
}

#else

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

#endif

nlohmann::json ParseJson(const ProcessResult& result) {
  nlohmann::json parsed = nlohmann::json::parse(result.out, nullptr, false);
  EXPECT_FALSE(parsed.is_discarded()) << "not JSON: " << result.out;
  return parsed;
}
