#include "tools/filepacker/disk_files.h"

#include <new>

#include "host/system_error.h"

// The error is taken right after the call that set it, before anything else
// may change it.
void DiskFiles::Explain(const char* prefix) noexcept {
  const int error = LastSystemError();
  try {
    failure_ = prefix + CreationFailureText(error);
  } catch (const std::bad_alloc&) {
    failure_.clear();
  }
}

FileHandle DiskFiles::Create(const char* path, int nameStart, uint32_t creationDisposition) noexcept {
  const FileHandle file = theSystemFiles.Create(path, nameStart, creationDisposition);
  if (file == NoFileHandle()) {
    Explain("cannot create: ");
  } else {
    failure_.clear();
  }
  return file;
}

int32_t DiskFiles::Write(FileHandle file, const uint8_t* bytes, int32_t count) noexcept {
  const int32_t written = theSystemFiles.Write(file, bytes, count);
  if (written < 0) {
    Explain("cannot write: ");
  } else if (written != count) {
    const int error = LastSystemError();
    try {
      failure_ = "cannot write: only " + std::to_string(written) + " of " + std::to_string(count) +
                 " bytes were written (" + CreationFailureText(error) + ")";
    } catch (const std::bad_alloc&) {
      failure_.clear();
    }
  }
  return written;
}

void DiskFiles::Finish(FileHandle file, const char* path, const EntryInfo& info) noexcept {
  theSystemFiles.Finish(file, path, info);
}
