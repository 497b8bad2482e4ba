// An object bound to a dialog window made from a template of the executable.
// The object's address travels to the window as the creation parameter and
// stays in its DWL_USER slot, where the one shared dialog procedure finds it
// and hands every message to the object's handler. No table of windows is
// kept anywhere.
#pragma once

#include <windows.h>

class DialogBase {
 public:
  DialogBase() = default;

  // Shows the dialog made from template `templateId` (low 16 bits only) and
  // returns once End has been called: End's result, or -1 (0 with a bad
  // parent) when the dialog could not be made.
  INT_PTR RunModal(HWND parent, unsigned templateId);

  // Makes the dialog without waiting; returns its window, null on failure.
  // The object knows its window by then, so callers may ignore the result.
  HWND CreateModeless(HWND parent, unsigned templateId);

  // Ends a modal dialog with `result`.
  BOOL End(int result);

  // Destroys a modeless dialog's window. The object forgets the window even
  // when DestroyWindow fails, so a stale handle is never used again.
  BOOL Destroy();

  // Gets every message of the bound window from WM_INITDIALOG on. The result
  // goes back to the dialog manager: 0 means "not handled". This default
  // passes the message to previousProcedure when one is set, else answers 0.
  virtual int HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  HWND window = nullptr;               // set at WM_INITDIALOG
  WNDPROC previousProcedure = nullptr; // nothing in the installer sets it

 protected:
  // Objects are globals or locals and never deleted through this class.
  ~DialogBase() = default;
};

// The dialog procedure of every dialog the installer makes.
INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
