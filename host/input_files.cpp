#include "host/input_files.h"

#include <algorithm>

#include "host/file_system.h"
#include "host/system_error.h"

using file_system::Kind;
using file_system::Status;

bool OpenInputFile(const std::string& path, std::FILE*& file, int64_t& length, std::string& error) {
  Status status;
  bool linkRefused = false;
  const bool opened = file_system::OpenToRead(path, true, file, status, linkRefused);
  if (status.kind == Kind::kFolder) {
    error = path + ": is a folder, not a file";
  } else if (!opened) {
    error = PathError(path);
  } else if (status.kind != Kind::kRegular) {
    error = path + ": not a regular file (" + file_system::kNotRegularWhat + "); none is read";
  } else {
    length = status.identity.size;
    return true;
  }
  if (opened) std::fclose(file);
  file = nullptr;
  return false;
}

bool ListFolder(const std::string& folder, std::vector<std::string>& paths, std::string& error) {
  paths.clear();
  std::vector<std::string> names;
  std::string prefix;
  if (!file_system::ListNames(folder, names, prefix, error)) return false;
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) paths.push_back(prefix + name);
  return true;
}

InputMapping::~InputMapping() {
  if (bytes_ != nullptr) file_system::UnmapFile(bytes_, length_, handle_);
}

bool InputMapping::Map(std::FILE* file, int64_t length, const std::string& path, std::string& error) {
  if (length <= 0) return true;  // nothing to see
  if (static_cast<uint64_t>(length) > SIZE_MAX ||
      !file_system::MapFile(file, static_cast<size_t>(length), bytes_, handle_)) {
    bytes_ = nullptr;
    error = PathError(path) + " (while mapping it to be read)";
    return false;
  }
  length_ = static_cast<size_t>(length);
  return true;
}
