#include "archive/payload_check.h"
#include "installer/installer_flow.h"
#include "ui/confirm_dialog.h"
#include "ui/progress_dialog.h"
#include "ui/shared_texts.h"

namespace {

int Abandon() {
  MessageBoxA(nullptr, kPayloadDamagedText + kDamagedLineLength, kBoxCaption, MB_OK);
  return 0;
}

}  // namespace

int ChooseFolder(ProgressDialog& dialog) {
  return dialog.installMode ? MakeInstallFolder(dialog) : MakeExtractFolder(dialog);
}

int DecideStart(ProgressDialog& dialog) {
  // Without its window (no USER handles left, a class missing) the run could
  // show no progress and nothing would ever close it: stop before asking.
  if (dialog.window == nullptr) return Abandon();
  ConfirmDialog confirm;
  if (confirm.RunModal(dialog.window, kConfirmDialogTemplate) != IDOK) return 0;  // cancel ends quietly
  dialog.installMode = confirm.extractOnlyState == 0 ? 1 : 0;

  if (ChooseFolder(dialog)) {
    ShowWindow(dialog.window, SW_SHOW);
    return 1;
  }
  if (dialog.installMode && IsNtPlatform()) {
    MessageBoxA(nullptr, NeedAdministratorText(), "Self Unpack - Kormit", MB_OK);
    return 0;
  }
  return Abandon();
}
