// The host tools' side of the file system: the few operations that packing
// and the commands need, one implementation per system
// (platform/<system>/file_system.cpp), and the temporary files that an
// interruption removes (file_system.cpp), the same on every system. What
// packing refuses and in what words is packer/pack_files.cpp's, what the
// commands and the readers refuse host/input_files.cpp's. Failures
// leave their cause for PathError.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Which file, and which state of it: a file replaced (renamed over) shows in
// its device and number, one rewritten in place in its change and write
// times, even when its size stays. Times are FILETIMEs; a change time of 0
// where the system keeps none (Windows before Vista).
struct FileIdentity {
  uint64_t device = 0;
  uint64_t number = 0;
  int64_t size = 0;
  uint64_t changeTime = 0;
  uint64_t writeTime = 0;
  bool operator==(const FileIdentity&) const = default;
  bool SameFile(const FileIdentity& other) const { return device == other.device && number == other.number; }
};

// The identity of the file at path (a link's target); false when there is
// none.
bool IdentifyFile(const std::string& path, FileIdentity& identity);

// True when path names an existing folder.
bool IsFolder(const std::string& path);

// True when anything exists at path.
bool PathExists(const std::string& path);

namespace file_system {

enum class Kind { kRegular, kFolder, kLink, kOther };

// What the system tells of a file.
struct Status {
  Kind kind = Kind::kOther;
  FileIdentity identity;
  uint32_t attributes = 0;     // Win32 attribute bits, as an entry stores them
  uint64_t creationTime = 0;   // FILETIMEs
  uint64_t lastWriteTime = 0;
};

// The status of the file at path. Without followLink a symbolic link is
// Kind::kLink (Win32: a reparse point; a folder is a folder all the same);
// with it, the status of what it points to.
bool Stat(const std::string& path, bool followLink, Status& status);

// "a symbolic link to \"<target>\"" as the system can tell it.
std::string LinkWords(const std::string& path);

// Whether the file may be read (the calls above may not have opened it).
bool CanRead(const std::string& path);

// Splits path into its folder ("." when it names none) and its last element.
void SplitPath(const std::string& path, std::string& folder, std::string& last);

// Opens the file at path to be read, without waiting (neither a FIFO nor a
// device can hold it up), with the status of what was opened. Without
// followLink a symbolic link is not opened: false, with linkRefused set.
// False with status.kind == Kind::kFolder for a folder that cannot be
// opened as a file.
bool OpenToRead(const std::string& path, bool followLink, std::FILE*& file, Status& status, bool& linkRefused);

// The status of an open file.
bool StatOpen(std::FILE* file, Status& status);

// What a file that is not a regular one may be, for the refusal.
extern const char kNotRegularWhat[];

// The names inside folder ("." and ".." left out), in the order the system
// gives them, and the prefix that makes each a path. False, with the error
// naming the folder or the name.
bool ListNames(const std::string& folder, std::vector<std::string>& names, std::string& prefix, std::string& error);

// A new, empty temporary file beside target, open for binary writing and
// reading, under a name that fits wherever target fits; armed (see ArmTemp)
// as soon as it exists. TempFileBeside (temp_file.h) is its one user.
bool CreateTempFile(const std::string& target, std::string& tempPath, std::FILE*& file, std::string& error);

// Moves the closed temporary file to target; without overwrite an existing
// target is left alone and the move fails.
bool MoveTemp(const std::string& tempPath, const std::string& target, bool overwrite, std::string& error);

// Deletes a file; safe in a signal handler (POSIX) or the console's control
// handler (Win32).
void DeleteNow(const char* path);

// Calls removeTemps when the process is interrupted (POSIX: a signal sent to
// end it; Win32: Ctrl+C, Ctrl+Break, the console's closing), before it ends
// as it would have. Installed once; a file size limit fails writes instead
// of ending the process.
void CatchInterruptions(void (*removeTemps)());

// The temporary files that an interruption removes (file_system.cpp): one
// is armed as soon as it exists, disarmed once moved to its target or
// removed.
void ArmTemp(const std::string& path);
void DisarmTemp(const std::string& path);

// Deletes a temporary file and disarms it.
void RemoveTempFile(const std::string& path);

// "<target>: already exists"
std::string AlreadyExists(const std::string& target);

// Moves a file's read position to offset, which may lie past 2 GiB.
bool Seek(std::FILE* file, int64_t offset);

// Maps the first `length` (> 0) bytes of a file opened for reading into
// memory, read-only: bytes, and what UnmapFile needs, in handle. A system
// without mappings reads them. False, leaving the cause for PathError.
bool MapFile(std::FILE* file, size_t length, const uint8_t*& bytes, void*& handle);
void UnmapFile(const uint8_t* bytes, size_t length, void* handle);

}  // namespace file_system
