// Turns the packager's command-line paths into the files of an archive.
#pragma once

#include <string>
#include <vector>

#include "packer/pack_files.h"

// Each path is a file, or a folder whose top-level files are taken in byte
// order of their names. A folder inside a folder is an error naming it: the
// installer creates no subfolders. Symbolic links among the files are
// taken as `links` says.
bool CollectPackSources(const std::vector<std::string>& paths, std::vector<PackSource>& sources,
                        std::string& error, Links links = Links::kRefuse);

// Whether the sources hold a top-level file that Windows takes for
// "Setup.exe" (IsSetupExeName): what the installer runs in install mode.
bool HoldsSetupExe(const std::vector<PackSource>& sources);
