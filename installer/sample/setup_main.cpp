// The sample package's Setup.exe. Run by hand it says what it would install:
// the folder it runs from and the files beside it. When KORMIT_SETUP_RECORD
// names a file it shows nothing and instead appends one line to that file
// (its own path, its current directory and the local time, tab-separated),
// then waits KORMIT_SETUP_DELAY_MS milliseconds if that is set, and ends.
// This lets an automated run see when, from where and how long it ran.
#include <windows.h>

namespace {

char theText[16384];

void Append(const char* text) { lstrcpynA(theText + lstrlenA(theText), text, sizeof theText - lstrlenA(theText)); }

int RecordRun(const char* recordPath) {
  char self[MAX_PATH] = "";
  char current[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  GetCurrentDirectoryA(MAX_PATH, current);
  SYSTEMTIME now;
  GetLocalTime(&now);
  char line[3 * MAX_PATH];
  wsprintfA(line, "%s\t%s\t%04d-%02d-%02d %02d:%02d:%02d.%03d\r\n", self, current, now.wYear, now.wMonth,
            now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
  HANDLE file = CreateFileA(recordPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  WriteFile(file, line, lstrlenA(line), &written, nullptr);
  CloseHandle(file);

  char delay[16];
  if (GetEnvironmentVariableA("KORMIT_SETUP_DELAY_MS", delay, sizeof delay) > 0) {
    DWORD milliseconds = 0;
    for (const char* digit = delay; *digit >= '0' && *digit <= '9'; ++digit) milliseconds = milliseconds * 10 + (*digit - '0');
    Sleep(milliseconds);
  }
  return 0;
}

void ShowWhatWouldBeInstalled() {
  char folder[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, folder, MAX_PATH);
  char* lastSeparator = nullptr;
  for (char* p = folder; *p != '\0'; p = CharNextA(p)) {
    if (*p == '\\') lastSeparator = p;
  }
  if (lastSeparator != nullptr) *lastSeparator = '\0';

  Append("Kormit Ver 1.63 をこのフォルダからインストールします。\n\n");
  Append(folder);
  Append("\n\n");
  char pattern[MAX_PATH + 8];
  wsprintfA(pattern, "%s\\*.*", folder);
  WIN32_FIND_DATAA entry;
  HANDLE walk = FindFirstFileA(pattern, &entry);
  if (walk != INVALID_HANDLE_VALUE) {
    do {
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      char line[MAX_PATH + 32];
      wsprintfA(line, "  %s  (%lu bytes)\n", entry.cFileName, entry.nFileSizeLow);
      Append(line);
    } while (FindNextFileA(walk, &entry));
    FindClose(walk);
  }
  Append("\n(サンプルのセットアップです。ファイルはコピーされません。)");
  MessageBoxA(nullptr, theText, "Kormit Ver 1.63 セットアップ", MB_OK | MB_ICONINFORMATION);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char recordPath[MAX_PATH];
  if (GetEnvironmentVariableA("KORMIT_SETUP_RECORD", recordPath, MAX_PATH) > 0) return RecordRun(recordPath);
  ShowWhatWouldBeInstalled();
  return 0;
}
