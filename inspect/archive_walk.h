// How filepacker and the web module read an archive: through the
// installer's own extractor, after the same check of the size field against
// the bytes that the installer makes of its payload, and through the
// install folder's rules (InstallFolderFiles), whatever the files are.
// test extracts into a simulated fresh install folder and so passes exactly
// the archives that the installer extracts; list walks the same way but
// only flags the names that such a folder would refuse, so that its listing
// goes on past them; extract writes real files, and refuses what test
// refuses but for the length, which its folder's real path decides.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "inspect/archive_file.h"
#include "inspect/extraction_watch.h"

enum class WalkMode { kTest, kList };

void WalkArchive(ArchiveBytes& archive, WalkMode mode, ArchiveWalk& walk);
inline void WalkArchive(std::span<const uint8_t> archive, WalkMode mode, ArchiveWalk& walk) {
  ArchiveBytes bytes(archive);
  WalkArchive(bytes, mode, walk);
}

// Extracts into `files`, whose names go behind `folder` (no trailing
// separator) and which leave why a create or write failed in filesFailure;
// progress goes to `progress` unless it is null.
void ExtractArchiveInto(ArchiveBytes& archive, const std::string& folder, FileSink& files,
                        const std::string& filesFailure, ProgressReceiver* progress, ArchiveWalk& walk);
inline void ExtractArchiveInto(std::span<const uint8_t> archive, const std::string& folder, FileSink& files,
                               const std::string& filesFailure, ProgressReceiver* progress, ArchiveWalk& walk) {
  ArchiveBytes bytes(archive);
  ExtractArchiveInto(bytes, folder, files, filesFailure, progress, walk);
}
