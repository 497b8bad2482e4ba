// The installer's main window (template 101): a progress bar and a status
// line, driven by the extraction job and the extractor through the window
// messages below. The installer has one (theProgressDialog); its fields also
// carry the job's parameters from the start decision to the job. It is the extractor's
// progress receiver: it posts the progress to its own window, so that the
// job's thread never waits for the window's.
//
// Messages, all handled on the thread that made the window:
//   WM_INITDIALOG       bar range 0..100, caption, hides itself       -> 0
//   WM_CLOSE            stops posting progress and posts the quit
//                       message; the window stays                     -> 0
//   WM_COMMAND          wParam 0 and lParam 0 (the job's request):
//                       the failure box, returns once it is closed;
//                       commands of the dialog manager (IDOK, IDCANCEL
//                       from Enter, Escape, the close box): nothing   -> 0
//   WM_UNPACK_PROGRESS  wParam position, lParam total (> 0): the bar
//                       goes to position * 100 / total, truncated     -> previous position
//   WM_UNPACK_WAIT      the status line says "please wait"            -> SetWindowTextA's result
//   anything else                                                     -> 0
#pragma once

#include <windows.h>

#include <cstdint>

#include "archive/pack_reader.h"
#include "base/installer_rules.h"
#include "ui/dialog_base.h"

constexpr unsigned kProgressDialogTemplate = 101;
constexpr int kProgressBarId = 1001;
constexpr int kStatusTextId = 1002;

constexpr UINT WM_UNPACK_PROGRESS = WM_USER + 10;  // 1034, posted by the extractor
constexpr UINT WM_UNPACK_WAIT = WM_USER + 11;      // 1035, sent by the job

class ProgressDialog : public DialogBase, public ProgressReceiver {
 public:
  ProgressDialog();

  int HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  // On the extracting thread: posts WM_UNPACK_PROGRESS (wParam position,
  // lParam total) to the window, until the dialog has handled WM_CLOSE.
  void OnProgress(int32_t position, int32_t total) noexcept override;

  HWND progressBar = nullptr;  // control 1001, fetched at WM_INITDIALOG
  HANDLE jobMutex = nullptr;   // the job's completion token while it runs
  char destinationFolder[kPathBufferSize];  // code page 932, no trailing backslash
  HANDLE heldFolder = nullptr;  // the destination folder, held open while the job works in it
  int installMode = 1;         // nonzero: install; zero: extract only

 private:
  // Set on the window's thread at WM_CLOSE, read on the extracting thread.
  bool closed_ = false;
};

// The bar position for `position` of `total` bytes: 0..100, truncated. A
// total of zero or less gives 0.
int ProgressPercent(int position, int total);
