#include <ftw.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "tests/common/temp_folder.h"

extern const char kSeparator[] = "/";

TempFolder::TempFolder() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/kx-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "cannot create " << pattern;
  path_ = pattern;
}

namespace {
int RemoveOne(const char* path, const struct stat*, int, struct FTW*) { return std::remove(path); }
}  // namespace

void RemoveTree(const std::string& path) { nftw(path.c_str(), RemoveOne, 16, FTW_DEPTH | FTW_PHYS); }

TempFolder::~TempFolder() { RemoveTree(path_); }
