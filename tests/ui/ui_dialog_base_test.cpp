// The dialog object framework: binding, the shared dialog procedure, the
// modal and modeless creations, end, destroy and the default handler.
#include <gtest/gtest.h>
#include <windows.h>

#include "tests/ui/dialog_test_support.h"
#include "ui/dialog_base.h"

namespace {

// Keeps the messages that reach its handler; ends a modal run at once when
// told to, with the given result.
class RecordingDialog : public DialogBase {
 public:
  int HandleMessage(UINT message, WPARAM, LPARAM lParam) override {
    if (count < kMax) {
      messages[count] = message;
      lParams[count] = lParam;
    }
    ++count;
    if (message == WM_INITDIALOG && endAtOnce) End(endResult);
    return 0;
  }
  static constexpr int kMax = 64;
  UINT messages[kMax] = {};
  LPARAM lParams[kMax] = {};
  int count = 0;
  bool endAtOnce = false;
  int endResult = 0;
};

class PlainDialog : public DialogBase {};

constexpr unsigned kProgressTemplate = 101;
constexpr unsigned kConfirmTemplate = 126;

using DialogBaseTest = DialogTest;

TEST_F(DialogBaseTest, ModelessCreationBindsObjectAtInitDialog) {
  RecordingDialog dialog;
  HWND window = dialog.CreateModeless(nullptr, kProgressTemplate);
  ASSERT_NE(nullptr, window);
  EXPECT_EQ(window, dialog.window);
  EXPECT_EQ(reinterpret_cast<LONG>(&dialog), GetWindowLongA(window, DWL_USER));
  EXPECT_EQ(nullptr, dialog.previousProcedure);
  // Template 101 asks for a font, so WM_SETFONT comes before WM_INITDIALOG;
  // it must not reach the object, which is not bound yet.
  ASSERT_GE(dialog.count, 1);
  EXPECT_EQ(static_cast<UINT>(WM_INITDIALOG), dialog.messages[0]);
  EXPECT_EQ(reinterpret_cast<LPARAM>(&dialog), dialog.lParams[0]);
  for (int i = 0; i < dialog.count && i < RecordingDialog::kMax; ++i) {
    EXPECT_NE(static_cast<UINT>(WM_SETFONT), dialog.messages[i]) << "message " << i;
  }
  // Later messages reach the handler through the DWL_USER slot.
  int before = dialog.count;
  SendMessageA(window, WM_USER + 77, 0, 0);
  EXPECT_EQ(before + 1, dialog.count);
  EXPECT_EQ(static_cast<UINT>(WM_USER + 77), dialog.messages[before]);
  EXPECT_TRUE(dialog.Destroy());
}

TEST_F(DialogBaseTest, WindowWithoutObjectAnswersZero) {
  // Made by hand with the shared procedure but no object: nothing to call.
  HWND window = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kProgressTemplate),
                                   nullptr, DialogProcedure, 0);
  ASSERT_NE(nullptr, window);
  EXPECT_EQ(0, GetWindowLongA(window, DWL_USER));
  EXPECT_EQ(0, DialogProcedure(window, WM_COMMAND, IDOK, 0));
  EXPECT_EQ(0, DialogProcedure(window, WM_USER + 10, 1, 2));
  DestroyWindow(window);
}

TEST_F(DialogBaseTest, TemplateIdUsesItsLow16Bits) {
  RecordingDialog modeless;
  ASSERT_NE(nullptr, modeless.CreateModeless(nullptr, 0x10000u + kProgressTemplate));
  EXPECT_NE(nullptr, GetDlgItem(modeless.window, 1001));  // the progress bar: template 101
  modeless.Destroy();

  RecordingDialog modal;
  modal.endAtOnce = true;
  modal.endResult = 42;
  EXPECT_EQ(42, modal.RunModal(nullptr, 0xFFFF0000u + kConfirmTemplate));
  EXPECT_EQ(static_cast<UINT>(WM_INITDIALOG), modal.messages[0]);
}

