#include "tests/installer/installer_driver.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <cstring>

namespace kormit_test {

const char kConfirmCaption[] = "SelfUnpack - Kormit Ver 1.63";
const char kSaveAsCaption[] = "解凍先ディレクトリの選択[ Kormit Ver 1.63 ]";

namespace {

const DWORD kPollMs = 10;

bool HasClass(HWND window, const char* name) {
  char buffer[64] = "";
  GetClassNameA(window, buffer, sizeof buffer);
  return std::strcmp(buffer, name) == 0;
}

struct WindowSearch {
  DWORD processId;
  const std::function<bool(HWND)>* match;
  HWND found;
};

BOOL CALLBACK CheckWindow(HWND window, LPARAM context) {
  WindowSearch& search = *reinterpret_cast<WindowSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search.processId || !IsWindowVisible(window) || !(*search.match)(window)) return TRUE;
  search.found = window;
  return FALSE;
}

HWND FindWindowOf(DWORD processId, const std::function<bool(HWND)>& match) {
  WindowSearch search{processId, &match, nullptr};
  EnumWindows(CheckWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool IsMessageBox(HWND window) {
  const std::string caption = WindowText(window);
  return HasClass(window, "#32770") && GetDlgItem(window, 0xFFFF) != nullptr &&
         caption.rfind("Self Unpack", 0) == 0;
}

}  // namespace

std::wstring Widen(const std::string& text) {
  std::wstring wide(text.size() + 1, L'\0');
  wide.resize(MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], static_cast<int>(wide.size())));
  if (!wide.empty()) wide.pop_back();  // the terminator
  return wide;
}

std::string Narrow(const std::wstring& text) {
  std::string narrow(text.size() * 2 + 1, '\0');
  narrow.resize(WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, &narrow[0], static_cast<int>(narrow.size()),
                                    nullptr, nullptr));
  if (!narrow.empty()) narrow.pop_back();
  return narrow;
}

std::string FromBuildPath(const char* unixPath) {
  std::string path = std::string("Z:") + unixPath;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

std::string MakeScratchFolder(const std::string& tag) {
  static int counter = 0;
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  char name[MAX_PATH];
  wsprintfA(name, "%skormit-e2e-%lu-%d-%s", temp, GetCurrentProcessId(), ++counter, tag.c_str());
  RemoveTree(name);
  CreateDirectoryA(name, nullptr);
  return name;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA entry;
  HANDLE walk = FindFirstFileA((folder + "\\*").c_str(), &entry);
  if (walk == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(entry.cFileName);
  } while (FindNextFileA(walk, &entry));
  FindClose(walk);
  return names;
}

std::string WindowText(HWND window) {
  char buffer[2048] = "";
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(window, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 5000,
                      &ignored);
  return buffer;
}

InstallerRun::InstallerRun(const std::string& exe, const std::string& currentFolder)
    : InstallerRun(Widen(exe), currentFolder) {}

InstallerRun::InstallerRun(const std::wstring& exe, const std::string& currentFolder) {
  STARTUPINFOW startup;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info;
  std::wstring commandLine = L"\"" + exe + L"\"";
  if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                      Widen(currentFolder).c_str(), &startup, &info)) {
    ADD_FAILURE() << "cannot start " << Narrow(exe) << ": error " << GetLastError();
    return;
  }
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  processId_ = info.dwProcessId;
}

InstallerRun::~InstallerRun() {
  if (process_ == nullptr) return;
  if (!HasEnded()) {
    ADD_FAILURE() << "the installer was still running at the end of the test";
    TerminateProcess(process_, 99);
    WaitForSingleObject(process_, 5000);
  }
  CloseHandle(process_);
}

bool InstallerRun::HasEnded() const {
  return process_ == nullptr || WaitForSingleObject(process_, 0) == WAIT_OBJECT_0;
}

HWND InstallerRun::WaitForWindow(const std::function<bool(HWND)>& match, const char* what, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (process_ != nullptr) {
    if (HWND found = FindWindowOf(processId_, match)) return found;
    if (HasEnded()) {
      ADD_FAILURE() << "the installer ended without showing " << what;
      return nullptr;
    }
    if (GetTickCount() - start > timeoutMs) {
      ADD_FAILURE() << "no " << what << " within " << timeoutMs << " ms";
      return nullptr;
    }
    Sleep(kPollMs);
  }
  return nullptr;
}

