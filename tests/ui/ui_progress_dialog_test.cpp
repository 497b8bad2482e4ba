// The progress dialog: construction, WM_INITDIALOG, the progress and
// please-wait messages, the failure box and WM_CLOSE.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <cstring>
#include <new>
#include <string>

#include "tests/ui/dialog_test_support.h"
#include "tests/ui/message_box_watcher.h"
#include "ui/progress_dialog.h"

namespace {

const char kPreparing[] = "準備中．．．";
const char kPleaseWait[] = "しばらくお待ちください。";
const char kShortFailure[] = "解凍できません！";
const char kLongFailure[] =
    "解凍できません！\n管理者権限(administrator)を持ったユーザーで、ログオンして実行してください。";

std::string TextOf(HWND window) {
  char text[512] = {};
  GetWindowTextA(window, text, sizeof(text));
  return text;
}

int BarPosition(HWND bar) { return static_cast<int>(SendMessageA(bar, PBM_GETPOS, 0, 0)); }

// Keeps the commands that reach the dialog, then handles them as usual.
class CommandRecordingDialog : public ProgressDialog {
 public:
  int HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_COMMAND && commandCount < 8) commands[commandCount++] = wParam;
    return ProgressDialog::HandleMessage(message, wParam, lParam);
  }
  WPARAM commands[8] = {};
  int commandCount = 0;
};

class ProgressDialogTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    ASSERT_NE(nullptr, dialog.CreateModeless(nullptr, kProgressDialogTemplate));
  }
  void TearDown() override {
    dialog.Destroy();
    DialogTest::TearDown();
  }
  CommandRecordingDialog dialog;
};

TEST(ProgressDialogObject, ConstructionDefaults) {
  // Built over garbage, so that every default must really be written.
  alignas(ProgressDialog) unsigned char storage[sizeof(ProgressDialog)];
  std::memset(storage, 0xA5, sizeof(storage));
  ProgressDialog* dialog = new (storage) ProgressDialog;
  EXPECT_EQ(nullptr, dialog->window);
  EXPECT_EQ(nullptr, dialog->previousProcedure);
  EXPECT_EQ(nullptr, dialog->progressBar);
  EXPECT_EQ(nullptr, dialog->jobMutex);
  EXPECT_EQ(1, dialog->installMode);
  ASSERT_EQ(260u, sizeof(dialog->destinationFolder));
  for (char byte : dialog->destinationFolder) ASSERT_EQ(0, byte);
}

TEST(ProgressDialogObject, MessageNumbers) {
  EXPECT_EQ(1034u, WM_UNPACK_PROGRESS);
  EXPECT_EQ(1035u, WM_UNPACK_WAIT);
}

TEST_F(ProgressDialogTest, InitDialogSetsUpBarAndCaptionAndStaysHidden) {
  ASSERT_EQ(932u, GetACP());
  EXPECT_EQ(GetDlgItem(dialog.window, 1001), dialog.progressBar);
  ASSERT_NE(nullptr, dialog.progressBar);
  PBRANGE range = {-1, -1};
  SendMessageA(dialog.progressBar, PBM_GETRANGE, 0, reinterpret_cast<LPARAM>(&range));
  EXPECT_EQ(0, range.iLow);
  EXPECT_EQ(100, range.iHigh);
  EXPECT_EQ("SelfUnpack - Kormit Ver 1.63", TextOf(dialog.window));
  EXPECT_EQ(kPreparing, TextOf(GetDlgItem(dialog.window, 1002)));
  PumpMessages(dialog.window);
  EXPECT_FALSE(IsWindowVisible(dialog.window));
}

TEST_F(ProgressDialogTest, TemplateFontHasJapaneseGlyphs) {
  // The template asks for "ＭＳ Ｐゴシック"; whatever face stands in for it
  // must draw the status text, not boxes.
  HFONT font = reinterpret_cast<HFONT>(SendMessageA(dialog.window, WM_GETFONT, 0, 0));
  ASSERT_NE(nullptr, font);
  LOGFONTW requested = {};
  GetObjectW(font, sizeof(requested), &requested);
  EXPECT_STREQ(L"ＭＳ Ｐゴシック", requested.lfFaceName);
  HDC context = GetDC(dialog.window);
  HGDIOBJ previous = SelectObject(context, font);
  const wchar_t text[] = L"準備中．．．しばらくお待ちください。";
  WORD glyphs[sizeof(text) / sizeof(text[0])] = {};
  GetGlyphIndicesW(context, text, lstrlenW(text), glyphs, GGI_MARK_NONEXISTING_GLYPHS);
  for (int i = 0; i < lstrlenW(text); ++i) EXPECT_NE(0xFFFF, glyphs[i]) << "character " << i;
  SelectObject(context, previous);
  ReleaseDC(dialog.window, context);
}

