// POSIX: names from UTF-8, times before 1601, symbolic links and FIFOs.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <clocale>
#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

#include "base/escaped_bytes.h"
#include "packer/archive_writer.h"
#include "host/cp932_text.h"
#include "packer/pack_sources.h"
#include "tests/common/test_files.h"
#include "tests/packer/writer_system.h"

std::string NameTheInstallerRefuses() { return "con"; }

const bool kAttributesFromPermissions = true;

char32_t SystemUpperCharacter(const std::string& piece, uint32_t ours) {
  static const bool locale = std::setlocale(LC_CTYPE, "C.UTF-8") != nullptr;
  EXPECT_TRUE(locale);
  std::string utf8;
  const bool read = Cp932ToUtf8(piece, utf8);
  EXPECT_EQ(ours == 0, read) << EscapedBytes(piece);
  wchar_t code = static_cast<wchar_t>(ours);
  std::mbstate_t state{};
  if (read) std::mbrtowc(&code, utf8.data(), utf8.size(), &state);
  return static_cast<char32_t>(std::towupper(static_cast<wint_t>(code)));
}

namespace {

// A name without a code page 932 form ("é") is an error naming the file.
TEST(WriterRefusal, NameOutsideCodePage932IsAnError) {
  TempFolder folder;
  std::string error;
  const std::string path = folder / reinterpret_cast<const char*>(u8"café.txt");
  WriteFileBytes(path, "x");
  PackSource source;
  EXPECT_FALSE(DescribePackFile(path, source, error));
  EXPECT_NE(std::string::npos, error.find(path)) << error;
}

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

}  // namespace
