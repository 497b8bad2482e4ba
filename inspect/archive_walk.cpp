#include "inspect/archive_walk.h"

#include <algorithm>
#include <cstring>

#include "archive/archive_format.h"
#include "base/installer_rules.h"
#include "inspect/install_folder_files.h"

namespace {

using archive_format::kHeaderLength;

// The walk itself, once the walk is cleared: folderWords say in a fault
// what the names go behind.
void Walk(ArchiveBytes& archive, const char* folder, const std::string& folderWords,
          InstallFolderFiles& files, ProgressReceiver* progress, ArchiveWalk& walk) {
  walk.fileLength = archive.size();
  uint8_t header[kHeaderLength] = {};
  const int32_t headerLength = static_cast<int32_t>(std::min<uint32_t>(archive.size(), kHeaderLength));
  if (!archive.ReadAt(0, header, static_cast<size_t>(headerLength))) {
    walk.fault.code = RefusalCode::kUnreadable;
    walk.fault.cause = archive.readError();
    return;
  }
  if (!CheckArchiveFits(header, archive.size(), walk.fault)) return;
  ExtractionWatch watch(walk, folderWords.c_str(), static_cast<int>(std::strlen(folder)) + 1, files.failure());
  PackReader reader;
  reader.SetFileSink(files);
  reader.SetObserver(&watch);
  reader.SetProgressTarget(progress);
  UnpackReport report;
  const int result = reader.ExtractFromSource(archive, folder, &report);
  watch.Finish(result, report);
  // A file that could not be read is no archive cut short.
  if (!archive.readError().empty()) {
    walk.fault.code = RefusalCode::kUnreadable;
    walk.fault.cause = archive.readError();
  }
}

}  // namespace

void WalkArchive(ArchiveBytes& archive, WalkMode mode, ArchiveWalk& walk) {
  walk = ArchiveWalk();
  // test: names go behind the longest install folder, so that the
  // extractor's path check is the installer's. list: behind the shortest,
  // where only the sink's flag tells what would not fit.
  const bool test = mode == WalkMode::kTest;
  InstallFolderFiles files(test ? InstallFolderFiles::Mode::kRefuse : InstallFolderFiles::Mode::kFlag);
  const std::string folderWords = std::string("the install folder (") + kLongestInstallFolder + "\\ at the longest)";
  Walk(archive, test ? kLongestInstallFolder : "", folderWords, files, nullptr, walk);
  for (size_t i = 0; i < walk.entries.size() && i < files.flags().size(); ++i) {
    walk.entries[i].refusal = files.flags()[i].text;
    walk.entries[i].refusalCode = files.flags()[i].code;
  }
}

void ExtractArchiveInto(ArchiveBytes& archive, const std::string& folder, FileSink& files,
                        const std::string& filesFailure, ProgressReceiver* progress, ArchiveWalk& walk) {
  walk = ArchiveWalk();
  InstallFolderFiles checked(files, filesFailure);
  Walk(archive, folder.c_str(), "the destination folder", checked, progress, walk);
}
