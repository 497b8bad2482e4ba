#include "ui/confirm_dialog.h"

#include "ui/shared_texts.h"

// The last sentence's "イントール" is how the product has always spelt it.
static const char kExplanation[] =
    "オーディオプレーヤー Kormit をインストールします。\r\n"
    "\r\n"
    "パッケージの解凍のみを行う場合は、[解凍のみ] をチェック状態にして下さい。\r\n"
    "[解凍のみ] を選択した場合は、解凍フォルダ内の [Setup.exe] を実行するとイントールできます。\r\n";

int CentredOrigin(int screenSize, int windowSize) { return (screenSize - windowSize) / 2; }

// Centres on the whole primary screen, not on the work area or the parent.
static void CentreOnScreen(HWND window) {
  RECT frame;
  GetWindowRect(window, &frame);
  int width = frame.right - frame.left;
  int height = frame.bottom - frame.top;
  MoveWindow(window, CentredOrigin(GetSystemMetrics(SM_CXSCREEN), width),
             CentredOrigin(GetSystemMetrics(SM_CYSCREEN), height), width, height, TRUE);
}

int ConfirmDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowTextA(window, kDialogCaption);
      SetWindowTextA(GetDlgItem(window, kExplanationTextId), kExplanation);
      CentreOnScreen(window);
      return 0;
    case WM_COMMAND:
      // Only the identifier counts: a click, an accelerator or Enter alike.
      switch (LOWORD(wParam)) {
        case IDOK: {
          HWND box = GetDlgItem(window, kExtractOnlyBoxId);
          if (box != nullptr) {
            extractOnlyState = static_cast<int>(SendMessageA(box, BM_GETCHECK, 0, 0));
          }
          return End(IDOK);
        }
        case IDCANCEL:
          return End(IDCANCEL);
      }
      return 0;
    case WM_CLOSE:
      // The close box ends the whole installer. Left unhandled, the request
      // goes on to the dialog manager, which cancels the dialog.
      PostQuitMessage(0);
      return 0;
  }
  return 0;
}
