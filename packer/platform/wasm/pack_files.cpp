// WebAssembly: packing's files are the memory folder's (memory_folder.h).
// The output is the page's download, never one of the files picked, so no
// output path exists beforehand or is an input; temporary files are memory
// streams, and committing one keeps its bytes for TakeWrittenFile.
#ifndef _GNU_SOURCE
#define _GNU_SOURCE  // fopencookie
#endif
#include "packer/pack_files.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "host/cp932_text.h"
#include "packer/platform/wasm/memory_folder.h"
#include "host/system_error.h"

namespace {

constexpr uint32_t kAttributeArchive = 0x20;

std::vector<MemoryFolderFile> theFiles;
PackReadWatch* theWatch = nullptr;

// An open_memstream's buffer and length, which the stream updates.
struct MemoryStream {
  char* buffer = nullptr;
  size_t length = 0;
};
std::map<std::string, MemoryStream> theTemps;  // by temporary path
std::map<std::string, std::vector<uint8_t>> theWritten;  // by target
int theTempCount = 0;

const MemoryFolderFile* Find(const std::string& path) {
  for (const MemoryFolderFile& file : theFiles) {
    if (file.path == path) return &file;
  }
  return nullptr;
}

// A folder is what some file's path goes through.
bool HoldsFiles(const std::string& folder) {
  const std::string prefix = folder + "/";
  return std::any_of(theFiles.begin(), theFiles.end(),
                     [&](const MemoryFolderFile& file) { return file.path.starts_with(prefix); });
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

FileIdentity IdentityOf(const MemoryFolderFile& file) {
  return {0, static_cast<uint64_t>(&file - theFiles.data()) + 1, static_cast<int64_t>(file.bytes.size()),
          file.lastWriteTime, file.lastWriteTime};
}

struct Reading {
  const MemoryFolderFile* file;
  size_t at = 0;
};

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

int CloseFile(void* cookie) {
  delete static_cast<Reading*>(cookie);
  return 0;
}

bool Refuse(const std::string& path, int error, std::string& message) {
  errno = error;
  message = PathError(path);
  return false;
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

bool DescribePackFile(const std::string& path, PackSource& source, std::string& error, Links) {
  if (HoldsFiles(path)) {
    error = path + ": is a folder";
    return false;
  }
  const MemoryFolderFile* file = Find(path);
  if (file == nullptr) return Refuse(path, ENOENT, error);
  const std::string name = NameOf(path);
  if (!NativeToCp932(name, source.storedName)) {
    error = path + ": the name \"" + name + "\" has no code page 932 form";
    return false;
  }
  source.path = path;
  source.size = static_cast<int64_t>(file->bytes.size());
  source.identity = IdentityOf(*file);
  source.attributes = kAttributeArchive;
  source.creationTime = source.lastAccessTime = source.lastWriteTime = file->lastWriteTime;
  return true;
}

bool OpenPackFile(const PackSource& source, std::FILE*& file, std::string& error) {
  const MemoryFolderFile* found = Find(source.path);
  if (found == nullptr) return Refuse(source.path, ENOENT, error);
  file = fopencookie(new Reading{found}, "rb", {ReadFile, nullptr, SeekFile, CloseFile});
  return file != nullptr || Refuse(source.path, ENOMEM, error);
}

bool PackFileUnchanged(std::FILE*, const PackSource&, std::string&) { return true; }

bool OpenInputFile(const std::string& path, std::FILE*&, int64_t&, std::string& error) {
  return Refuse(path, ENOSYS, error);
}

bool IdentifyFile(const std::string&, FileIdentity&) { return false; }

bool IsFolder(const std::string& path) { return HoldsFiles(path); }

bool PathExists(const std::string&) { return false; }

bool ListFolder(const std::string& folder, std::vector<std::string>& paths, std::string& error) {
  paths.clear();
  const std::string prefix = folder + "/";
  for (const MemoryFolderFile& file : theFiles) {
    if (!file.path.starts_with(prefix)) continue;
    // A file deeper down shows as the subfolder it is in.
    const size_t slash = file.path.find('/', prefix.size());
    paths.push_back(file.path.substr(0, slash));
  }
  if (paths.empty()) return Refuse(folder, ENOENT, error);
  std::sort(paths.begin(), paths.end());
  paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
  return true;
}

bool CreateTempBeside(const std::string& target, std::string& tempPath, std::FILE*& file, std::string& error) {
  tempPath = target + ".partial" + std::to_string(++theTempCount);
  MemoryStream& stream = theTemps[tempPath];
  file = open_memstream(&stream.buffer, &stream.length);
  if (file != nullptr) return true;
  theTemps.erase(tempPath);
  return Refuse(target, ENOMEM, error);
}

bool CommitTemp(const std::string& tempPath, const std::string& target, bool, std::string&) {
  MemoryStream& stream = theTemps[tempPath];
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(stream.buffer);
  theWritten[target].assign(bytes, bytes + stream.length);
  RemoveTemp(tempPath);
  return true;
}

void RemoveTemp(const std::string& tempPath) {
  auto temp = theTemps.find(tempPath);
  if (temp == theTemps.end()) return;
  free(temp->second.buffer);
  theTemps.erase(temp);
}
