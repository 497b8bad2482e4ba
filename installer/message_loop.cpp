#include "installer/installer_flow.h"

namespace {

// Keyboard messages 0x100-0x108 and mouse messages 0x200-0x209 (the wheel,
// 0x20A, is not among them) go to the nearest dialog among the ancestors of
// the window they are for, so that Tab, the arrow keys and Enter work inside
// dialogs. The addressed window itself is never offered.
bool IsNavigationInput(UINT message) {
  return (message >= 0x100 && message <= 0x108) || (message >= 0x200 && message <= 0x209);
}

void Deliver(MSG& message) {
  if (IsNavigationInput(message.message)) {
    for (HWND ancestor = GetParent(message.hwnd); ancestor != nullptr; ancestor = GetParent(ancestor)) {
      if (IsDialogMessageA(ancestor, &message)) return;
    }
  }
  TranslateMessage(&message);
  DispatchMessageA(&message);
}

}  // namespace

void RunMessageLoop() {
  MSG message;
  // GetMessageA's -1 (an error) ends the loop too, rather than spinning.
  while (GetMessageA(&message, nullptr, 0, 0) > 0) Deliver(message);
}

void WaitForJob(HANDLE job) {
  if (job == nullptr) return;
  // The job may still send messages (the please-wait text, the failure box)
  // after the loop has ended, e.g. when the user closed the window: keep
  // serving them until the thread has ended, so neither waits for the other.
  for (;;) {
    const DWORD woken = MsgWaitForMultipleObjects(1, &job, FALSE, INFINITE, QS_ALLINPUT);
    if (woken != WAIT_OBJECT_0 + 1) break;  // the job ended, or waiting failed
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message != WM_QUIT) Deliver(message);  // a second close changes nothing
    }
  }
  CloseHandle(job);
}
