// The installer's entry: the hidden progress dialog, the payload's check,
// the start decision, the extraction job on its own thread, the message
// loop, and the wait for the job. It takes no arguments and always ends with exit code 0.
#include <windows.h>
#include <process.h>

#include "archive/pack_reader.h"
#include "base/platform/win32/system_libraries.h"
#include "installer/installer_flow.h"
#include "ui/progress_dialog.h"

namespace {

// Registers the progress bar's class. The common controls are not imported:
// the loader would look for them beside the program first. Without them the
// progress dialog cannot be made, which start-up reports as it reports any
// dialog that cannot be made.
void RegisterProgressBar() {
  typedef void(WINAPI * InitCommonControlsCall)();
  const auto initialise = reinterpret_cast<InitCommonControlsCall>(
      reinterpret_cast<void*>(SystemLibraryFunction("comctl32.dll", "InitCommonControls")));
  if (initialise != nullptr) initialise();
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  RegisterProgressBar();
  theProgressDialog.CreateModeless(nullptr, kProgressDialogTemplate);
  if (!CheckPayload() || !DecideStart(theProgressDialog)) {
    theProgressDialog.Destroy();
    return 0;
  }

  // Progress is aimed at the dialog here, before the job exists; the dialog
  // itself stops passing it on once it is closed.
  thePackReader.SetProgressTarget(&theProgressDialog);

  // The thread's own handle is the job's completion signal: it is ours until
  // we close it, and it is signalled only once the job has returned.
  HANDLE job = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, UnpackJob, &theProgressDialog, 0, nullptr));
  RunMessageLoop();
  // The window stays until the process ends; while the job finishes after a
  // close by the user it no longer stands on the screen.
  if (job != nullptr && WaitForSingleObject(job, 0) == WAIT_TIMEOUT && theProgressDialog.window != nullptr) {
    ShowWindow(theProgressDialog.window, SW_HIDE);
  }
  WaitForJob(job);
  return 0;
}
