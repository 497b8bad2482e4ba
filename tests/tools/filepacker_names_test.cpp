// Names the writer would never store, in archives made by hand: test, list,
// extract and installer --archive judge each the same, in the same words,
// on every system, and extract stops where the installer would.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/archive/extract_archive_builder.h"
#include "tests/common/test_files.h"
#include "tests/pe/synthetic_pe.h"
#include "tests/tools/filepacker_process.h"

namespace {

using nlohmann::json;

constexpr char kSameFile[] = "Windows takes it for the same file as entry 1, created before it";

TEST(FilepackerNames, EveryCommandStopsWhereTheInstallerWould) {
  const struct {
    const char* why;
    std::vector<std::string> names;
    int refusedEntry;  // 0: every name is installed
    const char* cause;
  } cases[] = {
      {"case", {"a.txt", "A.TXT"}, 2, kSameFile},
      {"short name", {"LongFileName.txt", "LONGFI~1.TXT"}, 2,
       "its name is a short (8.3) name that Windows may give entry 1, created before it"},
      {"an unassigned code is read as the character 81 45", {"a\x85\x40.txt", "a\x81\x45.txt"}, 2, kSameFile},
      {"two unassigned codes", {"\xEB\x40", "\x87\x9F"}, 2, kSameFile},
      {"a character Windows names cannot hold", {"a?.txt"}, 1,
       "its name holds \"?\", which a Windows file name cannot hold"},
      {"one-byte codes beyond JIS and an unassigned code, each its own",
       {"\x80.txt", "a\xA0", "\xFD\xFE\xFF", "x\x81\xAD"}, 0, ""},
  };
  TempFolder folder;
  const std::vector<uint8_t> stub = BuildSyntheticPe().bytes;
  ASSERT_TRUE(WriteFileBytes(folder / "stub.exe", std::string(stub.begin(), stub.end())));
  const std::string archive = folder / "names.pak";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    archive_test::ArchiveBuilder builder;
    for (const std::string& name : c.names) builder.File(name, "x");
    const archive_test::Bytes bytes = builder.Build();
    ASSERT_TRUE(WriteFileBytes(archive, std::string(bytes.begin(), bytes.end())));
    const int status = c.refusedEntry == 0 ? 0 : 1;

    const ProcessResult test = RunFilepacker({"test", "--json", archive});
    EXPECT_EQ(status, test.exitCode) << test.err;
    const json tested = ParseJson(test);
    const ProcessResult list = RunFilepacker({"list", "--json", archive});
    EXPECT_EQ(0, list.exitCode) << list.err;
    const json listed = ParseJson(list);
    const std::string dest = folder / ("dest" + std::to_string(&c - cases));
    ASSERT_TRUE(MakeFolder(dest));
    const ProcessResult extract = RunFilepacker({"extract", "--json", archive, dest});
    EXPECT_EQ(status, extract.exitCode) << extract.err;
    const json extracted = ParseJson(extract);
    const ProcessResult installer = RunFilepacker({"installer", "--allow-no-setup", "--stub", folder / "stub.exe", "-f",
                                                   "-o", folder / "out.exe", "--archive", archive});
    EXPECT_EQ(status, installer.exitCode) << installer.err;

    if (c.refusedEntry == 0) {
      EXPECT_EQ(0, listed["totals"]["refused"]);
      EXPECT_EQ(c.names.size(), FolderEntries(dest).size());
      continue;
    }
    ASSERT_TRUE(tested["fault"].is_object() && extracted["fault"].is_object());
    EXPECT_EQ(c.refusedEntry, tested["fault"]["entry"]);
    EXPECT_EQ(c.cause, tested["fault"]["cause"]);
    EXPECT_EQ(tested["fault"], extracted["fault"]);
    EXPECT_EQ(test.err, extract.err);
    EXPECT_EQ(c.cause, listed["entries"][c.refusedEntry - 1]["refusal"]);
    EXPECT_EQ(static_cast<size_t>(c.refusedEntry - 1), FolderEntries(dest).size());
  }
}

}  // namespace