TEST_F(ProgressDialogTest, ProgressSetsTruncatedPercentage) {
  const struct {
    int position, total, percent;
  } cases[] = {
      {1, 3, 33},  // truncated, not rounded
      {2, 3, 66},
      {3, 3, 100},
      {0, 5, 0},
      {2, 5, 40},
      {199999, 200000, 99},
      {2147483647, 2147483647, 100},  // position * 100 does not fit 32 bits
      {1073741823, 2147483647, 49},
      {30000000, 60000000, 50},
      {5, 0, 0},  // never sent; must not fault
      {1, -3, 0},
  };
  for (const auto& c : cases) {
    SendMessageA(dialog.progressBar, PBM_SETPOS, 77, 0);
    // Posted, as the extractor does, and handled by the main loop's pump.
    PostMessageA(dialog.window, WM_UNPACK_PROGRESS, c.position, c.total);
    PumpMessages(dialog.window);
    EXPECT_EQ(c.percent, BarPosition(dialog.progressBar)) << c.position << " of " << c.total;
  }
}

TEST_F(ProgressDialogTest, ProgressAnswersPreviousPosition) {
  SendMessageA(dialog.progressBar, PBM_SETPOS, 12, 0);
  EXPECT_EQ(12, dialog.HandleMessage(WM_UNPACK_PROGRESS, 1, 2));
  EXPECT_EQ(50, dialog.HandleMessage(WM_UNPACK_PROGRESS, 1, 1));
  EXPECT_EQ(100, BarPosition(dialog.progressBar));
}

TEST_F(ProgressDialogTest, ProgressWithoutWindowDoesNothing) {
  ProgressDialog unbound;
  unbound.progressBar = dialog.progressBar;  // a live bar it must not touch
  SendMessageA(dialog.progressBar, PBM_SETPOS, 7, 0);
  EXPECT_EQ(0, unbound.HandleMessage(WM_UNPACK_PROGRESS, 1, 2));
  EXPECT_EQ(7, BarPosition(dialog.progressBar));
}

TEST_F(ProgressDialogTest, PleaseWaitChangesOnlyStatusText) {
  ASSERT_EQ(932u, GetACP());
  SendMessageA(dialog.window, WM_UNPACK_PROGRESS, 2, 5);
  SendMessageA(dialog.window, WM_UNPACK_WAIT, 0, 0);
  EXPECT_EQ(kPleaseWait, TextOf(GetDlgItem(dialog.window, 1002)));
  EXPECT_EQ(40, BarPosition(dialog.progressBar));
  EXPECT_EQ("SelfUnpack - Kormit Ver 1.63", TextOf(dialog.window));
  EXPECT_NE(0, dialog.HandleMessage(WM_UNPACK_WAIT, 0, 0));  // SetWindowTextA succeeded
}

// The extractor's progress, as the extracting thread hands it over: posted
// to the window, where it moves the bar once the messages are handled.
TEST_F(ProgressDialogTest, ProgressIsPostedToTheWindow) {
  ProgressReceiver& receiver = dialog;
  receiver.OnProgress(3, 4);
  EXPECT_EQ(0, BarPosition(dialog.progressBar));  // posted, not sent
  MSG message;
  ASSERT_TRUE(PeekMessageA(&message, dialog.window, WM_UNPACK_PROGRESS, WM_UNPACK_PROGRESS, PM_NOREMOVE));
  EXPECT_EQ(3u, message.wParam);
  EXPECT_EQ(4, message.lParam);
  PumpMessages(dialog.window);
  EXPECT_EQ(75, BarPosition(dialog.progressBar));
}

