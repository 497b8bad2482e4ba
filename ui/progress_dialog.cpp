#include "ui/progress_dialog.h"

#include <commctrl.h>

#include <atomic>
#include <cstring>

#include "ui/shared_texts.h"

static const char kPleaseWait[] = "しばらくお待ちください。";
static const char kFailureText[] = "解凍できません！";

ProgressDialog::ProgressDialog() { std::memset(destinationFolder, 0, sizeof(destinationFolder)); }

int ProgressPercent(int position, int total) {
  if (total <= 0) return 0;
  // In double: position * 100 would overflow 32 bits past 21 MB.
  return static_cast<int>(static_cast<double>(position) * 100.0 / static_cast<double>(total));
}

static void ShowFailureBox(const ProgressDialog& dialog) {
  // In install mode the box stands alone and asks for administrator rights,
  // the usual reason why the Windows folder cannot be written.
  if (dialog.installMode != 0) {
    MessageBoxA(nullptr, kCannotUnpackForInstall, kBoxCaption, MB_OK);
  } else {
    MessageBoxA(dialog.window, kFailureText, kBoxCaption, MB_OK);
  }
}

int ProgressDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      progressBar = GetDlgItem(window, kProgressBarId);
      SendMessageA(progressBar, PBM_SETRANGE32, 0, 100);
      SetWindowTextA(window, kDialogCaption);
      // Hidden until the start decision has a folder to unpack into.
      ShowWindow(window, SW_HIDE);
      return 0;
    case WM_CLOSE:
      // Progress already posted is still handled; no more will come.
      std::atomic_ref<bool>(closed_).store(true, std::memory_order_relaxed);
      PostQuitMessage(0);
      return 0;
    case WM_COMMAND:
      // The job asks with wParam 0 and lParam 0. Anything else is the dialog
      // manager's own IDOK or IDCANCEL (Enter, Escape, the close box), and
      // must not tell the user that unpacking failed.
      if (wParam == 0 && lParam == 0) ShowFailureBox(*this);
      return 0;
    case WM_UNPACK_PROGRESS:
      if (window == nullptr) return 0;
      return static_cast<int>(SendMessageA(
          progressBar, PBM_SETPOS,
          ProgressPercent(static_cast<int>(wParam), static_cast<int>(lParam)), 0));
    case WM_UNPACK_WAIT:
      return SetWindowTextA(GetDlgItem(window, kStatusTextId), kPleaseWait);
  }
  return 0;
}

// Posted, never sent: the extracting thread must not wait for the dialog.
void ProgressDialog::OnProgress(int32_t position, int32_t total) noexcept {
  if (window != nullptr && !std::atomic_ref<bool>(closed_).load(std::memory_order_relaxed)) {
    PostMessageA(window, WM_UNPACK_PROGRESS, static_cast<WPARAM>(position), static_cast<LPARAM>(total));
  }
}
