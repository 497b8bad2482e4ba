#include "tools/filepacker/disk_files.h"

DiskFiles* DiskFiles::current_ = nullptr;
const FileSink DiskFiles::kSink = {Create, Write, Finish};

DiskFiles::DiskFiles() : previous_(current_) { current_ = this; }

DiskFiles::~DiskFiles() { current_ = previous_; }

void DiskFiles::Attach(PackReader& reader) const { reader.fileSink = &kSink; }

// The error is taken right after the call that set it, before anything else
// may change it.
FileHandle DiskFiles::Create(const char* path, int nameStart, uint32_t creationDisposition) {
  const FileHandle file = theSystemFiles.create(path, nameStart, creationDisposition);
  if (file == NoFileHandle()) {
    current_->failure_ = "cannot create: " + SystemErrorText(LastSystemError());
  } else {
    current_->failure_.clear();
  }
  return file;
}

int32_t DiskFiles::Write(FileHandle file, const uint8_t* bytes, int32_t count) {
  const int32_t written = theSystemFiles.write(file, bytes, count);
  if (written < 0) {
    current_->failure_ = "cannot write: " + SystemErrorText(LastSystemError());
  } else if (written != count) {
    current_->failure_ = "cannot write: only " + std::to_string(written) + " of " + std::to_string(count) +
                         " bytes were written (" + SystemErrorText(LastSystemError()) + ")";
  }
  return written;
}

void DiskFiles::Finish(FileHandle file, const char* path, const EntryInfo& info) {
  theSystemFiles.finish(file, path, info);
}
