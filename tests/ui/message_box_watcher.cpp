#include "tests/ui/message_box_watcher.h"

#include <cstring>

namespace {

// Reads a window's text without sending it WM_GETTEXT, which would wait for
// the watched thread.
void ReadText(HWND window, char* text, int size) {
  WCHAR wide[512] = {};
  InternalGetWindowText(window, wide, 512);
  text[0] = '\0';
  WideCharToMultiByte(CP_ACP, 0, wide, -1, text, size, nullptr, nullptr);
}

BOOL CALLBACK LookAtWindow(HWND window, LPARAM context) {
  MessageBoxWatcher& watcher = *reinterpret_cast<MessageBoxWatcher*>(context);
  char name[16];
  GetClassNameA(window, name, sizeof(name));
  if (window == watcher.ignored || std::strcmp(name, "#32770") != 0 || !IsWindowVisible(window)) {
    return TRUE;
  }
  for (int i = 0; i < watcher.count; ++i) {
    if (watcher.seenWindows[i] == window) return TRUE;  // OK already posted
  }
  if (watcher.count == MessageBoxWatcher::kMaxBoxes) return TRUE;
  SeenBox& box = watcher.boxes[watcher.count];
  watcher.seenWindows[watcher.count++] = window;
  box.owner = GetWindow(window, GW_OWNER);
  ReadText(window, box.caption, sizeof(box.caption));
  // A message box's text is its static control 0xFFFF.
  HWND message = GetDlgItem(window, 0xFFFF);
  if (message != nullptr) ReadText(message, box.text, sizeof(box.text));
  PostMessageA(window, WM_COMMAND, IDOK, 0);
  return TRUE;
}

// The watcher whose hook is in place; one at a time.
MessageBoxWatcher* hooked = nullptr;

LRESULT CALLBACK CountCreation(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND && hooked != nullptr) {
    HWND window = reinterpret_cast<HWND>(wParam);
    char name[16] = {};
    GetClassNameA(window, name, sizeof(name));
    if (window != hooked->ignored && std::strcmp(name, "#32770") == 0) ++hooked->created;
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

DWORD WINAPI Watch(void* context) {
  MessageBoxWatcher& watcher = *static_cast<MessageBoxWatcher*>(context);
  watcher.Look();
  return 0;
}

}  // namespace

MessageBoxWatcher::MessageBoxWatcher(HWND ignoredWindow)
    : watchedThread(GetCurrentThreadId()),
      ignored(ignoredWindow),
      stopEvent(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      thread(CreateThread(nullptr, 0, Watch, this, 0, nullptr)),
      hook(SetWindowsHookExA(WH_CBT, CountCreation, nullptr, GetCurrentThreadId())) {
  hooked = this;
}

MessageBoxWatcher::~MessageBoxWatcher() {
  Stop();
  CloseHandle(stopEvent);
}

void MessageBoxWatcher::Look() {
  do {
    EnumThreadWindows(watchedThread, LookAtWindow, reinterpret_cast<LPARAM>(this));
  } while (WaitForSingleObject(stopEvent, 10) == WAIT_TIMEOUT);
}

int MessageBoxWatcher::Stop() {
  if (thread != nullptr) {
    SetEvent(stopEvent);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    thread = nullptr;
    UnhookWindowsHookEx(hook);
    hooked = nullptr;
  }
  return created;
}
