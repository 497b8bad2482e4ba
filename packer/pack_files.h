// The file-system side of packing: what the archive writer needs to know of
// each file (its stored name, size, attributes and times), and reading it
// as it was described.
//
// Paths are the system's own narrow strings: UTF-8 bytes on POSIX, the ANSI
// code page on Win32. Error texts are in the same encoding and name the file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "archive/refusal_code.h"
#include "host/file_system.h"

// One file to be packed.
struct PackSource {
  std::string path;        // where to read it
  std::string storedName;  // the entry's name, code page 932
  int64_t size = 0;
  uint32_t attributes = 0;  // Win32 attribute bits
  uint64_t creationTime = 0;  // FILETIMEs: 100 ns since 1601-01-01 UTC
  uint64_t lastAccessTime = 0;
  uint64_t lastWriteTime = 0;
  bool followLink = false;  // path is a symbolic link to the file (--dereference)
  FileIdentity identity;    // as it was described
  // A file handed in as bytes (the web page's), which the caller keeps
  // while packing; path then only names it in messages.
  bool inMemory = false;
  std::span<const uint8_t> bytes;
};

// What a symbolic link among the files to pack is: refused (it names a file
// elsewhere, which the packager may not mean to ship), or taken for the
// regular file it points to, under the link's own name.
enum class Links { kRefuse, kFollow };

// Fills `source` for the regular file at `path`: its last path element
// converted to code page 932, its size, attributes and times.
//   Win32: attributes and times as the file system holds them.
//   POSIX: the archive attribute, plus read-only when the owner may not
//          write it (archive/archive_format.h); creation time = last write
//          time.
// False, with a message naming the file, when the file cannot be read, is a
// folder or no regular file, is a symbolic link that `links` refuses (the
// message names its target), or its name has no code page 932 form
// (kNoCodePageForm; kUnreadable when the file cannot be read, else kOther).
bool DescribePackFile(const std::string& path, PackSource& source, Refusal& refusal, Links links = Links::kRefuse);
// The same, for a caller that needs only the message.
bool DescribePackFile(const std::string& path, PackSource& source, std::string& error,
                      Links links = Links::kRefuse);

// Sets source.storedName to the code page 932 form of `name`, the last
// element of `path`; false, refused naming the file (kNoCodePageForm), when
// it has none.
bool StoredNameOf(const std::string& path, const std::string& name, PackSource& source, Refusal& refusal);

// Opens the file that `source` describes for reading, once, to be read from
// the descriptor so opened: it must still be the regular file described
// (source.identity), and no symbolic link unless source.followLink. Neither
// a FIFO nor a device swapped in meanwhile can make it wait. False, with a
// message naming the file, otherwise.
bool OpenPackFile(const PackSource& source, std::FILE*& file, std::string& error);

// After the file opened by OpenPackFile has been read: false, with a message
// naming it, when it was rewritten meanwhile (its identity moved).
bool PackFileUnchanged(std::FILE* file, const PackSource& source, std::string& error);
