// Win32: attributes and times as the file system keeps them, paths in the
// ANSI code page, the console's control handler. Folder names are split and
// listed through UTF-16, where a backslash can never be the second byte of a
// two-byte character and a name outside the ANSI code page shows up instead
// of turning into "?".
#include "host/file_system.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "host/platform/win32/wide_text.h"
#include "host/system_error.h"

namespace file_system {

namespace {

// Paths from the command line and the system are read without
// MB_ERR_INVALID_CHARS, as the system's own calls read them.
constexpr DWORD kAsTheSystemReads = 0;

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

uint64_t ToUint64(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// The change time (of the bytes or the attributes), which a rewrite moves
// even when the write time is set back. GetFileInformationByHandleEx came
// with Vista: it is looked up at run time so that the tool still starts on
// XP, where the change time reads 0 and only the rest is compared.
uint64_t ChangeTime(HANDLE handle) {
  struct BasicInformation {  // FILE_BASIC_INFO, class FileBasicInfo (0)
    LARGE_INTEGER creation, lastAccess, lastWrite, change;
    DWORD attributes;
  } information;
  using Query = BOOL(WINAPI*)(HANDLE, int, void*, DWORD);
  static const Query query = reinterpret_cast<Query>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetFileInformationByHandleEx")));
  if (query == nullptr || !query(handle, 0, &information, sizeof information)) return 0;
  return static_cast<uint64_t>(information.change.QuadPart);
}

bool ReadIdentity(HANDLE handle, BY_HANDLE_FILE_INFORMATION& information, FileIdentity& identity) {
  if (!GetFileInformationByHandle(handle, &information)) return false;
  identity = {information.dwVolumeSerialNumber,
              static_cast<uint64_t>(information.nFileIndexHigh) << 32 | information.nFileIndexLow,
              static_cast<int64_t>(information.nFileSizeHigh) << 32 | information.nFileSizeLow, ChangeTime(handle),
              ToUint64(information.ftLastWriteTime)};
  return true;
}

// The status of an open handle: a regular file is a file on disk that is
// no folder, and no reparse point unless one was followed.
Status StatusOfHandle(HANDLE handle, bool followLink) {
  Status status;
  BY_HANDLE_FILE_INFORMATION information;
  const bool regular = GetFileType(handle) == FILE_TYPE_DISK && ReadIdentity(handle, information, status.identity) &&
                       (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
                       (followLink || (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0);
  status.kind = regular ? Kind::kRegular : Kind::kOther;
  return status;
}

// The handle as a stream; the handle is closed on failure.
std::FILE* StreamOf(HANDLE handle, int flags, const char* mode) {
  const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags | _O_BINARY);
  std::FILE* file = descriptor < 0 ? nullptr : _fdopen(descriptor, mode);
  if (file == nullptr) {
    if (descriptor >= 0) {
      _close(descriptor);
    } else {
      CloseHandle(handle);
    }
  }
  return file;
}

void (*theRemoveTemps)() = nullptr;

// On a thread of its own. The temporary files are open with
// FILE_SHARE_DELETE, so that they can be deleted while they are written:
// they go when the process ends and closes them.
BOOL WINAPI RemoveTempsOnInterruption(DWORD) {
  theRemoveTemps();
  return FALSE;  // the next handler, in the end the one that ends the process
}

}  // namespace

const char kNotRegularWhat[] = "a pipe or a device";

// GetFileAttributesA tells a folder and a reparse point; the rest needs the
// file opened, which follows a reparse point.
bool Stat(const std::string& path, bool followLink, Status& status) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  status = Status();
  status.attributes = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_REPARSE_POINT);
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    status.kind = Kind::kFolder;
    return true;
  }
  if (!followLink && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    status.kind = Kind::kLink;
    return true;
  }
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION information;
  const bool read = ReadIdentity(file, information, status.identity);
  const DWORD error = GetLastError();
  CloseHandle(file);
  SetLastError(error);
  if (!read) return false;
  status.kind = Kind::kRegular;
  status.creationTime = ToUint64(information.ftCreationTime);
  status.lastWriteTime = ToUint64(information.ftLastWriteTime);
  return true;
}

std::string LinkWords(const std::string&) { return "a symbolic link (a reparse point)"; }

// Stat has opened it for reading already.
bool CanRead(const std::string&) { return true; }

