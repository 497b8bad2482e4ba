// WebAssembly: the file system is the memory folder (memory_folder.h). A
// folder is what some file's path goes through; every file is a regular one
// with the archive attribute and its one time. The output is the page's
// download, never one of the files picked, so no output path exists
// beforehand or is an input; temporary files are memory streams, and moving
// one to its target keeps its bytes for TakeWrittenFile.
#ifndef _GNU_SOURCE
#define _GNU_SOURCE  // fopencookie
#endif
#include "host/file_system.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "archive/archive_format.h"
#include "host/system_error.h"
#include "host/platform/wasm/memory_folder.h"

namespace {

using archive_format::kAttributeArchive;

std::vector<MemoryFolderFile> theFiles;
PackReadWatch* theWatch = nullptr;

// Temporary files, which are read back too (the installer's payload is
// packed into one before the installer is built around it): their bytes
// outlive the stream, which keeps only its position.
std::map<std::string, std::vector<uint8_t>> theTemps;  // by temporary path
struct TempStream {
  std::vector<uint8_t>* bytes;
  size_t at = 0;
};
std::map<std::string, std::vector<uint8_t>> theWritten;  // by target
int theTempCount = 0;

const MemoryFolderFile* Find(const std::string& path) {
  for (const MemoryFolderFile& file : theFiles) {
    if (file.path == path) return &file;
  }
  return nullptr;
}

bool HoldsFiles(const std::string& folder) {
  const std::string prefix = folder + "/";
  return std::any_of(theFiles.begin(), theFiles.end(),
                     [&](const MemoryFolderFile& file) { return file.path.starts_with(prefix); });
}

file_system::Status StatusOf(const MemoryFolderFile& file) {
  file_system::Status status;
  status.kind = file_system::Kind::kRegular;
  status.identity = {0, static_cast<uint64_t>(&file - theFiles.data()) + 1, static_cast<int64_t>(file.bytes.size()),
                     file.lastWriteTime, file.lastWriteTime};
  status.attributes = kAttributeArchive;
  status.creationTime = status.lastWriteTime = file.lastWriteTime;
  return status;
}

bool Fail(int error) {
  errno = error;
  return false;
}

// A file being read, and the stream that reads it, for StatOpen.
struct Reading {
  const MemoryFolderFile* file;
  size_t at = 0;
};
std::map<std::FILE*, Reading*> theReadings;

ssize_t ReadFile(void* cookie, char* buffer, size_t size) {
  Reading& reading = *static_cast<Reading*>(cookie);
  const size_t count = std::min(size, reading.file->bytes.size() - reading.at);
  std::memcpy(buffer, reading.file->bytes.data() + reading.at, count);
  reading.at += count;
  if (theWatch != nullptr && count > 0) theWatch->OnRead(static_cast<int64_t>(count));
  return static_cast<ssize_t>(count);
}

// The adaptive cut reads each file twice, seeking back to its start.
int SeekFile(void* cookie, off_t* offset, int whence) {
  Reading& reading = *static_cast<Reading*>(cookie);
  const off_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? static_cast<off_t>(reading.at)
                                                                 : static_cast<off_t>(reading.file->bytes.size());
  const off_t to = base + *offset;
  if (to < 0 || to > static_cast<off_t>(reading.file->bytes.size())) {
    errno = EINVAL;
    return -1;
  }
  reading.at = static_cast<size_t>(to);
  *offset = to;
  return 0;
}

ssize_t ReadTemp(void* cookie, char* buffer, size_t size) {
  TempStream& stream = *static_cast<TempStream*>(cookie);
  const size_t count = std::min(size, stream.bytes->size() - std::min(stream.at, stream.bytes->size()));
  std::memcpy(buffer, stream.bytes->data() + stream.at, count);
  stream.at += count;
  return static_cast<ssize_t>(count);
}

ssize_t WriteTemp(void* cookie, const char* buffer, size_t size) {
  TempStream& stream = *static_cast<TempStream*>(cookie);
  if (stream.bytes->size() < stream.at + size) stream.bytes->resize(stream.at + size);
  std::memcpy(stream.bytes->data() + stream.at, buffer, size);
  stream.at += size;
  return static_cast<ssize_t>(size);
}

int SeekTemp(void* cookie, off_t* offset, int whence) {
  TempStream& stream = *static_cast<TempStream*>(cookie);
  const off_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? static_cast<off_t>(stream.at)
                                                                 : static_cast<off_t>(stream.bytes->size());
  if (base + *offset < 0) {
    errno = EINVAL;
    return -1;
  }
  stream.at = static_cast<size_t>(base + *offset);
  *offset = static_cast<off_t>(stream.at);
  return 0;
}

int CloseTemp(void* cookie) {
  delete static_cast<TempStream*>(cookie);
  return 0;
}

int CloseFile(void* cookie) {
  std::erase_if(theReadings, [&](const auto& open) { return open.second == cookie; });
  delete static_cast<Reading*>(cookie);
  return 0;
}

}  // namespace

