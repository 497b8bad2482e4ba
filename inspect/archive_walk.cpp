#include "inspect/archive_walk.h"

#include <cstring>

#include "base/installer_rules.h"
#include "inspect/install_folder_files.h"

namespace {

// The walk itself, once the walk is cleared: folderWords say in a fault
// what the names go behind.
void Walk(std::span<const uint8_t> archive, const char* folder, const std::string& folderWords,
          InstallFolderFiles& files, ProgressReceiver* progress, ArchiveWalk& walk) {
  walk.fileLength = static_cast<int64_t>(archive.size());
  if (!CheckArchiveFits(archive, walk.fault)) return;
  ExtractionWatch watch(walk, folderWords.c_str(), static_cast<int>(std::strlen(folder)) + 1, files.failure());
  PackReader reader;
  reader.SetFileSink(files);
  reader.SetObserver(&watch);
  reader.SetProgressTarget(progress);
  UnpackReport report;
  const int result = reader.ExtractFromMemory(archive.data(), folder, &report);
  watch.Finish(result, report);
}

}  // namespace

void WalkArchive(std::span<const uint8_t> archive, WalkMode mode, ArchiveWalk& walk) {
  walk = ArchiveWalk();
  // test: names go behind the longest install folder, so that the
  // extractor's path check is the installer's. list: behind the shortest,
  // where only the sink's flag tells what would not fit.
  const bool test = mode == WalkMode::kTest;
  InstallFolderFiles files(test ? InstallFolderFiles::Mode::kRefuse : InstallFolderFiles::Mode::kFlag);
  const std::string folderWords = std::string("the install folder (") + kLongestInstallFolder + "\\ at the longest)";
  Walk(archive, test ? kLongestInstallFolder : "", folderWords, files, nullptr, walk);
  for (size_t i = 0; i < walk.entries.size() && i < files.flags().size(); ++i) {
    walk.entries[i].refusal = files.flags()[i];
  }
}

void ExtractArchiveInto(std::span<const uint8_t> archive, const std::string& folder, FileSink& files,
                        const std::string& filesFailure, ProgressReceiver* progress, ArchiveWalk& walk) {
  walk = ArchiveWalk();
  InstallFolderFiles checked(files, filesFailure);
  Walk(archive, folder.c_str(), "the destination folder", checked, progress, walk);
}
