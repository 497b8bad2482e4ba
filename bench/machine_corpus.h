// Real data for the bounds benchmark, cut from files of this machine in path
// order so that every run sees the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// 32-bit Windows DLLs that Wine installs (what the installer carries),
// falling back on the host's shared libraries.
std::vector<uint8_t> BinaryBytes(size_t count);

// License texts and package documentation.
std::vector<uint8_t> TextBytes(size_t count);