TEST_F(ProgressDialogTest, CloseStopsProgressAndPostsQuitButKeepsWindow) {
  ProgressReceiver& receiver = dialog;
  receiver.OnProgress(1, 2);  // posted before the close: still handled
  PostMessageA(dialog.window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(PumpMessages(dialog.window));
  EXPECT_EQ(50, BarPosition(dialog.progressBar));
  receiver.OnProgress(2, 2);
  MSG message;
  EXPECT_FALSE(PeekMessageA(&message, dialog.window, WM_UNPACK_PROGRESS, WM_UNPACK_PROGRESS, PM_NOREMOVE))
      << "progress posted after the close";
  EXPECT_EQ(50, BarPosition(dialog.progressBar));
  // The window outlives the close and still does its work.
  ASSERT_TRUE(IsWindow(dialog.window));
  SendMessageA(dialog.window, WM_UNPACK_PROGRESS, 1, 4);
  EXPECT_EQ(25, BarPosition(dialog.progressBar));
  SendMessageA(dialog.window, WM_UNPACK_WAIT, 0, 0);
  EXPECT_EQ(kPleaseWait, TextOf(GetDlgItem(dialog.window, 1002)));
}

TEST_F(ProgressDialogTest, JobsCommandShowsFailureBoxByMode) {
  ASSERT_EQ(932u, GetACP());
  const struct {
    int installMode;
    bool ownedByDialog;
    const char* text;
  } cases[] = {
      {1, false, kLongFailure},  // the default: install mode
      {-1, false, kLongFailure},
      {0, true, kShortFailure},
  };
  for (const auto& c : cases) {
    dialog.installMode = c.installMode;
    MessageBoxWatcher watcher(dialog.window);
    EXPECT_EQ(0, SendMessageA(dialog.window, WM_COMMAND, 0, 0));  // returns once OK is pressed
    EXPECT_EQ(1, watcher.Stop()) << "install mode " << c.installMode;
    ASSERT_EQ(1, watcher.count) << "install mode " << c.installMode;
    EXPECT_EQ(c.ownedByDialog ? dialog.window : nullptr, watcher.boxes[0].owner);
    EXPECT_STREQ("Self Unpack", watcher.boxes[0].caption);
    EXPECT_STREQ(c.text, watcher.boxes[0].text);
  }
}

TEST_F(ProgressDialogTest, OtherCommandsShowNoFailureBox) {
  const struct {
    WPARAM wParam;
    LPARAM lParam;
  } cases[] = {
      {IDCANCEL, 0},
      {IDOK, 0},
      {MAKEWPARAM(IDCANCEL, BN_CLICKED), 0},
      {0, 1},
      {MAKEWPARAM(0, 1), 0},
  };
  for (int installMode : {1, 0}) {
    dialog.installMode = installMode;
    for (const auto& c : cases) {
      MessageBoxWatcher watcher(dialog.window);
      EXPECT_EQ(0, SendMessageA(dialog.window, WM_COMMAND, c.wParam, c.lParam));
      EXPECT_EQ(0, watcher.Stop()) << "wParam " << c.wParam << ", lParam " << c.lParam;
    }
  }
}

TEST_F(ProgressDialogTest, EscapeKeyShowsNoFailureBox) {
  ShowWindow(dialog.window, SW_SHOW);
  PumpMessages(dialog.window);
  MessageBoxWatcher watcher(dialog.window);
  PostMessageA(dialog.window, WM_KEYDOWN, VK_ESCAPE, 0);
  PumpMessages(dialog.window);
  EXPECT_EQ(0, watcher.Stop());
  // The key did become the dialog manager's cancel command.
  ASSERT_EQ(1, dialog.commandCount);
  EXPECT_EQ(IDCANCEL, LOWORD(dialog.commands[0]));
  EXPECT_TRUE(IsWindow(dialog.window));
}

TEST_F(ProgressDialogTest, CloseBoxShowsNoFailureBoxAndEndsLoop) {
  ShowWindow(dialog.window, SW_SHOW);
  PumpMessages(dialog.window);
  MessageBoxWatcher watcher(dialog.window);
  PostMessageA(dialog.window, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(PumpMessages(dialog.window));
  EXPECT_EQ(0, watcher.Stop());
  ASSERT_EQ(1, dialog.commandCount);
  EXPECT_EQ(IDCANCEL, LOWORD(dialog.commands[0]));
  EXPECT_TRUE(IsWindow(dialog.window));
}

}  // namespace