std::vector<MemoryFolderFile>& MemoryFolder() { return theFiles; }

void WatchPackReads(PackReadWatch* watch) { theWatch = watch; }

bool TakeWrittenFile(const std::string& target, std::vector<uint8_t>& bytes) {
  auto written = theWritten.find(target);
  if (written == theWritten.end()) return false;
  bytes = std::move(written->second);
  theWritten.erase(written);
  return true;
}

namespace file_system {

// Nothing in the memory folder is other than a regular file.
const char kNotRegularWhat[] = "not a file";

bool Stat(const std::string& path, bool, Status& status) {
  if (HoldsFiles(path)) {
    status = {};
    status.kind = Kind::kFolder;
    return true;
  }
  const MemoryFolderFile* file = Find(path);
  if (file == nullptr) return Fail(ENOENT);
  status = StatusOf(*file);
  return true;
}

std::string LinkWords(const std::string&) { return "a symbolic link to somewhere"; }

bool CanRead(const std::string&) { return true; }

void SplitPath(const std::string& path, std::string& folder, std::string& last) {
  const size_t slash = path.rfind('/');
  folder = slash == std::string::npos ? "." : path.substr(0, slash);
  last = slash == std::string::npos ? path : path.substr(slash + 1);
}

bool OpenToRead(const std::string& path, bool, std::FILE*& file, Status& status, bool&) {
  if (HoldsFiles(path)) {
    status = {};
    status.kind = Kind::kFolder;
    return Fail(EISDIR);
  }
  const MemoryFolderFile* found = Find(path);
  if (found == nullptr) return Fail(ENOENT);
  Reading* reading = new Reading{found};
  file = fopencookie(reading, "rb", {ReadFile, nullptr, SeekFile, CloseFile});
  if (file == nullptr) {
    delete reading;
    return Fail(ENOMEM);
  }
  theReadings[file] = reading;
  status = StatusOf(*found);
  return true;
}

bool StatOpen(std::FILE* file, Status& status) {
  auto reading = theReadings.find(file);
  if (reading == theReadings.end()) return Fail(EBADF);
  status = StatusOf(*reading->second->file);
  return true;
}

// A file deeper down shows as the subfolder it is in.
bool ListNames(const std::string& folder, std::vector<std::string>& names, std::string& prefix, std::string& error) {
  prefix = folder + "/";
  for (const MemoryFolderFile& file : theFiles) {
    if (!file.path.starts_with(prefix)) continue;
    const size_t slash = file.path.find('/', prefix.size());
    const std::string name = file.path.substr(prefix.size(), slash - std::min(slash, prefix.size()));
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  }
  if (!names.empty()) return true;
  errno = ENOENT;
  error = PathError(folder);
  return false;
}

bool CreateTempFile(const std::string& target, std::string& tempPath, std::FILE*& file, std::string& error) {
  tempPath = target + ".partial" + std::to_string(++theTempCount);
  TempStream* stream = new TempStream{&theTemps[tempPath]};
  file = fopencookie(stream, "w+b", {ReadTemp, WriteTemp, SeekTemp, CloseTemp});
  if (file != nullptr) {
    ArmTemp(tempPath);
    return true;
  }
  delete stream;
  theTemps.erase(tempPath);
  errno = ENOMEM;
  error = PathError(target);
  return false;
}

bool MoveTemp(const std::string& tempPath, const std::string& target, bool, std::string&) {
  theWritten[target] = std::move(theTemps[tempPath]);
  DeleteNow(tempPath.c_str());
  return true;
}

void DeleteNow(const char* path) { theTemps.erase(path); }

// Nothing interrupts the module: JavaScript only ever calls into it.
void CatchInterruptions(void (*)()) {}

}  // namespace file_system

bool IdentifyFile(const std::string&, FileIdentity&) { return false; }

bool IsFolder(const std::string& path) { return HoldsFiles(path); }

bool PathExists(const std::string&) { return false; }
