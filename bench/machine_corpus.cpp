#include "bench/machine_corpus.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

constexpr size_t kMostFromOneFile = 1 << 20;  // keeps a corpus from being one file

bool EndsWithAny(const std::string& name, const std::vector<std::string>& endings) {
  return std::any_of(endings.begin(), endings.end(), [&](const std::string& ending) {
    return name.size() > ending.size() && name.compare(name.size() - ending.size(), ending.size(), ending) == 0;
  });
}

// The files' first bytes, one after another, until count bytes are had; the
// files are taken again from the start when they hold fewer.
std::vector<uint8_t> Concatenate(const std::vector<fs::path>& files, size_t count) {
  std::vector<uint8_t> bytes;
  bytes.reserve(count);
  while (bytes.size() < count) {
    const size_t before = bytes.size();
    for (const fs::path& file : files) {
      std::ifstream in(file, std::ios::binary);
      std::vector<char> part(std::min(kMostFromOneFile, count - bytes.size()));
      in.read(part.data(), static_cast<std::streamsize>(part.size()));
      bytes.insert(bytes.end(), part.begin(), part.begin() + in.gcount());
      if (bytes.size() == count) break;
    }
    if (bytes.size() == before) bytes.resize(count, 0);  // nothing readable at all
  }
  return bytes;
}

}  // namespace

std::vector<fs::path> FindFiles(const std::vector<std::string>& folders, const std::vector<std::string>& endings,
                                bool recursive) {
  std::vector<fs::path> files;
  auto take = [&](const fs::directory_entry& entry) {
    std::error_code error;
    if (entry.is_regular_file(error) && EndsWithAny(entry.path().filename().string(), endings)) {
      files.push_back(entry.path());
    }
  };
  for (const std::string& folder : folders) {
    std::error_code error;
    if (recursive) {
      for (auto it = fs::recursive_directory_iterator(folder, fs::directory_options::skip_permission_denied, error);
           !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        take(*it);
      }
    } else {
      for (auto it = fs::directory_iterator(folder, error); !error && it != fs::directory_iterator();
           it.increment(error)) {
        take(*it);
      }
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<uint8_t> BinaryBytes(size_t count) {
  std::vector<fs::path> files = FindFiles({"/usr/lib/i386-linux-gnu/wine/i386-windows", "/usr/lib/wine/i386-windows"}, {".dll"});
  if (files.empty()) files = FindFiles({"/usr/lib/x86_64-linux-gnu"}, {".so"});
  return Concatenate(files, count);
}

std::vector<uint8_t> TextBytes(size_t count) {
  return Concatenate(FindFiles({"/usr/share/common-licenses", "/usr/share/doc"}, {"copyright", "GPL-2", "GPL-3", "LGPL-2.1", "Apache-2.0", ".txt", ".md"}), count);
}
