// Win32: GetLastError(), in the words that matter when an entry is created.
#include <windows.h>

#include "host/system_error.h"
#include "tools/filepacker/disk_files.h"

std::string CreationFailureText(int error) {
  switch (static_cast<DWORD>(error)) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return "a file of that name exists";
    case ERROR_PATH_NOT_FOUND: return "the folder it goes into does not exist";
    case ERROR_ACCESS_DENIED: return "access is denied (a folder of that name, a read-only folder, or no rights)";
    case ERROR_SHARING_VIOLATION: return "another program holds a file of that name open";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return "the disk is full";
    case ERROR_WRITE_PROTECT: return "the disk is write-protected";
    case ERROR_INVALID_NAME: return "Windows cannot hold this name";
    case ERROR_FILENAME_EXCED_RANGE: return "the path is too long";
    case ERROR_INVALID_PARAMETER: return "an invalid parameter";
    default: return SystemErrorText(error);
  }
}