void SplitPath(const std::string& path, std::string& folder, std::string& last) {
  std::wstring wide;
  ToWide(CP_ACP, kAsTheSystemReads, path, wide);
  while (wide.size() > 1 && IsSeparator(wide.back())) wide.pop_back();
  size_t cut = wide.find_last_of(L"\\/:");
  if (cut == std::wstring::npos) {
    folder = ".";
    FromWide(CP_ACP, wide, last);
    return;
  }
  std::wstring folderPart = wide.substr(0, cut + 1);
  // "C:\" and "\" keep their separator; other folders lose it.
  if (folderPart.size() > 1 && IsSeparator(folderPart.back()) &&
      !(folderPart.size() == 3 && folderPart[1] == L':')) {
    folderPart.pop_back();
  }
  FromWide(CP_ACP, folderPart, folder);
  FromWide(CP_ACP, wide.substr(cut + 1), last);
}

// Windows has no FIFO in its file system, but a path may name a pipe
// ("\\.\pipe\...") or a device ("CON", "COM1"), which GetFileType tells.
bool OpenToRead(const std::string& path, bool followLink, std::FILE*& file, Status& status, bool&) {
  const DWORD flags = FILE_FLAG_SEQUENTIAL_SCAN | (followLink ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    // A folder cannot be opened as a file; say so rather than "access denied".
    const DWORD error = GetLastError();
    if (IsFolder(path)) status.kind = Kind::kFolder;
    SetLastError(error);
    return false;
  }
  status = StatusOfHandle(handle, followLink);
  file = StreamOf(handle, _O_RDONLY, "rb");
  return file != nullptr;
}

bool StatOpen(std::FILE* file, Status& status) {
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  BY_HANDLE_FILE_INFORMATION information;
  return ReadIdentity(handle, information, status.identity);
}

bool ListNames(const std::string& folder, std::vector<std::string>& names, std::string& prefix, std::string& error) {
  std::wstring wideFolder;
  ToWide(CP_ACP, kAsTheSystemReads, folder, wideFolder);
  if (!wideFolder.empty() && !IsSeparator(wideFolder.back()) && wideFolder.back() != L':') {
    wideFolder += L'\\';
  }
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((wideFolder + L"*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) {
    error = PathError(folder);
    return false;
  }
  bool ok = true;
  do {
    std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    std::string ansi;
    if (!FromWide(CP_ACP, name, ansi)) {
      error = folder + ": holds a file whose name has no form in the ANSI code page (" + ansi + ")";
      ok = false;
      break;
    }
    names.push_back(ansi);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  FromWide(CP_ACP, wideFolder, prefix);
  return ok;
}

bool CreateTempFile(const std::string& target, std::string& tempPath, std::FILE*& file, std::string& error) {
  std::string folder, name;
  SplitPath(target, folder, name);
  char buffer[MAX_PATH];
  // Creates the file, so the name is ours.
  if (GetTempFileNameA(folder.c_str(), "fpk", 0, buffer) == 0) {
    error = PathError(target);
    return false;
  }
  tempPath = buffer;
  ArmTemp(tempPath);
  // Read back too: the installer's payload is packed into one first.
  HANDLE handle = CreateFileA(buffer, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                              TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  file = handle == INVALID_HANDLE_VALUE ? nullptr : StreamOf(handle, _O_RDWR, "w+b");
  if (file == nullptr) {
    error = PathError(tempPath);
    RemoveTempFile(tempPath);
    return false;
  }
  return true;
}

bool MoveTemp(const std::string& tempPath, const std::string& target, bool overwrite, std::string& error) {
  if (MoveFileExA(tempPath.c_str(), target.c_str(), overwrite ? MOVEFILE_REPLACE_EXISTING : 0)) return true;
  const DWORD code = GetLastError();
  error = code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS ? AlreadyExists(target) : PathError(target);
  return false;
}

void DeleteNow(const char* path) { DeleteFileA(path); }

// Tried again when it failed.
void CatchInterruptions(void (*removeTemps)()) {
  theRemoveTemps = removeTemps;
  static bool installed = false;
  if (!installed) installed = SetConsoleCtrlHandler(RemoveTempsOnInterruption, TRUE) != 0;
}

}  // namespace file_system

bool IdentifyFile(const std::string& path, FileIdentity& identity) {
  HANDLE handle = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION information;
  const bool ok = file_system::ReadIdentity(handle, information, identity);
  CloseHandle(handle);
  return ok;
}

bool IsFolder(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool PathExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
