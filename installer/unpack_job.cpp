#include "archive/pack_reader.h"
#include "archive/payload_check.h"
#include "base/installer_rules.h"
#include "installer/folder_paths.h"
#include "installer/installer_flow.h"
#include "ui/progress_dialog.h"
#include "ui/shared_texts.h"

namespace {

// The job only ever talks to the dialog while its window exists. Sent
// messages wait until the main thread has handled them.
void Tell(const ProgressDialog& dialog, UINT message) {
  if (dialog.window != nullptr) SendMessageA(dialog.window, message, 0, 0);
}

// Starts the package's Setup.exe in the folder it was unpacked to and waits
// for that one process (not for what it starts) to end. The installer's own
// current directory is often the folder it was downloaded to, where anyone
// may leave a DLL or a settings file for Setup.exe's relative names to find
// in an elevated process.
void RunSetupAndWait(const ProgressDialog& dialog, const char* folder) {
  STARTUPINFOA startup;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;  // 68; no STARTF_ flag: its own window state
  char commandLine[kSetupCommandLineSize];
  const int fits = ComposeSetupCommandLine(commandLine, folder);
  Tell(dialog, WM_UNPACK_WAIT);
  PROCESS_INFORMATION process;
  // Every folder copy fits; were one not to, nothing would be started.
  if (fits && CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, folder, &startup,
                             &process)) {
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }
}

// Deletes the folder's top-level files and then the folder. Names that start
// with "." are left, and so is anything that cannot be deleted (a subfolder,
// a read-only or busy file); the folder then stays as well. The folder is
// held meanwhile, so the names are those of its own files; it is let go
// only for its own removal, which takes an empty folder or a bare link,
// never anything a link points to.
void RemoveUnpackedFiles(ProgressDialog& dialog, const char* folder) {
  char path[kPathBufferSize];
  if (ComposeFolderPattern(path, folder)) {
    WIN32_FIND_DATAA entry;
    HANDLE walk = FindFirstFileA(path, &entry);
    if (walk != INVALID_HANDLE_VALUE) {
      do {
        if (entry.cFileName[0] != '\0' && entry.cFileName[0] != '.' &&
            ComposeFolderEntry(path, folder, entry.cFileName)) {
          DeleteFileA(path);
        }
      } while (FindNextFileA(walk, &entry));
      FindClose(walk);
    }
  }
  LetGoOfFolder(dialog);
  RemoveDirectoryA(folder);
}

// A resource of the payload's type in this program and its size; null
// when it is missing or cannot be loaded.
const uint8_t* LoadPayloadResource(const char* name, DWORD& size) {
  HMODULE self = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceA(self, name, kPayloadResourceType);
  HGLOBAL loaded = found != nullptr ? LoadResource(self, found) : nullptr;
  size = found != nullptr ? SizeofResource(self, found) : 0;
  return loaded != nullptr ? static_cast<const uint8_t*>(LockResource(loaded)) : nullptr;
}

// The payload's bytes, or null when the resource is missing, cannot be
// loaded, or is too short for the archive it claims to hold: the extractor
// bounds its reads by the archive's own size field only, and a damaged one
// must not make it read past the resource.
const uint8_t* LoadPayload() {
  DWORD size;
  const uint8_t* payload = LoadPayloadResource(kPayloadResourceName, size);
  if (payload == nullptr || !ArchiveFitsIn(payload, size)) return nullptr;
  return payload;
}

}  // namespace

int CheckPayload() {
  DWORD size, checkSize;
  const uint8_t* payload = LoadPayloadResource(kPayloadResourceName, size);
  const uint8_t* check = LoadPayloadResource(kPayloadCheckResourceName, checkSize);
  // Without a payload the job tells the user, as it always has; without a
  // check record (an installer made before there were any) it runs as it
  // always did.
  if (payload == nullptr || check == nullptr ||
      ReadPayloadCheck(payload, size, check, checkSize).verdict == PayloadVerdict::kWhole) {
    return 1;
  }
  MessageBoxA(nullptr, kPayloadDamagedText, kBoxCaption, MB_OK);
  return 0;
}

void UnpackPayload(ProgressDialog& dialog, const uint8_t* payload) {
  char folder[kPathBufferSize];
  lstrcpynA(folder, dialog.destinationFolder, kPathBufferSize);
  UnpackReport report;
  const int extracted = thePackReader.ExtractFromMemory(payload, folder, &report);
  if (!extracted) Tell(dialog, WM_COMMAND);  // the failure box; waits for the user
  if (extracted && dialog.installMode) RunSetupAndWait(dialog, folder);
  if (!extracted || dialog.installMode) {
    Tell(dialog, WM_UNPACK_WAIT);
    RemoveUnpackedFiles(dialog, folder);
  }
  if (dialog.window != nullptr) PostMessageA(dialog.window, WM_CLOSE, 0, 0);
}

unsigned __stdcall UnpackJob(void* progressDialog) {
  ProgressDialog& dialog = *static_cast<ProgressDialog*>(progressDialog);
  // Held for the whole run: whoever looks at the field sees a job at work.
  HANDLE mutex = CreateMutexA(nullptr, FALSE, nullptr);
  dialog.jobMutex = mutex;
  WaitForSingleObject(mutex, INFINITE);

  unsigned result = 1;
  const uint8_t* payload = LoadPayload();
  if (payload == nullptr) {
    // The folder stays (empty) and the dialog stays open for the user to close.
    Tell(dialog, WM_COMMAND);
    result = 0;
  } else {
    UnpackPayload(dialog, payload);
  }

  LetGoOfFolder(dialog);  // a folder that stays: extract only, or no payload

  // The field is cleared before the handle goes, so that nobody who reads it
  // can get a handle that is already closed.
  dialog.jobMutex = nullptr;
  ReleaseMutex(mutex);
  CloseHandle(mutex);
  return result;
}
