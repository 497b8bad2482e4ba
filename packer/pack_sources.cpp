#include "packer/pack_sources.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "archive/archive_format.h"

#include "archive/name_rules.h"
#include "host/file_system.h"
#include "host/input_files.h"

bool CollectPackSources(const std::vector<std::string>& paths, std::vector<PackSource>& sources,
                        Refusal& refusal, Links links) {
  sources.clear();
  for (const std::string& path : paths) {
    std::vector<std::string> files;
    if (IsFolder(path)) {
      if (!ListFolder(path, files, refusal.text)) {
        refusal.code = RefusalCode::kUnreadable;
        return false;
      }
      for (const std::string& file : files) {
        if (IsFolder(file)) {
          refusal = {RefusalCode::kSubfolder,
                     file + ": is a folder inside " + path + "; the installer creates no subfolders"};
          return false;
        }
      }
    } else {
      files.push_back(path);
    }
    for (const std::string& file : files) {
      PackSource source;
      if (!DescribePackFile(file, source, refusal, links)) return false;
      sources.push_back(source);
    }
  }
  return true;
}

namespace {

bool DescribeNamedFile(const NamedFile& file, PackSource& source, Refusal& refusal) {
  if (!StoredNameOf(file.name, file.name.substr(file.name.rfind('/') + 1), source, refusal)) return false;
  source.path = file.name;
  source.inMemory = true;
  source.bytes = file.bytes;
  source.size = static_cast<int64_t>(file.bytes.size());
  source.attributes = archive_format::kAttributeArchive;
  source.creationTime = source.lastAccessTime = source.lastWriteTime = file.lastWriteTime;
  return true;
}

}  // namespace

bool CollectNamedSources(const std::vector<NamedFile>& files, std::vector<PackSource>& sources, Refusal& refusal) {
  sources.clear();
  // Hash tables keep this linear in the count: a page may hand in a folder
  // of 100,000 files.
  std::unordered_map<std::string, size_t> first;        // a file's name: its first index
  std::unordered_set<std::string> folders;              // every name that files sit under
  std::vector<std::string> tops;                        // in the order first met
  std::unordered_map<std::string, std::vector<std::string>> inside;  // a top's names directly inside it
  for (size_t index = 0; index < files.size(); ++index) {
    const std::string& name = files[index].name;
    first.emplace(name, index);
    const size_t slash = name.find('/');
    const std::string top = name.substr(0, slash);
    if (!inside.contains(top)) {
      tops.push_back(top);
      inside[top];
    }
    if (slash == std::string::npos) continue;
    inside[top].push_back(name.substr(0, name.find('/', slash + 1)));
    for (size_t at = slash; at != std::string::npos; at = name.find('/', at + 1)) folders.insert(name.substr(0, at));
  }
  for (const std::string& top : tops) {
    std::vector<std::string>& names = inside[top];
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    if (names.empty()) names.push_back(top);
    for (const std::string& name : names) {
      if (name != top && folders.contains(name)) {
        refusal = {RefusalCode::kSubfolder,
                   name + ": is a folder inside " + top + "; the installer creates no subfolders"};
        return false;
      }
    }
    for (const std::string& name : names) {
      PackSource source;
      if (!DescribeNamedFile(files[first.at(name)], source, refusal)) return false;
      sources.push_back(source);
    }
  }
  return true;
}

bool HoldsSetupExe(const std::vector<PackSource>& sources) {
  for (const PackSource& source : sources) {
    if (IsSetupExeName(source.storedName)) return true;
  }
  return false;
}
