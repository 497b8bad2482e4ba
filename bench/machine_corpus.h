// Real data for the bounds benchmark, cut from files of this machine in path
// order so that every run sees the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// Regular files below the folders (only directly in them unless recursive)
// whose name ends with one of the endings, in path order, so that a corpus
// is the same on every run. Folders that are missing or unreadable count as
// empty.
std::vector<std::filesystem::path> FindFiles(const std::vector<std::string>& folders,
                                             const std::vector<std::string>& endings, bool recursive = true);

// 32-bit Windows DLLs that Wine installs (what the installer carries),
// falling back on the host's shared libraries.
std::vector<uint8_t> BinaryBytes(size_t count);

// License texts and package documentation.
std::vector<uint8_t> TextBytes(size_t count);
