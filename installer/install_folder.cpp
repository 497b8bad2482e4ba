#include <climits>

#include "installer/folder_paths.h"
#include "installer/installer_flow.h"
#include "ui/progress_dialog.h"

int MakeInstallFolder(ProgressDialog& dialog) {
  char* folder = dialog.destinationFolder;
  ZeroMemory(folder, kPathBufferSize);
  const UINT length = GetWindowsDirectoryA(folder, kPathBufferSize);
  // A result as large as the buffer is the size it would have needed.
  if (length == 0 || length >= static_cast<UINT>(kPathBufferSize) ||
      !AppendPath(folder, kPathBufferSize, "\\")) {
    folder[0] = '\0';
    return 0;
  }
  const int probeStart = static_cast<int>(length) + 1;

  // The first number whose folder cannot be walked is free. Numbers are
  // never reused, even for an empty folder.
  for (int number = 1;; ++number) {
    if (!ComposeInstallProbe(folder, probeStart, number)) {  // too long a path
      folder[0] = '\0';
      return 0;
    }
    WIN32_FIND_DATAA entry;
    HANDLE walk = FindFirstFileA(folder, &entry);
    if (walk == INVALID_HANDLE_VALUE) break;
    FindClose(walk);
    if (number == INT_MAX) {  // every number is taken: give up, never wrap
      folder[0] = '\0';
      return 0;
    }
  }
  CutAtLastSeparator(folder);  // drops the "\*.*" of the probe
  return MakeHeldFolder(dialog);
}
