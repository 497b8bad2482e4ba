// What the writer refuses before it writes anything, and how it leaves the
// target when it refuses or fails.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>

#include "packer/archive_writer.h"
#include "packer/pack_sources.h"
#include "host/input_files.h"
#include "tests/common/test_files.h"
#include "tests/packer/writer_system.h"

namespace {

PackSource Named(const std::string& name, int64_t size = 10) {
  PackSource source;
  source.path = "in/" + name;
  source.storedName = name;
  source.size = size;
  source.attributes = 0x20;
  return source;
}

struct Refused {
  const char* why;
  std::vector<PackSource> sources;
  int32_t blockSize;
  const char* errorMentions;
  RefusalCode code;
};

TEST(WriterRefusal, CheckRefusesWhatTheInstallerCannotTake) {
  const std::string longest(235, 'n');
  const Refused cases[] = {
      {"block size below range", {Named("a")}, 1023, "block size", RefusalCode::kBlockSize},
      {"block size above range", {Named("a")}, 4000001, "block size", RefusalCode::kBlockSize},
      {"no files", {}, 200000, "no files", RefusalCode::kUsage},
      {"empty name", {Named("")}, 200000, "in/", RefusalCode::kNameTooLong},
      // C:\WINDOWS\UnpackDir999, "\", 236 bytes and the NUL make 261.
      {"name of 236 bytes", {Named(longest + "x")}, 200000, "236 bytes", RefusalCode::kNameTooLong},
      {"name of 256 bytes", {Named(longest + std::string(21, 'x'))}, 200000, "256 bytes", RefusalCode::kNameTooLong},
      {"parent folder", {Named("..")}, 200000, "in/..", RefusalCode::kNameRefused},
      {"device name", {Named("con.txt")}, 200000, "in/con.txt", RefusalCode::kNameRefused},
      {"drive or stream", {Named("a:b")}, 200000, "in/a:b", RefusalCode::kNameRefused},
      {"trailing dot", {Named("trail.")}, 200000, "in/trail.", RefusalCode::kNameRefused},
      {"trailing space", {Named("trail ")}, 200000, "in/trail ", RefusalCode::kNameRefused},
      {"backslash", {Named("sub\\file")}, 200000, "\\", RefusalCode::kNameSeparator},
      {"slash", {Named("sub/file")}, 200000, "in/sub/file", RefusalCode::kNameSeparator},
      {"wildcard", {Named("what?")}, 200000, "?", RefusalCode::kNameCharacter},
      {"pipe", {Named("a|b")}, 200000, "|", RefusalCode::kNameCharacter},
      {"control byte", {Named("tab\tname")}, 200000, "in/tab", RefusalCode::kNameRefused},
      {"same name but for case", {Named("Setup.exe"), Named("SETUP.EXE")}, 200000, "in/Setup.exe",
       RefusalCode::kSameFile},
      {"only empty files", {Named("a", 0), Named("b", 0)}, 200000, "no bytes", RefusalCode::kNoBytes},
      {"2 GiB in all", {Named("a", 0x7FFFFFFF), Named("b", 1)}, 200000, "2 GiB", RefusalCode::kTooLarge},
  };
  for (const Refused& c : cases) {
    Refusal refusal;
    EXPECT_FALSE(CheckPackSources(c.sources, c.blockSize, refusal)) << c.why;
    EXPECT_NE(std::string::npos, refusal.text.find(c.errorMentions)) << c.why << ": " << refusal.text;
    EXPECT_EQ(c.code, refusal.code) << c.why << ": " << refusal.text;
  }
}

TEST(WriterRefusal, CheckAcceptsTheLimitsAndTwoByteCharacters) {
  Refusal refusal;
  // "ソ" and "表" end in 0x5C, "ポ" in 0x7C: second bytes, not separators or pipes.
  std::vector<PackSource> sources = {Named(std::string(235, 'n')), Named("ソ表ポ.txt"), Named("Setup.exe"),
                                     Named("Setup.ini", 0)};
  EXPECT_TRUE(CheckPackSources(sources, 1024, refusal)) << refusal.text;
  EXPECT_TRUE(CheckPackSources(sources, 4000000, refusal)) << refusal.text;
  EXPECT_TRUE(CheckPackSources({Named("a", 0x7FFFFFFF)}, 200000, refusal)) << refusal.text;
}

// A file whose name the installer would refuse.
TEST(WriterRefusal, RefusedNameLeavesNoFileBehind) {
  TempFolder folder;
  const std::string name = NameTheInstallerRefuses();
  WriteFileBytes(folder / name, "content");
  PackSource source;
  std::string error;
  ASSERT_TRUE(DescribePackFile(folder / name, source, error)) << error;
  PackSummary summary;
  EXPECT_FALSE(WriteArchive(folder / "out.pak", {source}, PackOptions(), summary, error));
  EXPECT_NE(std::string::npos, error.find(folder / name)) << error;
  std::vector<std::string> left;
  ASSERT_TRUE(ListFolder(folder.path(), left, error));
  EXPECT_EQ(1u, left.size());
}

TEST(WriterRefusal, ExistingArchiveIsReplacedOnlyWhenAsked) {
  TempFolder folder;
  WriteFileBytes(folder / "in.txt", "some content");
  WriteFileBytes(folder / "out.pak", "an older archive");
  PackSource source;
  std::string error;
  ASSERT_TRUE(DescribePackFile(folder / "in.txt", source, error)) << error;
  PackSummary summary;
  PackOptions options;
  EXPECT_FALSE(WriteArchive(folder / "out.pak", {source}, options, summary, error));
  EXPECT_NE(std::string::npos, error.find("already exists")) << error;
  EXPECT_EQ("an older archive", ReadFileBytes(folder / "out.pak"));

  options.overwrite = true;
  ASSERT_TRUE(WriteArchive(folder / "out.pak", {source}, options, summary, error)) << error;
  EXPECT_EQ("FILE_PACKER 1.00", ReadFileBytes(folder / "out.pak").substr(0, 16));
  std::vector<std::string> left;
  ASSERT_TRUE(ListFolder(folder.path(), left, error));
  EXPECT_EQ(2u, left.size()) << "a temporary file was left behind";
}

// Changes to a file of 3000 bytes that was written long ago: the same size
// changed in place or swapped in by a rename shows only in its identity.
// Windows lets no file be removed or renamed over while it is read.
struct FileChange {
  const char* name;
  bool whileOpen;
  void (*change)(const std::string& path);
};

const FileChange kFileChanges[] = {
    {"grows.txt", true, [](const std::string& path) { WriteFileBytes(path, RandomBytes(3010, 7)); }},
    {"shrinks.txt", true, [](const std::string& path) { WriteFileBytes(path, RandomBytes(2000, 7)); }},
    {"gone.txt", false, [](const std::string& path) { std::remove(path.c_str()); }},
    {"rewritten.txt", true, [](const std::string& path) { WriteFileBytes(path, RandomBytes(3000, 7)); }},
    {"renamed over.txt", false,
     [](const std::string& path) {
       WriteFileBytes(path + ".new", RandomBytes(3000, 7));
       std::remove(path.c_str());
       std::rename((path + ".new").c_str(), path.c_str());
     }},
};

// Makes the change once, when the first chunk is written.
class ChangeAfterFirstChunk final : public PackProgress {
 public:
  ChangeAfterFirstChunk(const FileChange* change, std::string path) : change_(change), path_(std::move(path)) {}
  void OnChunkWritten(int32_t, int64_t) override {
    if (change_ != nullptr) change_->change(path_);
    change_ = nullptr;
  }

