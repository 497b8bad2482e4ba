// Win32: attributes and times as the file system keeps them, paths in the
// ANSI code page. Folder names are split and listed through UTF-16, where a
// backslash can never be the second byte of a two-byte character and a name
// outside the ANSI code page shows up instead of turning into "?".
#include "packer/pack_files.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cstring>

#include "host/cp932_text.h"
#include "host/system_error.h"
#include "host/platform/win32/wide_text.h"

namespace {

// Paths from the command line and the system are read without
// MB_ERR_INVALID_CHARS, as the system's own calls read them.
constexpr DWORD kAsTheSystemReads = 0;

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// Splits path into folder (without its final separator; "." when there is
// none) and last element.
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

std::string ChangedError(const PackSource& source) {
  return source.path + ": is no longer the regular file of " + std::to_string(source.size) +
         " bytes that was checked (it was changed or replaced while packing)";
}

// The temporary files that Ctrl+C, Ctrl+Break or the console's closing
// removes. They are open with FILE_SHARE_DELETE, so that the handler (on a
// thread of its own) can delete them while they are written: they go when
// the process ends and closes them.
constexpr int kTempSlots = 4;
char tempSlotPath[kTempSlots][MAX_PATH];
volatile LONG tempSlotArmed[kTempSlots];

BOOL WINAPI RemoveTempsOnInterruption(DWORD) {
  for (int i = 0; i < kTempSlots; i++) {
    if (tempSlotArmed[i]) DeleteFileA(tempSlotPath[i]);
  }
  return FALSE;  // the next handler, in the end the one that ends the process
}

void ArmTemp(const std::string& path) {
  static bool installed = false;
  if (!installed) installed = SetConsoleCtrlHandler(RemoveTempsOnInterruption, TRUE) != 0;
  for (int i = 0; i < kTempSlots; i++) {
    if (!tempSlotArmed[i] && path.size() < MAX_PATH) {
      std::memcpy(tempSlotPath[i], path.c_str(), path.size() + 1);
      InterlockedExchange(&tempSlotArmed[i], 1);
      return;
    }
  }
}

void DisarmTemp(const std::string& path) {
  for (int i = 0; i < kTempSlots; i++) {
    if (tempSlotArmed[i] && path == tempSlotPath[i]) InterlockedExchange(&tempSlotArmed[i], 0);
  }
}

}  // namespace

bool DescribePackFile(const std::string& path, PackSource& source, std::string& error, Links links) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    error = PathError(path);
    return false;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    error = path + ": is a folder";
    return false;
  }
  const bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  if (link && links == Links::kRefuse) {
    error = path + ": a symbolic link (a reparse point); links are not packed (--dereference packs the files they "
                   "point to)";
    return false;
  }
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = PathError(path);
    return false;
  }
  BY_HANDLE_FILE_INFORMATION information;
  const bool ok = ReadIdentity(file, information, source.identity);
  if (!ok) error = PathError(path);
  CloseHandle(file);
  if (!ok) return false;

  std::string folder, name;
  SplitPath(path, folder, name);
  if (!NativeToCp932(name, source.storedName)) {
    error = path + ": the name \"" + name + "\" has no code page 932 form";
    return false;
  }
  source.path = path;
  source.followLink = link;
  source.size = source.identity.size;
  source.attributes = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_REPARSE_POINT);
  source.creationTime = ToUint64(information.ftCreationTime);
  source.lastWriteTime = ToUint64(information.ftLastWriteTime);
  // Not the access time: packing reads the file and so may move it, and the
  // same files must give the same archive every time.
  source.lastAccessTime = source.lastWriteTime;
  return true;
}

bool OpenPackFile(const PackSource& source, std::FILE*& file, std::string& error) {
  const DWORD flags = FILE_FLAG_SEQUENTIAL_SCAN | (source.followLink ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  HANDLE handle = CreateFileA(source.path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    error = PathError(source.path);
    return false;
  }
  BY_HANDLE_FILE_INFORMATION information;
  FileIdentity identity;
  const bool same = GetFileType(handle) == FILE_TYPE_DISK && ReadIdentity(handle, information, identity) &&
                    (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
                    (source.followLink || (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) &&
                    identity == source.identity;
  if (!same) {
    error = ChangedError(source);
    CloseHandle(handle);
    return false;
  }
  file = StreamOf(handle, _O_RDONLY, "rb");
  if (file == nullptr) error = PathError(source.path);
  return file != nullptr;
}

bool PackFileUnchanged(std::FILE* file, const PackSource& source, std::string& error) {
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  BY_HANDLE_FILE_INFORMATION information;
  FileIdentity identity;
  if (ReadIdentity(handle, information, identity) && identity == source.identity) return true;
  error = ChangedError(source);
  return false;
}

// Windows has no FIFO in its file system, but a path may name a pipe
// ("\\.\pipe\...") or a device ("CON", "COM1"), which GetFileType tells.
bool OpenInputFile(const std::string& path, std::FILE*& file, int64_t& length, std::string& error) {
  if (IsFolder(path)) {
    error = path + ": is a folder, not a file";
    return false;
  }
  HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    error = PathError(path);
    return false;
  }
  LARGE_INTEGER size;
  if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileSizeEx(handle, &size)) {
    error = path + ": not a regular file (a pipe or a device); none is read";
    CloseHandle(handle);
    return false;
  }
  length = size.QuadPart;
  file = StreamOf(handle, _O_RDONLY, "rb");
  if (file == nullptr) error = PathError(path);
  return file != nullptr;
}

bool IdentifyFile(const std::string& path, FileIdentity& identity) {
  HANDLE handle = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION information;
  const bool ok = ReadIdentity(handle, information, identity);
  CloseHandle(handle);
  return ok;
}

bool IsFolder(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool PathExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool ListFolder(const std::string& folder, std::vector<std::string>& paths, std::string& error) {
  paths.clear();
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
  std::vector<std::string> names;
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
  if (!ok) return false;
  std::sort(names.begin(), names.end());
  std::string prefix;
  FromWide(CP_ACP, wideFolder, prefix);
  for (const std::string& name : names) paths.push_back(prefix + name);
  return true;
}

bool CreateTempBeside(const std::string& target, std::string& tempPath, std::FILE*& file,
                      std::string& error) {
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
  HANDLE handle = CreateFileA(buffer, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, TRUNCATE_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  file = handle == INVALID_HANDLE_VALUE ? nullptr : StreamOf(handle, _O_WRONLY, "wb");
  if (file == nullptr) {
    error = PathError(tempPath);
    RemoveTemp(tempPath);
    return false;
  }
  return true;
}

bool CommitTemp(const std::string& tempPath, const std::string& target, bool overwrite,
                std::string& error) {
  DWORD flags = overwrite ? MOVEFILE_REPLACE_EXISTING : 0;
  if (MoveFileExA(tempPath.c_str(), target.c_str(), flags)) {
    DisarmTemp(tempPath);
    return true;
  }
  DWORD code = GetLastError();
  if (code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS) {
    error = target + ": already exists";
  } else {
    error = PathError(target);
  }
  return false;
}

void RemoveTemp(const std::string& tempPath) {
  DeleteFileA(tempPath.c_str());
  DisarmTemp(tempPath);
}