HWND InstallerRun::WaitForConfirmDialog() {
  return WaitForWindow(
      [](HWND w) { return WindowText(w) == kConfirmCaption && GetDlgItem(w, 1005) != nullptr; },
      "the confirmation dialog");
}

HWND InstallerRun::WaitForProgressDialog() {
  return WaitForWindow(
      [](HWND w) { return WindowText(w) == kConfirmCaption && GetDlgItem(w, 1001) != nullptr; },
      "the progress dialog");
}

HWND InstallerRun::WaitForMessageBox(const char* caption, std::string* text) {
  HWND box = WaitForWindow([caption](HWND w) { return IsMessageBox(w) && WindowText(w) == caption; },
                           "the message box");
  if (box != nullptr && text != nullptr) *text = WindowText(GetDlgItem(box, 0xFFFF));
  return box;
}

HWND InstallerRun::WaitForSaveAsDialog() {
  return WaitForWindow([](HWND w) { return WindowText(w) == kSaveAsCaption; }, "the Save-As dialog");
}

DWORD InstallerRun::WaitForExit(DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (process_ != nullptr) {
    if (WaitForSingleObject(process_, kPollMs) == WAIT_OBJECT_0) {
      DWORD code = STILL_ACTIVE;
      GetExitCodeProcess(process_, &code);
      return code;
    }
    if (HWND box = FindWindowOf(processId_, IsMessageBox)) {
      ADD_FAILURE() << "unexpected message box \"" << WindowText(box) << "\": " << WindowText(GetDlgItem(box, 0xFFFF));
      PressButton(box, IDOK);
    }
    if (GetTickCount() - start > timeoutMs) {
      ADD_FAILURE() << "the installer did not end within " << timeoutMs << " ms";
      return STILL_ACTIVE;
    }
  }
  return STILL_ACTIVE;
}

void InstallerRun::HoldOtherThreads(HWND window, bool hold) {
  const DWORD windowThread = GetWindowThreadProcessId(window, nullptr);
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return;
  THREADENTRY32 entry;
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID != processId_ || entry.th32ThreadID == windowThread) continue;
    if (HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID)) {
      if (hold) {
        SuspendThread(thread);
      } else {
        ResumeThread(thread);
      }
      CloseHandle(thread);
    }
  }
  CloseHandle(snapshot);
}

bool PressButton(HWND dialog, int id, const char* text) {
  HWND button = GetDlgItem(dialog, id);
  if (button == nullptr) {
    ADD_FAILURE() << "no button " << id << " in \"" << WindowText(dialog) << "\"";
    return false;
  }
  if (text != nullptr) {
    EXPECT_EQ(WindowText(button), text);
  }
  // Posted: the click may start a modal loop (a message box, the Save-As
  // dialog) that a sent message would wait for.
  return PostMessageA(button, BM_CLICK, 0, 0) != 0;
}

void SetText(HWND control, const std::string& text) {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, 5000,
                      &ignored);
}

bool ChooseInSaveAs(HWND saveAs, const std::string& path) {
  // The Explorer-style dialog's file name field: edt1 (0x480), or the edit
  // inside the combo box cmb13 (0x47C, a ComboBoxEx32 holding a ComboBox).
  HWND name = GetDlgItem(saveAs, 0x480);
  for (HWND combo = GetDlgItem(saveAs, 0x47C); name == nullptr && combo != nullptr;
       combo = FindWindowExA(combo, nullptr, "ComboBox", nullptr)) {
    name = FindWindowExA(combo, nullptr, "Edit", nullptr);
  }
  if (name == nullptr) {
    std::string children;
    for (HWND child = GetWindow(saveAs, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      char cls[64] = "";
      GetClassNameA(child, cls, sizeof cls);
      children += std::string(" ") + cls + ":" + std::to_string(GetDlgCtrlID(child));
    }
    ADD_FAILURE() << "no file name field in the Save-As dialog;" << children;
    return false;
  }
  SetText(name, path);
  return PressButton(saveAs, IDOK);
}

void DemoPause(const char* name) {
  char folder[MAX_PATH];
  if (GetEnvironmentVariableA("KORMIT_DEMO_PAUSE_DIR", folder, MAX_PATH) == 0) return;
  const std::string ready = std::string(folder) + "\\" + name + ".ready";
  const std::string done = std::string(folder) + "\\" + name + ".done";
  HANDLE file = CreateFileA(ready.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  for (int waited = 0; waited < 60000 && !Exists(done); waited += 50) Sleep(50);
}

}  // namespace kormit_test
