// What the dialog tests share: the message pump of the installer's main
// loop, and a fixture that registers the common controls first.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

// Handles every message queued for the calling thread, handing dialog
// messages to IsDialogMessageA as the installer's loop does. Returns whether
// a quit message came (the pump goes on after it until the queue is empty).
bool PumpMessages(HWND dialog);

// Whether a quit message is waiting; takes it out of the queue.
bool TakeQuitMessage();

class DialogTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};