TEST_F(DialogBaseTest, RunModalReturnsWhatEndPassed) {
  for (int result : {0, 1, 2, -5, 1234567}) {
    RecordingDialog dialog;
    dialog.endAtOnce = true;
    dialog.endResult = result;
    EXPECT_EQ(result, dialog.RunModal(nullptr, kConfirmTemplate));
    // The platform destroyed the window; the object keeps the stale handle.
    EXPECT_NE(nullptr, dialog.window);
    EXPECT_FALSE(IsWindow(dialog.window));
  }
}

TEST_F(DialogBaseTest, MissingTemplateLeavesObjectUnbound) {
  RecordingDialog modal;
  EXPECT_EQ(-1, modal.RunModal(nullptr, 999));
  RecordingDialog modeless;
  EXPECT_EQ(nullptr, modeless.CreateModeless(nullptr, 999));
  for (RecordingDialog* dialog : {&modal, &modeless}) {
    EXPECT_EQ(nullptr, dialog->window);
    EXPECT_EQ(0, dialog->count);
  }
}

TEST_F(DialogBaseTest, DestroyForgetsWindowEvenWhenDestroyWindowFails) {
  RecordingDialog dialog;
  HWND window = dialog.CreateModeless(nullptr, kProgressTemplate);
  ASSERT_NE(nullptr, window);
  EXPECT_TRUE(dialog.Destroy());
  EXPECT_EQ(nullptr, dialog.window);
  EXPECT_FALSE(IsWindow(window));

  dialog.window = window;  // stale: DestroyWindow fails on it
  EXPECT_FALSE(dialog.Destroy());
  EXPECT_EQ(nullptr, dialog.window);
  EXPECT_FALSE(dialog.Destroy());  // and on no window at all
  EXPECT_EQ(nullptr, dialog.window);
}

// A window procedure to stand in as the previous one.
struct ProcedureCall {
  int count;
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
} lastCall;

LRESULT CALLBACK PreviousProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  lastCall = {lastCall.count + 1, window, message, wParam, lParam};
  return 1234;
}

TEST_F(DialogBaseTest, DefaultHandlerAnswersZeroWithoutPreviousProcedure) {
  PlainDialog dialog;
  dialog.window = reinterpret_cast<HWND>(0x1234);
  lastCall = {};
  const UINT messages[] = {WM_INITDIALOG, WM_COMMAND, WM_CLOSE, WM_PAINT, WM_USER + 10};
  for (UINT message : messages) {
    EXPECT_EQ(0, dialog.HandleMessage(message, 1, 2)) << message;
  }
  EXPECT_EQ(0, lastCall.count);
}

TEST_F(DialogBaseTest, DefaultHandlerPassesMessagesToPreviousProcedure) {
  PlainDialog dialog;
  dialog.window = reinterpret_cast<HWND>(0x1234);
  dialog.previousProcedure = PreviousProcedure;
  lastCall = {};
  EXPECT_EQ(1234, dialog.HandleMessage(WM_COMMAND, 7, 8));
  EXPECT_EQ(1, lastCall.count);
  EXPECT_EQ(dialog.window, lastCall.window);
  EXPECT_EQ(static_cast<UINT>(WM_COMMAND), lastCall.message);
  EXPECT_EQ(7u, lastCall.wParam);
  EXPECT_EQ(8, lastCall.lParam);
}

TEST_F(DialogBaseTest, BindingClearsPreviousProcedure) {
  PlainDialog dialog;
  dialog.previousProcedure = PreviousProcedure;
  lastCall = {};
  ASSERT_NE(nullptr, dialog.CreateModeless(nullptr, kProgressTemplate));
  EXPECT_EQ(nullptr, dialog.previousProcedure);
  EXPECT_EQ(0, lastCall.count);  // not even WM_INITDIALOG went there
  dialog.Destroy();
}

}  // namespace
