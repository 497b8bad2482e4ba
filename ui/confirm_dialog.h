// The first dialog the user sees (template 126): what is about to be
// installed, an extract-only check box, and start or cancel.
#pragma once

#include <windows.h>

#include "ui/dialog_base.h"

constexpr unsigned kConfirmDialogTemplate = 126;
constexpr int kExplanationTextId = 1003;
constexpr int kExtractOnlyBoxId = 1005;

// RunModal returns IDOK (1) for the start button and IDCANCEL (2) for cancel,
// Escape or the close box; the close box also leaves a quit message posted.
class ConfirmDialog : public DialogBase {
 public:
  int HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  // The extract-only box as it was when start was pressed (BST_UNCHECKED or
  // BST_CHECKED); left at 0 when the dialog was cancelled.
  int extractOnlyState = 0;
};

// Where a window of `windowSize` pixels starts when centred on `screenSize`:
// may be negative on a small screen, and truncates toward zero.
int CentredOrigin(int screenSize, int windowSize);
