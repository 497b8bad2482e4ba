#include "packer/pack_sources.h"

#include "archive/name_rules.h"
#include "host/file_system.h"
#include "host/input_files.h"

bool CollectPackSources(const std::vector<std::string>& paths, std::vector<PackSource>& sources,
                        std::string& error, Links links) {
  sources.clear();
  for (const std::string& path : paths) {
    std::vector<std::string> files;
    if (IsFolder(path)) {
      if (!ListFolder(path, files, error)) return false;
      for (const std::string& file : files) {
        if (IsFolder(file)) {
          error = file + ": is a folder inside " + path + "; the installer creates no subfolders";
          return false;
        }
      }
    } else {
      files.push_back(path);
    }
    for (const std::string& file : files) {
      PackSource source;
      if (!DescribePackFile(file, source, error, links)) return false;
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
