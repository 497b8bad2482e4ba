// The installer's flow functions, called directly under Wine in states that
// a real run reaches only by bad luck: no progress window, a user who closes
// the window at once, a very long destination folder.
#include <gtest/gtest.h>
#include <windows.h>

#include "installer/installer_flow.h"
#include "tests/ui/dialog_test_support.h"
#include "tests/ui/message_box_watcher.h"
#include "ui/progress_dialog.h"

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

}  // namespace
