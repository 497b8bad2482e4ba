#include "tests/ui/dialog_test_support.h"

#include <commctrl.h>

bool PumpMessages(HWND dialog) {
  bool quit = false;
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      quit = true;
    } else if (dialog == nullptr || !IsDialogMessageA(dialog, &message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  return quit;
}

bool TakeQuitMessage() {
  MSG message;
  return PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
}

void DialogTest::SetUp() { InitCommonControls(); }

void DialogTest::TearDown() {
  // No test may leave work for the next one.
  PumpMessages(nullptr);
}
