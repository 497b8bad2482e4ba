#include "inspect/archive_walk.h"

#include <cstring>
#include <string>

#include "base/installer_rules.h"
#include "inspect/install_folder_files.h"
#include "packer/name_rules.h"

void WalkArchive(std::span<const uint8_t> archive, WalkMode mode, ArchiveWalk& walk) {
  walk = ArchiveWalk();
  walk.fileLength = static_cast<int64_t>(archive.size());
  if (!CheckArchiveFits(archive, walk.fault)) return;

  // test: names go behind the longest install folder, so that the
  // extractor's path check is the installer's. list: behind the shortest,
  // where only the sink's flag tells what would not fit.
  const bool test = mode == WalkMode::kTest;
  const char* folder = test ? kLongestInstallFolder : "";
  InstallFolderFiles files(test ? InstallFolderFiles::Mode::kRefuse : InstallFolderFiles::Mode::kFlag);
  const std::string folderWords = std::string("the install folder (") + kLongestInstallFolder + "\\ at the longest)";
  ExtractionWatch watch(walk, folderWords.c_str(), static_cast<int>(std::strlen(folder)) + 1, files.failure());
  PackReader reader;
  reader.SetFileSink(files);
  reader.SetObserver(&watch);
  UnpackReport report;
  const int result = reader.ExtractFromMemory(archive.data(), folder, &report);
  watch.Finish(result, report);
  for (size_t i = 0; i < walk.entries.size() && i < files.flags().size(); ++i) {
    walk.entries[i].refusal = files.flags()[i];
  }
}
