// The installer's flow functions, called directly under Wine in states that
// a real run reaches only by bad luck: no progress window, a user who closes
// the window at once, a very long destination folder.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>

#include "installer/installer_flow.h"
#include "tests/archive/extract_test_support.h"
#include "tests/installer/installer_driver.h"
#include "tests/ui/dialog_test_support.h"
#include "tests/ui/message_box_watcher.h"
#include "ui/progress_dialog.h"

// The installer's extractor, which the job uses; the installer defines it
// in globals.cpp beside its dialog, which these tests make for themselves.
PackReader thePackReader;

namespace {

using InstallerFlowTest = DialogTest;

TEST_F(InstallerFlowTest, StartWithoutProgressWindowStopsAndMakesNothing) {
  ProgressDialog unbound;  // as when the modeless creation has failed
  MessageBoxWatcher watcher;
  EXPECT_EQ(0, DecideStart(unbound));
  const int created = watcher.Stop();
  RemoveDirectoryA(unbound.destinationFolder);  // should the decision have gone ahead after all
  EXPECT_STREQ("", unbound.destinationFolder);
  ASSERT_EQ(1, created) << "only the stop message, no confirmation";
  ASSERT_EQ(1, watcher.count);
  EXPECT_EQ(nullptr, watcher.boxes[0].owner);
  EXPECT_STREQ("Self Unpack", watcher.boxes[0].caption);
  EXPECT_STREQ("Kormit Ver 1.63 の解凍を中止します。", watcher.boxes[0].text);
}

// An archive holding the sample package's Setup.exe, which appends a line
// to KORMIT_SETUP_RECORD for each run.
archive_test::Bytes SetupOnlyArchive() {
  std::string setup;
  EXPECT_TRUE(ReadFileBytes(kormit_test::FromBuildPath(KORMIT_SAMPLE_SETUP), &setup));
  return archive_test::ArchiveBuilder().File("Setup.exe", setup).Build();
}

// "Setup.exe" fits beside folders of up to 249 bytes (with "\" and the NUL
// in 260); the quoted command line is 12 bytes longer than the folder.
TEST_F(InstallerFlowTest, InstallModeRunsSetupFromTheLongestFolders) {
  const archive_test::Bytes archive = SetupOnlyArchive();
  TempFolder scratch;
  const std::string record = scratch / "record.txt";
  SetEnvironmentVariableA("KORMIT_SETUP_RECORD", record.c_str());
  for (const size_t length : {248u, 249u}) {
    std::string folder = scratch / std::to_string(length);
    CreateDirectoryA(folder.c_str(), nullptr);
    while (folder.size() < length) {  // levels of at most 100 bytes each
      folder += "\\" + std::string(std::min<size_t>(100, length - folder.size() - 1), 'd');
      ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr)) << folder.size() << " bytes";
    }
    ProgressDialog job;  // no window: nothing to tell
    lstrcpynA(job.destinationFolder, folder.c_str(), MAX_PATH);
    UnpackPayload(job, archive.data());

    std::string lines;
    ReadFileBytes(record, &lines);
    // Started from its own folder, as its current directory too.
    EXPECT_EQ(0u, lines.find(folder + "\\Setup.exe\t" + folder + "\t")) << length << "-byte folder: " << lines;
    EXPECT_FALSE(kormit_test::Exists(folder)) << "not cleaned up";
    DeleteFileA(record.c_str());
  }
  SetEnvironmentVariableA("KORMIT_SETUP_RECORD", nullptr);
}

// The user closes the window before the job has got going: from then on no
// progress may be posted, though the job still does its work.
TEST_F(InstallerFlowTest, NoProgressAfterAnEarlyClose) {
  ProgressDialog dialog;
  ASSERT_NE(nullptr, dialog.CreateModeless(nullptr, kProgressDialogTemplate));
  SendMessageA(dialog.window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(TakeQuitMessage());
  TempFolder folder;
  dialog.installMode = 0;  // extract only: the files stay to be looked at
  lstrcpynA(dialog.destinationFolder, folder.path(), MAX_PATH);
  UnpackPayload(dialog, archive_test::ArchiveBuilder().File("a.txt", std::string(5000, 'a')).Build().data());

  EXPECT_EQ(std::string(5000, 'a'), archive_test::Contents(folder / "a.txt"));
  MSG message;
  int posted = 0;
  while (PeekMessageA(&message, dialog.window, WM_UNPACK_PROGRESS, WM_UNPACK_PROGRESS, PM_REMOVE)) ++posted;
  EXPECT_EQ(0, posted);
  dialog.Destroy();
}

}  // namespace
