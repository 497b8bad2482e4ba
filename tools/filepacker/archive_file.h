// Reads an archive file whole into memory, as the installer holds its
// payload.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class LoadOutcome { kLoaded, kUnreadable, kTooLarge };

// Files of 2 GiB or more are refused without being read: the format's
// offsets are signed 32-bit. The error names the file.
LoadOutcome LoadArchiveFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);
