#include "ui/dialog_base.h"

// The binding lives in the window's DWL_USER slot: a 32-bit value at byte
// offset 8 of the dialog's extra window memory.
static_assert(DWL_USER == 8, "the binding slot must be DWL_USER");

static LPCSTR TemplateName(unsigned templateId) {
  return MAKEINTRESOURCEA(templateId & 0xFFFF);
}

INT_PTR DialogBase::RunModal(HWND parent, unsigned templateId) {
  return DialogBoxParamA(GetModuleHandleA(nullptr), TemplateName(templateId), parent,
                         DialogProcedure, reinterpret_cast<LPARAM>(this));
}

HWND DialogBase::CreateModeless(HWND parent, unsigned templateId) {
  return CreateDialogParamA(GetModuleHandleA(nullptr), TemplateName(templateId), parent,
                            DialogProcedure, reinterpret_cast<LPARAM>(this));
}

BOOL DialogBase::End(int result) { return EndDialog(window, result); }

BOOL DialogBase::Destroy() {
  BOOL destroyed = DestroyWindow(window);
  window = nullptr;
  return destroyed;
}

int DialogBase::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (previousProcedure == nullptr) return 0;
  return static_cast<int>(CallWindowProcA(previousProcedure, window, message, wParam, lParam));
}

INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DialogBase* dialog;
  if (message == WM_INITDIALOG) {
    dialog = reinterpret_cast<DialogBase*>(lParam);
    if (dialog == nullptr) return 0;  // made by someone else, with no object
    dialog->window = window;
    dialog->previousProcedure = nullptr;
    SetWindowLongA(window, DWL_USER, reinterpret_cast<LONG>(dialog));
  } else {
    // Messages before WM_INITDIALOG (WM_SETFONT, ...) find the slot empty.
    dialog = reinterpret_cast<DialogBase*>(GetWindowLongA(window, DWL_USER));
  }
  if (dialog == nullptr) return 0;
  return dialog->HandleMessage(message, wParam, lParam);
}
