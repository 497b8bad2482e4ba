// filepacker pack's cut and thread options, run as a process.
#include <gtest/gtest.h>

#include "tests/common/test_files.h"
#include "tests/tools/filepacker_process.h"

namespace {

TEST(FilepackerPack, AdaptiveCutIsTheSameForEveryJobCountAndPassesTheTest) {
  TempFolder folder;
  MakeFolder(folder / "src");
  std::string text;
  while (text.size() < 40000) text += "Kormit 1.63 plays sound files of many kinds.\r\n";
  WriteFileBytes(JoinPath(folder / "src", "mixed.bin"), RandomBytes(30000, 4) + text + std::string(20000, '\0'));
  WriteFileBytes(JoinPath(folder / "src", "empty.txt"), "");
  std::string archives[2];
  for (const char* jobs : {"1", "3"}) {
    // Packing reads the files, which moves their last access time.
    for (const char* name : {"mixed.bin", "empty.txt"}) {
      SetFileTimes(JoinPath(folder / "src", name), {FileTimeOfUnixSeconds(1218324716), FileTimeOfUnixSeconds(1218324716)});
    }
    const std::string archive = folder / (std::string("out") + jobs + ".pak");
    ProcessResult pack = RunFilepacker({"pack", "--adaptive", "-j", jobs, "-b", "65536", "-o", archive, folder / "src"});
    ASSERT_EQ(0, pack.exitCode) << pack.err;
    EXPECT_NE(std::string::npos, pack.out.find("adaptive cut")) << pack.out;
    ProcessResult test = RunFilepacker({"test", archive});
    EXPECT_EQ(0, test.exitCode) << test.out << test.err;
    archives[jobs[0] == '1' ? 0 : 1] = ReadFileBytes(archive);
  }
  EXPECT_FALSE(archives[0].empty());
  EXPECT_TRUE(archives[0] == archives[1]) << "the archive depends on the number of jobs";
}

TEST(FilepackerPack, JobsOutsideTheRangeAreUsageErrors) {
  TempFolder folder;
  WriteFileBytes(folder / "in.txt", "content");
  for (const char* jobs : {"0", "65", "many"}) {
    ProcessResult result = RunFilepacker({"pack", "-j", jobs, "-o", folder / "out.pak", folder / "in.txt"});
    EXPECT_EQ(2, result.exitCode) << jobs;
    EXPECT_EQ(0u, result.err.find("filepacker: ")) << result.err;
    EXPECT_FALSE(FileExists(folder / "out.pak"));
  }
}

}  // namespace
