// Plays the user of the real installer: starts a copy of it, finds its
// windows on the desktop, reads them and presses their buttons, and waits
// for the process to end. Every wait has a time limit, so that a hung
// installer fails a test instead of stalling the run.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/common/temp_folder.h"

namespace kormit_test {

// The installer's texts, as the tests expect to see them.
extern const char kConfirmCaption[];    // the confirmation and the progress dialog
extern const char kSaveAsCaption[];

// A text of the ANSI code page in UTF-16, and back (where the code page
// lacks a character, its best fit).
std::wstring Widen(const std::string& text);
std::string Narrow(const std::wstring& text);

// A Windows path for a path of the build machine (Wine's drive Z:).
std::string FromBuildPath(const char* unixPath);

// A fresh, empty folder under the temporary folder; `tag` goes into its name.
std::string MakeScratchFolder(const std::string& tag);
bool Exists(const std::string& path);
bool IsFolder(const std::string& path);

// The names of the files (not folders) in `folder`.
std::vector<std::string> FilesIn(const std::string& folder);

std::string WindowText(HWND window);

class InstallerRun {
 public:
  // Starts `exe` with `currentFolder` as its current directory.
  InstallerRun(const std::string& exe, const std::string& currentFolder);
  // The same for a path that the ANSI code page may not hold: the program is
  // started under its very name, which it then reads back as its own.
  InstallerRun(const std::wstring& exe, const std::string& currentFolder);
  ~InstallerRun();  // a process still running is ended

  bool started() const { return process_ != nullptr; }
  DWORD processId() const { return processId_; }
  bool HasEnded() const;

  // The first visible top-level window of the process for which `match`
  // holds; null (and a test failure naming `what`) on a time-out or when the
  // process ends first.
  HWND WaitForWindow(const std::function<bool(HWND)>& match, const char* what, DWORD timeoutMs = 20000);
  HWND WaitForConfirmDialog();
  HWND WaitForProgressDialog();
  // A message box with this caption (and, when not null, this text).
  HWND WaitForMessageBox(const char* caption, std::string* text);
  HWND WaitForSaveAsDialog();

  // Waits for the end; fails when a message box of the installer shows up
  // meanwhile (its text goes into the failure) or on the time-out.
  // Returns the exit code, or STILL_ACTIVE.
  DWORD WaitForExit(DWORD timeoutMs = 30000);

  // Every thread but the one that owns `window` is held, or let go again;
  // lets a picture be taken of a dialog while the job stands still.
  void HoldOtherThreads(HWND window, bool hold);

 private:
  HANDLE process_ = nullptr;
  DWORD processId_ = 0;
};

// Presses a button (BM_CLICK, as a mouse click would); the button is found
// by its id, and when `text` is not null its caption must match.
bool PressButton(HWND dialog, int id, const char* text = nullptr);
// Gives an edit field a text.
void SetText(HWND control, const std::string& text);
// Fills in the file name of a Save-As dialog and confirms it.
bool ChooseInSaveAs(HWND saveAs, const std::string& path);

// Lets `make demo` take pictures: when KORMIT_DEMO_PAUSE_DIR is set, writes
// <dir>\<name>.ready and waits (up to a minute) for <dir>\<name>.done.
void DemoPause(const char* name);

}  // namespace kormit_test
