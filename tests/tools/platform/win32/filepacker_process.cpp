// Win32: filepacker.exe run under Wine through CreateProcess, its output
// through inheritable files.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/common/temp_folder.h"
#include "tests/common/test_files.h"
#include "tests/tools/filepacker_process.h"

// The build hands over a host path; Wine's drive Z: is the host's root.
std::string HostPath(const std::string& path) {
  if (path.empty() || path[0] != '/') return path;
  std::string windows = "Z:" + path;
  for (char& c : windows) {
    if (c == '/') c = '\\';
  }
  return windows;
}

std::string ConsoleText(const char8_t*, const char* cp932) { return cp932; }

namespace {

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
  std::string commandLine = Quoted(HostPath(FILEPACKER_PATH));
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
