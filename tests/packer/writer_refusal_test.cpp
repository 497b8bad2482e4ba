// What the writer refuses before it writes anything, and how it leaves the
// target when it refuses or fails.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "packer/archive_writer.h"
#include "packer/pack_sources.h"
#include "tests/common/test_files.h"

namespace {

PackSource Named(const std::string& name, int64_t size = 10) {
  PackSource source;
  source.path = "in/" + name;
  source.storedName = name;
  source.size = size;
  source.attributes = 0x20;
  return source;
}

struct Refusal {
  const char* why;
  std::vector<PackSource> sources;
  int32_t blockSize;
  const char* errorMentions;
};

TEST(WriterRefusal, CheckRefusesWhatTheInstallerCannotTake) {
  const std::string longest(235, 'n');
  const Refusal cases[] = {
      {"block size below range", {Named("a")}, 1023, "block size"},
      {"block size above range", {Named("a")}, 4000001, "block size"},
      {"no files", {}, 200000, "no files"},
      {"empty name", {Named("")}, 200000, "in/"},
      // C:\WINDOWS\UnpackDir999, "\", 236 bytes and the NUL make 261.
      {"name of 236 bytes", {Named(longest + "x")}, 200000, "236 bytes"},
      {"name of 256 bytes", {Named(longest + std::string(21, 'x'))}, 200000, "256 bytes"},
      {"parent folder", {Named("..")}, 200000, "in/.."},
      {"device name", {Named("con.txt")}, 200000, "in/con.txt"},
      {"drive or stream", {Named("a:b")}, 200000, "in/a:b"},
      {"trailing dot", {Named("trail.")}, 200000, "in/trail."},
      {"trailing space", {Named("trail ")}, 200000, "in/trail "},
      {"backslash", {Named("sub\\file")}, 200000, "\\"},
      {"slash", {Named("sub/file")}, 200000, "in/sub/file"},
      {"wildcard", {Named("what?")}, 200000, "?"},
      {"pipe", {Named("a|b")}, 200000, "|"},
      {"control byte", {Named("tab\tname")}, 200000, "in/tab"},
      {"same name but for case", {Named("Setup.exe"), Named("SETUP.EXE")}, 200000, "in/Setup.exe"},
      {"only empty files", {Named("a", 0), Named("b", 0)}, 200000, "no bytes"},
      {"2 GiB in all", {Named("a", 0x7FFFFFFF), Named("b", 1)}, 200000, "2 GiB"},
  };
  for (const Refusal& c : cases) {
    std::string error;
    EXPECT_FALSE(CheckPackSources(c.sources, c.blockSize, error)) << c.why;
    EXPECT_NE(std::string::npos, error.find(c.errorMentions)) << c.why << ": " << error;
  }
}

TEST(WriterRefusal, CheckAcceptsTheLimitsAndTwoByteCharacters) {
  std::string error;
  // "ソ" and "表" end in 0x5C, "ポ" in 0x7C: second bytes, not separators or pipes.
  std::vector<PackSource> sources = {Named(std::string(235, 'n')), Named("ソ表ポ.txt"), Named("Setup.exe"),
                                     Named("Setup.ini", 0)};
  EXPECT_TRUE(CheckPackSources(sources, 1024, error)) << error;
  EXPECT_TRUE(CheckPackSources(sources, 4000000, error)) << error;
  EXPECT_TRUE(CheckPackSources({Named("a", 0x7FFFFFFF)}, 200000, error)) << error;
}

// A file whose name the installer would refuse: "con" on POSIX; on Win32,
// where such names cannot exist, one of 256 bytes in code page 932.
TEST(WriterRefusal, RefusedNameLeavesNoFileBehind) {
  TempFolder folder;
#ifdef _WIN32
  std::string name;
  for (int i = 0; i < 128; i++) name += "ア";
#else
  std::string name = "con";
#endif
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

// A name without a code page 932 form ("é") is an error naming the file.
TEST(WriterRefusal, NameOutsideCodePage932IsAnError) {
  TempFolder folder;
  std::string error;
#ifdef _WIN32
  const std::string narrowFolder = folder.path();
  std::wstring wideFolder(narrowFolder.begin(), narrowFolder.end());
  HANDLE file = CreateFileW((wideFolder + L"\\caf\u00e9.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  CloseHandle(file);
  std::vector<PackSource> sources;
  EXPECT_FALSE(CollectPackSources({folder.path()}, sources, error));
  EXPECT_NE(std::string::npos, error.find(folder.path())) << error;
#else
  const std::string path = folder / reinterpret_cast<const char*>(u8"café.txt");
  WriteFileBytes(path, "x");
  PackSource source;
  EXPECT_FALSE(DescribePackFile(path, source, error));
  EXPECT_NE(std::string::npos, error.find(path)) << error;
#endif
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
  std::string error;
  ASSERT_TRUE(CollectPackSources({folder / "extra.txt", folder / "pkg"}, sources, error)) << error;
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
  std::string error;
  EXPECT_FALSE(CollectPackSources({folder / "pkg"}, sources, error));
  EXPECT_NE(std::string::npos, error.find("sub")) << error;
  EXPECT_NE(std::string::npos, error.find("subfolder")) << error;
}

TEST(WriterSources, MissingFileIsAnErrorNamingIt) {
  TempFolder folder;
  std::vector<PackSource> sources;
  std::string error;
  EXPECT_FALSE(CollectPackSources({folder / "missing.txt"}, sources, error));
  EXPECT_NE(std::string::npos, error.find("missing.txt")) << error;
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
#ifndef _WIN32
  EXPECT_EQ(0x21u, source.attributes);
  EXPECT_EQ(source.lastWriteTime, source.creationTime);
#endif
}

#ifndef _WIN32
// FILETIME starts in 1601: an earlier write time is stored as 0, as the
// extractor reads it, never as a time wrapped round to the far future.
TEST(WriterSources, WriteTimeBefore1601IsStoredAsZero) {
  // ext4 keeps no time before 1901; tmpfs keeps any.
  TempFolder folder;
  struct stat status {};
  const bool shm = stat("/dev/shm", &status) == 0 && S_ISDIR(status.st_mode);
  const std::string path = shm ? "/dev/shm/kormit-old-" + std::to_string(getpid()) + ".txt" : folder / "old.txt";
  WriteFileBytes(path, "old");
  const timespec times[2] = {{-12000000000, 0}, {-12000000000, 0}};  // 1589
  const bool set = utimensat(AT_FDCWD, path.c_str(), times, 0) == 0 && stat(path.c_str(), &status) == 0 &&
                   status.st_mtim.tv_sec == times[1].tv_sec;
  PackSource source;
  std::string error;
  const bool described = set && DescribePackFile(path, source, error);
  if (shm) unlink(path.c_str());
  if (!set) GTEST_SKIP() << "no file system here holds a time before 1601";
  ASSERT_TRUE(described) << error;
  EXPECT_EQ(0u, source.lastWriteTime);
}

// A symbolic link is refused, naming its target, unless it is to be
// followed; each file is opened once, and what is swapped in for it after
// the check (a FIFO, a link) is refused, never waited on or followed.
TEST(WriterRefusal, PacksOnlyTheRegularFileThatWasChecked) {
  TempFolder folder;
  const std::string real = folder / "real.txt", in = folder / "in.txt";
  WriteFileBytes(real, "the file's bytes");
  ASSERT_EQ(0, symlink(real.c_str(), (folder / "link.txt").c_str()));
  PackSource source;
  std::string error;
  EXPECT_FALSE(DescribePackFile(folder / "link.txt", source, error));
  EXPECT_NE(std::string::npos, error.find("link.txt: a symbolic link to \"" + real + "\"")) << error;
  ASSERT_TRUE(DescribePackFile(folder / "link.txt", source, error, Links::kFollow)) << error;
  EXPECT_EQ("link.txt", source.storedName);
  PackSummary summary;
  PackOptions options;
  EXPECT_TRUE(WriteArchive(folder / "linked.pak", {source}, options, summary, error)) << error;
  EXPECT_EQ(16, summary.bytesIn);

  const struct {
    const char* what;
    int (*swap)(const std::string& real, const std::string& in);
    const char* error;
  } swaps[] = {
      {"a FIFO", [](const std::string&, const std::string& in) { return mkfifo(in.c_str(), 0600); },
       "no longer the regular file of 16 bytes"},
      {"a link", [](const std::string& real, const std::string& in) { return symlink(real.c_str(), in.c_str()); },
       "has become a symbolic link"},
  };
  for (const auto& c : swaps) {
    WriteFileBytes(in, "the file's bytes");
    ASSERT_TRUE(DescribePackFile(in, source, error)) << error;
    ASSERT_EQ(0, unlink(in.c_str()));
    ASSERT_EQ(0, c.swap(real, in)) << c.what;
    EXPECT_FALSE(WriteArchive(folder / "out.pak", {source}, options, summary, error)) << c.what;
    EXPECT_NE(std::string::npos, error.find(c.error)) << c.what << ": " << error;
    EXPECT_FALSE(FileExists(folder / "out.pak")) << c.what;
    unlink(in.c_str());
  }
}
#endif

}  // namespace
