// Turns the packager's command-line paths into the files of an archive.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "packer/pack_files.h"

// Each path is a file, or a folder whose top-level files are taken in byte
// order of their names. A folder inside a folder is refused naming it
// (kSubfolder): the installer creates no subfolders. Symbolic links among
// the files are taken as `links` says.
bool CollectPackSources(const std::vector<std::string>& paths, std::vector<PackSource>& sources,
                        Refusal& refusal, Links links = Links::kRefuse);

// A file handed in by name and bytes, as a web page has them: "a.txt", or
// "package/a.txt" for a file of the folder "package" (UTF-8, "/" between).
struct NamedFile {
  std::string name;
  std::span<const uint8_t> bytes;  // kept by the caller while packing
  uint64_t lastWriteTime = 0;      // FILETIME
};

// The sources that CollectPackSources makes of these files given as paths,
// in the same words and codes where it refuses: each top-level name once,
// in the order first met, the files of a folder in byte order of their
// names, a folder inside a folder refused. As packing on POSIX gives them,
// every file has the archive attribute and its write time as all three
// times.
bool CollectNamedSources(const std::vector<NamedFile>& files, std::vector<PackSource>& sources, Refusal& refusal);

// Whether the sources hold a top-level file that Windows takes for
// "Setup.exe" (IsSetupExeName): what the installer runs in install mode.
bool HoldsSetupExe(const std::vector<PackSource>& sources);
