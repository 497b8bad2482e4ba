// The progress bar: drawn only on a console, and only when the percentage
// shown changes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "tests/common/temp_folder.h"
#include "tools/filepacker/extraction.h"

namespace {

TEST(ProgressBar, RedrawsOnlyWhenThePercentageChanges) {
  TempFolder folder;
  const std::string path = folder / "bar.txt";
  std::FILE* out = std::fopen(path.c_str(), "w+b");
  ASSERT_NE(nullptr, out);
  ProgressBar bar(out);
  for (int64_t position = 0; position <= 5000; position++) bar.Show(position, 5000);
  bar.End();
  std::rewind(out);
  std::string drawn;
  for (int c; (c = std::fgetc(out)) != EOF;) drawn += static_cast<char>(c);
  std::fclose(out);
  EXPECT_EQ(101, std::count(drawn.begin(), drawn.end(), '\r'));
  EXPECT_NE(std::string::npos, drawn.find("] 100%\n"));
}

// Windows' C library takes the NUL device for a terminal.
TEST(ProgressBar, TheNullDeviceIsNoConsole) {
  std::FILE* null = std::fopen(KORMIT_NULL_DEVICE, "w");
  ASSERT_NE(nullptr, null);
  EXPECT_FALSE(IsConsole(null));
  std::fclose(null);
}

}  // namespace
