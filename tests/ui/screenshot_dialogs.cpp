// Shows one dialog state for a screenshot and waits until it has been taken.
//   screenshot_dialogs STATE READY_FILE DONE_FILE
// STATE is "confirm" (the confirmation dialog), "progress" (the progress
// dialog at 40 %) or "wait" (the progress dialog full, with the please-wait
// text). Once the dialog is painted the program writes the window's screen
// rectangle, "x y width height", to READY_FILE; it ends when DONE_FILE
// appears, or after a minute.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <cstring>

#include "ui/confirm_dialog.h"
#include "ui/progress_dialog.h"


namespace {

void PumpFor(DWORD milliseconds) {
  DWORD start = GetTickCount();
  while (GetTickCount() - start < milliseconds) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
}

bool WriteRectangle(const char* path, HWND window) {
  RECT frame;
  GetWindowRect(window, &frame);
  char text[64];
  int length = wsprintfA(text, "%d %d %d %d\n", frame.left, frame.top, frame.right - frame.left,
                         frame.bottom - frame.top);
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  WriteFile(file, text, length, &written, nullptr);
  CloseHandle(file);
  return written == static_cast<DWORD>(length);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  InitCommonControls();
  ConfirmDialog confirm;
  ProgressDialog progress;
  HWND window;
  if (std::strcmp(argv[1], "confirm") == 0) {
    window = confirm.CreateModeless(nullptr, kConfirmDialogTemplate);
  } else {
    window = progress.CreateModeless(nullptr, kProgressDialogTemplate);
    if (std::strcmp(argv[1], "progress") == 0) {
      PostMessageA(window, WM_UNPACK_PROGRESS, 2, 5);
    } else if (std::strcmp(argv[1], "wait") == 0) {
      PostMessageA(window, WM_UNPACK_PROGRESS, 5, 5);
      PostMessageA(window, WM_UNPACK_WAIT, 0, 0);
    } else {
      return 2;
    }
  }
  if (window == nullptr) return 1;
  // Both templates start hidden; the installer shows them when it is ready.
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  PumpFor(700);
  if (!WriteRectangle(argv[2], window)) return 1;
  for (int i = 0; i < 600 && GetFileAttributesA(argv[3]) == INVALID_FILE_ATTRIBUTES; ++i) PumpFor(100);
  DestroyWindow(window);
  return 0;
}
