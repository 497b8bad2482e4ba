#include "installer/installer_flow.h"
#include "ui/progress_dialog.h"

int MakeHeldFolder(ProgressDialog& dialog) {
  const char* folder = dialog.destinationFolder;
  if (!CreateDirectoryA(folder, nullptr)) return 0;
  // Windows 98 and Me open no folder as a file, and know no links.
  if (!IsNtPlatform()) return 1;
  // Without delete sharing nobody can rename the folder or remove it while
  // it is held, so no link can take its place. Opened as itself, not
  // through a link that may stand there already: one swapped in since it
  // was made shows as a reparse point and is refused.
  const HANDLE held = CreateFileA(folder, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                  nullptr);
  dialog.heldFolder = held != INVALID_HANDLE_VALUE ? held : nullptr;
  BY_HANDLE_FILE_INFORMATION facts;
  if (dialog.heldFolder != nullptr && GetFileInformationByHandle(held, &facts) &&
      (facts.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == FILE_ATTRIBUTE_DIRECTORY) {
    return 1;
  }
  LetGoOfFolder(dialog);
  // Removes the empty folder made above, or only the link that replaced it,
  // never what a link points to.
  RemoveDirectoryA(folder);
  return 0;
}

void LetGoOfFolder(ProgressDialog& dialog) {
  if (dialog.heldFolder == nullptr) return;
  CloseHandle(dialog.heldFolder);
  dialog.heldFolder = nullptr;
}
