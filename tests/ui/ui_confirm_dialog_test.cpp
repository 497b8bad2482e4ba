// The confirmation dialog, run modally from template 126 with the user's
// actions posted into its own modal loop.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/ui/dialog_test_support.h"
#include "ui/confirm_dialog.h"

namespace {

enum Action { kEnd, kClickExtractOnly, kClickStart, kClickCancel, kEscape, kCloseBox, kCommand };

struct Step {
  Action action;
  WPARAM wParam = 0;  // for kCommand
};

// What the user does, in order, once the dialog is up; and what the dialog
// looked like then.
class ScriptedConfirmDialog : public ConfirmDialog {
 public:
  explicit ScriptedConfirmDialog(const Step* steps) : steps(steps) {}

  int HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    int result = ConfirmDialog::HandleMessage(message, wParam, lParam);
    if (message == WM_INITDIALOG) {
      char text[1024] = {};
      GetWindowTextA(window, text, sizeof(text));
      caption = text;
      GetWindowTextA(GetDlgItem(window, kExplanationTextId), text, sizeof(text));
      explanation = text;
      GetWindowRect(window, &frame);
      for (const Step* step = steps; step->action != kEnd; ++step) Post(*step);
    }
    return result;
  }

  void Post(const Step& step) {
    switch (step.action) {
      case kClickExtractOnly: PostMessageA(GetDlgItem(window, kExtractOnlyBoxId), BM_CLICK, 0, 0); break;
      case kClickStart: PostMessageA(GetDlgItem(window, IDOK), BM_CLICK, 0, 0); break;
      case kClickCancel: PostMessageA(GetDlgItem(window, IDCANCEL), BM_CLICK, 0, 0); break;
      case kEscape: PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0); break;
      case kCloseBox: PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0); break;
      case kCommand: PostMessageA(window, WM_COMMAND, step.wParam, 0); break;
      case kEnd: break;
    }
  }

  const Step* steps;
  std::string caption;
  std::string explanation;
  RECT frame = {};
};

using ConfirmDialogTest = DialogTest;

TEST_F(ConfirmDialogTest, ResultAndExtractOnlyState) {
  const struct {
    const char* name;
    Step steps[4];
    INT_PTR result;
    int extractOnly;
    bool quitPosted;
  } cases[] = {
      {"start, box unchecked", {{kClickStart}, {kEnd}}, IDOK, 0, false},
      {"start, box checked", {{kClickExtractOnly}, {kClickStart}, {kEnd}}, IDOK, 1, false},
      {"box checked twice", {{kClickExtractOnly}, {kClickExtractOnly}, {kClickStart}, {kEnd}}, IDOK, 0, false},
      {"cancel, box checked", {{kClickExtractOnly}, {kClickCancel}, {kEnd}}, IDCANCEL, 0, false},
      {"Escape, box checked", {{kClickExtractOnly}, {kEscape}, {kEnd}}, IDCANCEL, 0, false},
      {"close box, box checked", {{kClickExtractOnly}, {kCloseBox}, {kEnd}}, IDCANCEL, 0, true},
      {"IDOK with a notification code",
       {{kClickExtractOnly}, {kCommand, MAKEWPARAM(IDOK, 0x1234)}, {kEnd}}, IDOK, 1, false},
      {"IDCANCEL with a notification code", {{kCommand, MAKEWPARAM(IDCANCEL, 0xBEEF)}, {kEnd}},
       IDCANCEL, 0, false},
      {"the box's own command does nothing",
       {{kCommand, MAKEWPARAM(kExtractOnlyBoxId, BN_CLICKED)}, {kClickExtractOnly}, {kClickStart}, {kEnd}},
       IDOK, 1, false},
  };
  for (const auto& c : cases) {
    ScriptedConfirmDialog dialog(c.steps);
    EXPECT_EQ(0, dialog.extractOnlyState);
    EXPECT_EQ(c.result, dialog.RunModal(nullptr, kConfirmDialogTemplate)) << c.name;
    EXPECT_EQ(c.extractOnly, dialog.extractOnlyState) << c.name;
    EXPECT_EQ(c.quitPosted, TakeQuitMessage()) << c.name;
  }
}

TEST_F(ConfirmDialogTest, RunsOwnedByHiddenParent) {
  // As the installer runs it: over the hidden progress dialog.
  HWND parent = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, parent);
  const Step steps[] = {{kClickStart}, {kEnd}};
  ScriptedConfirmDialog dialog(steps);
  EXPECT_EQ(IDOK, dialog.RunModal(parent, kConfirmDialogTemplate));
  DestroyWindow(parent);
}

TEST_F(ConfirmDialogTest, CaptionAndExplanation) {
  ASSERT_EQ(932u, GetACP());
  const Step steps[] = {{kClickCancel}, {kEnd}};
  ScriptedConfirmDialog dialog(steps);
  dialog.RunModal(nullptr, kConfirmDialogTemplate);
  EXPECT_EQ("SelfUnpack - Kormit Ver 1.63", dialog.caption);
  // "イントール" is the product's own spelling and stays.
  EXPECT_EQ(
      "オーディオプレーヤー Kormit をインストールします。\r\n\r\n"
      "パッケージの解凍のみを行う場合は、[解凍のみ] をチェック状態にして下さい。\r\n"
      "[解凍のみ] を選択した場合は、解凍フォルダ内の [Setup.exe] を実行するとイントールできます。\r\n",
      dialog.explanation);
}

TEST_F(ConfirmDialogTest, CentredOnPrimaryScreen) {
  const Step steps[] = {{kClickCancel}, {kEnd}};
  ScriptedConfirmDialog dialog(steps);
  dialog.RunModal(nullptr, kConfirmDialogTemplate);
  int width = dialog.frame.right - dialog.frame.left;
  int height = dialog.frame.bottom - dialog.frame.top;
  // The template puts it at 0, 0 and asks for no centring of its own.
  ASSERT_GT(width, 100);
  EXPECT_EQ((GetSystemMetrics(SM_CXSCREEN) - width) / 2, dialog.frame.left);
  EXPECT_EQ((GetSystemMetrics(SM_CYSCREEN) - height) / 2, dialog.frame.top);
  EXPECT_GT(dialog.frame.left, 0);
}

TEST(ConfirmDialogCentring, OriginTruncatesTowardZero) {
  const struct {
    int screen, window, origin;
  } cases[] = {
      {1024, 400, 312}, {1024, 401, 311}, {400, 400, 0},
      {397, 400, -1},  // -3 / 2: toward zero, not down to -2
      {396, 400, -2},  {0, 1, 0},       {0, 5, -2},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.origin, CentredOrigin(c.screen, c.window)) << c.screen << ", " << c.window;
  }
}

}  // namespace