 private:
  const FileChange* change_;
  std::string path_;
};

// A file that changes between being described and being packed, or while
// it is read (after its first chunk), fails the archive; neither the target
// nor the temporary file remains. The adaptive cut reads each file twice,
// while other threads encode.
TEST(WriterRefusal, FileThatChangedFailsWithoutLeavingAnything) {
  for (const bool adaptive : {false, true}) {
    for (const bool whileRead : {false, true}) {
      SCOPED_TRACE(std::string(adaptive ? "adaptive cut" : "fixed cut") + (whileRead ? ", while read" : ""));
      TempFolder folder;
      WriteFileBytes(folder / "first.bin", RandomBytes(5000, 6));
      for (const FileChange& change : kFileChanges) {
        if (whileRead && !change.whileOpen) continue;
        const std::string path = folder / change.name;
        WriteFileBytes(path, RandomBytes(3000, 5));
        SetFileTimes(path, {FileTimeOfUnixSeconds(1218324716), FileTimeOfUnixSeconds(1218324716)});
        std::vector<PackSource> sources(whileRead ? 1 : 2);  // first.bin before it, but while read
        std::string error;
        ASSERT_TRUE(DescribePackFile(folder / "first.bin", sources.front(), error)) << error;
        ASSERT_TRUE(DescribePackFile(path, sources.back(), error)) << error;
        PackOptions options;
        options.blockSize = 1024;
        options.adaptive = adaptive;
        options.jobs = whileRead ? 1 : 4;  // one: the first chunk is written before the second is read
        ChangeAfterFirstChunk pending(whileRead ? &change : nullptr, path);
        options.progress = &pending;
        if (!whileRead) change.change(path);
        PackSummary summary;
        EXPECT_FALSE(WriteArchive(folder / "out.pak", sources, options, summary, error)) << change.name;
        EXPECT_NE(std::string::npos, error.find(path)) << error;
        EXPECT_FALSE(FileExists(folder / "out.pak"));
        std::remove(path.c_str());
      }
      std::vector<std::string> left;
      std::string error;
      ASSERT_TRUE(ListFolder(folder.path(), left, error));
      EXPECT_EQ(1u, left.size());
    }
  }
}

TEST(WriterSources, FolderGivesItsFilesInNameOrder) {
  TempFolder folder;
  MakeFolder(folder / "pkg");
  for (const char* name : {"b.dll", "Setup.exe", "a.txt"}) WriteFileBytes(JoinPath(folder / "pkg", name), name);
  WriteFileBytes(folder / "extra.txt", "extra");
  std::vector<PackSource> sources;
  Refusal refusal;
  ASSERT_TRUE(CollectPackSources({folder / "extra.txt", folder / "pkg"}, sources, refusal)) << refusal.text;
  std::vector<std::string> names;
  for (const PackSource& source : sources) names.push_back(source.storedName);
  EXPECT_EQ((std::vector<std::string>{"extra.txt", "Setup.exe", "a.txt", "b.dll"}), names);
  EXPECT_EQ(5, sources[2].size);
}

TEST(WriterSources, FolderInsideAFolderIsAnErrorNamingIt) {
  TempFolder folder;
  MakeFolder(folder / "pkg");
  WriteFileBytes(JoinPath(folder / "pkg", "a.txt"), "a");
  MakeFolder(JoinPath(folder / "pkg", "sub"));
  std::vector<PackSource> sources;
  Refusal refusal;
  EXPECT_FALSE(CollectPackSources({folder / "pkg"}, sources, refusal));
  EXPECT_NE(std::string::npos, refusal.text.find("sub")) << refusal.text;
  EXPECT_NE(std::string::npos, refusal.text.find("subfolder")) << refusal.text;
  EXPECT_EQ(RefusalCode::kSubfolder, refusal.code);
}

TEST(WriterSources, MissingFileIsAnErrorNamingIt) {
  TempFolder folder;
  std::vector<PackSource> sources;
  Refusal refusal;
  EXPECT_FALSE(CollectPackSources({folder / "missing.txt"}, sources, refusal));
  EXPECT_NE(std::string::npos, refusal.text.find("missing.txt")) << refusal.text;
  EXPECT_EQ(RefusalCode::kUnreadable, refusal.code);
}

TEST(WriterSources, DescriptionCarriesNameTimesAndAttributes) {
  TempFolder folder;
  const std::string path = folder / NativeJapaneseName();
  WriteFileBytes(path, "read me");
  const FileTimes times{FileTimeOfUnixSeconds(1219631017), FileTimeOfUnixSeconds(1218324716)};
  SetFileTimes(path, times);
  SetReadOnly(path);
  PackSource source;
  std::string error;
  ASSERT_TRUE(DescribePackFile(path, source, error)) << error;
  EXPECT_EQ(Cp932JapaneseName(), source.storedName);
  EXPECT_EQ(7, source.size);
  EXPECT_EQ(times.lastWrite, source.lastWriteTime);
  // Reading a file moves its access time, so the archive stores the write
  // time in its place: the same files give the same archive.
  EXPECT_EQ(times.lastWrite, source.lastAccessTime);
  EXPECT_EQ(0x21u, source.attributes & 0x21u);
  if (kAttributesFromPermissions) {
    EXPECT_EQ(0x21u, source.attributes);
    EXPECT_EQ(source.lastWriteTime, source.creationTime);
  }
}

}  // namespace
