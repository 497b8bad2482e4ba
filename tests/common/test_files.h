// Files and folders for every area's tests, in the system's own narrow
// encoding (POSIX: UTF-8; Win32: the ANSI code page, 932 under the test
// runner).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/common/temp_folder.h"

// folder, the separator and name.
std::string JoinPath(const std::string& folder, const std::string& name);

// Creates or replaces the file; a failure also fails the test.
bool WriteFileBytes(const std::string& path, const std::string& bytes);
// False when the file cannot be opened.
bool ReadFileBytes(const std::string& path, std::string* bytes);
std::string ReadFileBytes(const std::string& path);  // empty when unreadable
// A file of length bytes that takes no room on disk (sparse).
bool MakeSparseFile(const std::string& path, int64_t length);
bool FileExists(const std::string& path);
bool MakeFolder(const std::string& path);
// The names in a folder, sorted, without "." and "..".
std::vector<std::string> FolderEntries(const std::string& path);

// Times as FILETIMEs (100 ns since 1601-01-01 UTC).
struct FileTimes {
  uint64_t lastAccess = 0;
  uint64_t lastWrite = 0;
};
void SetFileTimes(const std::string& path, const FileTimes& times);
FileTimes GetFileTimes(const std::string& path);

// POSIX: no write permission; Win32: the read-only attribute.
void SetReadOnly(const std::string& path);
bool IsReadOnly(const std::string& path);

// A FILETIME for a whole second of Unix time, which every file system here
// keeps exactly.
constexpr uint64_t FileTimeOfUnixSeconds(int64_t seconds) {
  return static_cast<uint64_t>((seconds + 11644473600) * 10000000);
}

// The name "ソフト.txt" ("ソ" ends in 0x5C in code page 932) as the system
// spells file names, and as the archive stores it.
std::string NativeJapaneseName();
std::string Cp932JapaneseName();

// The process's current folder, and a change of it (false on failure).
std::string CurrentFolder();
bool SetCurrentFolder(const std::string& path);

// Whether the file system takes names differing only in case for one name
// (Windows), or for two (POSIX).
extern const bool kNamesIgnoreCase;

// Whether a name may hold any byte but the separator and NUL (POSIX), or
// only what a Windows name can (Win32).
extern const bool kNamesHoldAnyByte;

// A symbolic link at `link` to `target`; false where the system makes none
// (Win32 without the right to).
bool MakeSymbolicLink(const std::string& target, const std::string& link);

// Pseudo-random bytes that the block encoder cannot shrink much.
std::string RandomBytes(size_t count, uint32_t seed);
