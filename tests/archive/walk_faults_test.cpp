// The inspection engine behind filepacker's test, list and extract: one tiny
// archive per fault, with the cause, the place and the extractor's text that
// the message must carry; one table of names on which pack, test, list and
// extract into any files agree; and no bytes at all that make the walk read
// outside the file.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "base/installer_rules.h"
#include "packer/archive_writer.h"
#include "tests/archive/extract_archive_builder.h"
#include "inspect/archive_walk.h"

namespace {

// Files that refuse nothing, as memory or a case-sensitive file system takes
// them: what they are asked to create is what the install folder's rules
// let through.
class AnyFiles final : public FileSink {
 public:
  FileHandle Create(const char* path, int nameStart, uint32_t) noexcept override {
    created.emplace_back(path + nameStart);
    return static_cast<FileHandle>(created.size());
  }
  int32_t Write(FileHandle, const uint8_t*, int32_t count) noexcept override { return count; }
  void Finish(FileHandle, const char*, const EntryInfo&) noexcept override {}

  std::vector<std::string> created;
  const std::string failure;  // they never fail
};

using archive_test::ArchiveBuilder;
using archive_test::Bytes;
using archive_test::StoredBlock;

Bytes WithMagic(Bytes archive, char last) {
  archive[15] = static_cast<uint8_t>(last);
  return archive;
}

Bytes Cut(const Bytes& archive, size_t length) {
  EXPECT_LE(length, archive.size());
  return Bytes(archive.begin(), archive.begin() + static_cast<std::ptrdiff_t>(std::min(length, archive.size())));
}

// The archive with its size field ending the container after `length` bytes,
// and the file ending there too.
Bytes EndingAt(const ArchiveBuilder& builder, int32_t length) {
  return Cut(builder.BuildWithSize(length - 24), static_cast<size_t>(length));
}

struct FaultCase {
  const char* why;
  Bytes archive;
  const char* cause;  // a part of the cause
  int entry, chunk;
  int64_t offset;
  const char* outcome;
  RefusalCode code;
};

// The entry's name once its head is read: of "b" in the one case with two
// entries of other names, of the first entry "a" (or "ａ"'s twin) elsewhere.
std::string ExpectedName(const FaultCase& c) {
  const std::string why = c.why;
  if (c.entry == 0 || why == "end marker cut" || why == "name cut") return "";
  if (why == "sizes past 2 GiB") return "b";
  if (why == "same file to Windows") return "Ａ";
  if (why == "name too long for the install folder") return std::string(236, 'n');
  if (why == "device name") return "CON.txt";
  if (why == "separator") return "sub\\f.txt";
  if (why == "character Windows names cannot hold") return "a?b";
  return "a";
}

TEST(ArchiveWalk, EachFaultIsNamedWithItsPlaceAndText) {
  // One entry "a" at 36: its size at 38, its info at 42, its chunks from 70.
  const Bytes one = ArchiveBuilder().File("a", "x").Build();
  Bytes undecodable = StoredBlock("abc");
  undecodable[6] = 2;  // a run stage form that is neither stored nor runs
  const FaultCase cases[] = {
      {"shorter than a header", Cut(one, 20), "holds 20 bytes", 0, 0, -1, "", RefusalCode::kNotArchive},
      {"size field past the file's end", ArchiveBuilder().File("a", "x").BuildWithSize(int32_t(one.size()) - 24 + 100),
       "claims 187 bytes but the file holds 87", 0, 0, 20, "", RefusalCode::kTruncated},
      {"wrong magic", WithMagic(one, '1'), "FILE_PACKER 1.00", 0, 0, 0, "書式エラー！",
       RefusalCode::kNotArchive},
      {"size field 0", ArchiveBuilder().File("a", "x").BuildWithSize(0), "size field is 0", 0, 0, 20, "書式エラー！",
       RefusalCode::kImpossibleValues},
      {"coded", ArchiveBuilder().Tag("*XOR").File("a", "x").Build(), "coded", 0, 0, 16, "コーダーエラー！",
       RefusalCode::kCoded},
      {"coded, size field 0x7FFFFFF0", ArchiveBuilder().Tag("*XOR").File("a", "x").BuildWithSize(0x7FFFFFF0), "coded",
       0, 0, 16, "コーダーエラー！", RefusalCode::kCoded},
      {"plain, size field 0x7FFFFFF0", ArchiveBuilder().File("a", "x").BuildWithSize(0x7FFFFFF0), "2 GiB", 0, 0, 20,
       "書式エラー！", RefusalCode::kImpossibleValues},
      {"wrong signature", ArchiveBuilder().Signature("QVL-1999").File("a", "x").Build(), "signature", 0, 0, 24,
       "書式エラー！", RefusalCode::kCoded},
      {"block size cut", EndingAt(ArchiveBuilder(), 32), "block size from offset 32 would pass the end", 0, 0, 32,
       "リードエラー！", RefusalCode::kTruncated},
      {"block size 1023", ArchiveBuilder(1023).File("a", "x").Build(), "1023 is outside", 0, 0, 32, "書式エラー！",
       RefusalCode::kImpossibleValues},
      {"no entries", ArchiveBuilder().Build(), "no bytes to unpack", 0, 0, -1, "", RefusalCode::kNoBytes},
      {"only empty entries", ArchiveBuilder().File("e", "").Build(), "no bytes to unpack", 0, 0, -1, "",
       RefusalCode::kNoBytes},
      {"end marker cut", EndingAt(ArchiveBuilder().File("a", "x"), int32_t(one.size()) - 1),
       "end-of-list marker) from offset 86", 2, 0, 86, "リードエラー！", RefusalCode::kTruncated},
      {"name cut", EndingAt(ArchiveBuilder().File("abc", "x"), 38), "3-byte name", 1, 0, 36, "リードエラー！",
       RefusalCode::kTruncated},
      {"sizes past 2 GiB", ArchiveBuilder().File("a", "x").Entry("b", INT32_MAX).Length(0).Build(), "past 2147483647",
       2, 0, 88, "書式エラー！", RefusalCode::kImpossibleValues},
      {"info record cut", EndingAt(ArchiveBuilder().File("a", "x"), 50), "28-byte info record from offset 42", 1, 0, 42,
       "リードエラー！", RefusalCode::kTruncated},
      {"name too long for the install folder", ArchiveBuilder().File(std::string(236, 'n'), "x").Build(),
       "at most 235", 1, 0, 36, "ライトエラー！", RefusalCode::kNameTooLong},
      {"device name", ArchiveBuilder().File("CON.txt", "x").Build(), "device", 1, 0, 36, "ライトエラー！",
       RefusalCode::kNameRefused},
      {"separator", ArchiveBuilder().File("sub\\f.txt", "x").Build(), "creates no subfolders", 1, 0, 36,
       "ライトエラー！", RefusalCode::kNameSeparator},
      {"character Windows names cannot hold", ArchiveBuilder().File("a?b", "x").Build(), "cannot hold", 1, 0, 36,
       "ライトエラー！", RefusalCode::kNameCharacter},
      {"same file to Windows", ArchiveBuilder().File("ａ", "x").File("Ａ", "y").Build(), "same file as entry 1", 2, 0,
       87, "ライトエラー！", RefusalCode::kSameFile},
      {"chunk length cut", EndingAt(ArchiveBuilder().Entry("a", 1).Raw({0, 0}), 72),
       "4-byte chunk length from offset 70", 1, 1, 70, "リードエラー！", RefusalCode::kTruncated},
      {"chunk of block size + 17", ArchiveBuilder().Entry("a", 5).Length(1041).Raw(Bytes(1041, 'x')).Build(),
       "1041 is above block size + 16 (1040)", 1, 1, 70, "書式エラー！ [セグメントサイズ] a",
       RefusalCode::kImpossibleValues},
      {"chunks ending early", ArchiveBuilder().Entry("a", 10).Chunk(StoredBlock("hello")).Length(0).Build(),
       "after 5 of its 10 bytes", 1, 2, 86, "書式エラー！", RefusalCode::kUndecodable},
      {"chunk data cut", EndingAt(ArchiveBuilder().Entry("a", 3).Length(10).Raw({'x', 'y', 'z'}), 78),
       "10 bytes of data from offset 74",
       1, 1, 70, "リードエラー！", RefusalCode::kTruncated},
      {"chunk that does not decode", ArchiveBuilder().Entry("a", 3).Chunk(undecodable).Length(0).Build(),
       "do not decode", 1, 1, 70, "解凍エラー！ a", RefusalCode::kUndecodable},
      {"chunk past the size", ArchiveBuilder().Entry("a", 3).Chunk(StoredBlock("hello")).Length(0).Build(),
       "decodes to 5 bytes, more than the 3 left", 1, 1, 70, "解凍エラー！ a", RefusalCode::kUndecodable},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.why);
    ArchiveWalk walk;
    WalkArchive(c.archive, WalkMode::kTest, walk);
    EXPECT_FALSE(walk.ok);
    EXPECT_NE(std::string::npos, walk.fault.cause.find(c.cause)) << walk.fault.cause;
    EXPECT_EQ(c.entry, walk.fault.entry);
    EXPECT_EQ(c.chunk, walk.fault.chunk);
    EXPECT_EQ(c.offset, walk.fault.offset);
    EXPECT_EQ(c.outcome, walk.fault.outcome);
    EXPECT_EQ(c.code, walk.fault.code) << RefusalCodeName(walk.fault.code);
    EXPECT_EQ(ExpectedName(c), walk.fault.name);
  }
}

// Names on which the installer's install folder decides: pack refuses them
// before writing, test fails on them, list flags them (or, where the
// extractor itself refuses, stops there), and extract stops at them behind a
// folder as long as the install folder, before its files are asked. One
// table for all four.
TEST(ArchiveWalk, PackTestListAndExtractAgreeOnNames) {
  const struct {
    std::vector<std::string> names;
    const char* refusal;  // a part of the reason; "" when all are accepted
    RefusalCode code;
    RefusalCode walkCode = RefusalCode::kNone;  // test's, list's and extract's when not `code`
  } cases[] = {
      {{"Readme.txt", "Setup.exe"}, "", RefusalCode::kNone},
      {{std::string(235, 'n')}, "", RefusalCode::kNone},
      {{"ソ表ポ.txt"}, "", RefusalCode::kNone},  // second bytes 0x5C and 0x7C are no separator or pipe
      {{"a.txt", "ａ.txt", "ｱ.txt", "ア.txt"}, "", RefusalCode::kNone},
      {{std::string(236, 'n')}, "236 bytes", RefusalCode::kNameTooLong},
      {{"sub\\f.txt"}, "creates no subfolders", RefusalCode::kNameSeparator},
      {{"sub/f.txt"}, "creates no subfolders", RefusalCode::kNameSeparator},
      {{"a?b"}, "cannot hold", RefusalCode::kNameCharacter},
      {{"a|b"}, "cannot hold", RefusalCode::kNameCharacter},
      {{"a<b>"}, "cannot hold", RefusalCode::kNameCharacter},
      {{"CON.txt"}, "device", RefusalCode::kNameRefused},
      {{"trail."}, "ends in", RefusalCode::kNameRefused},
      {{"tab\tname"}, "control byte", RefusalCode::kNameRefused},
      {{"Read.me", "READ.ME"}, "same file", RefusalCode::kSameFile},
      {{"ａ.txt", "Ａ.txt"}, "same file", RefusalCode::kSameFile},
      {{"α.txt", "Α.txt"}, "same file", RefusalCode::kSameFile},
      {{"ж.ini", "Ж.ini"}, "same file", RefusalCode::kSameFile},
      {{"ⅳ.txt", "Ⅳ.txt"}, "same file", RefusalCode::kSameFile},
      // FA 81 is one kanji (冝) to Windows, and what follows it is read alone.
      {{"\xFA\x81|a.txt"}, "cannot hold", RefusalCode::kNameCharacter},
      {{"\xFA\x81\\a.txt"}, "creates no subfolders", RefusalCode::kNameSeparator},
      // pack: a separator; test: the device.
      {{"\xFA\x81\\NUL"}, "its name", RefusalCode::kNameSeparator, RefusalCode::kNameRefused},
      {{"\xFA\x5C.txt"}, "", RefusalCode::kNone},  // 纊.txt: its 5C is no separator
      {{"COM0.txt"}, "device", RefusalCode::kNameRefused},
      {{"lpt0"}, "device", RefusalCode::kNameRefused},
      {{"LongFileName.txt", "LONGFI~1.TXT"}, "short (8.3) name", RefusalCode::kShortName},
      {{"Long File A.txt", "Long File B.txt", "longfi~4.txt"}, "short (8.3) name", RefusalCode::kShortName},
      {{"LONGFI~1.TXT", "LongFileName.txt"}, "", RefusalCode::kNone},  // Windows gives the second ~2
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.names.back());
    const bool accepted = c.refusal[0] == '\0';
    std::vector<PackSource> sources;
    ArchiveBuilder builder;
    for (const std::string& name : c.names) {
      PackSource source;
      source.path = "in/" + name;
      source.storedName = name;
      source.size = 1;
      sources.push_back(source);
      builder.File(name, "x");
    }
    Refusal packed;
    EXPECT_EQ(accepted, CheckPackSources(sources, 1024, packed)) << packed.text;
    EXPECT_NE(std::string::npos, packed.text.find(c.refusal)) << packed.text;
    EXPECT_EQ(c.code, packed.code) << packed.text;
    const RefusalCode walkCode = c.walkCode == RefusalCode::kNone ? c.code : c.walkCode;

    ArchiveWalk test, list;
    WalkArchive(builder.Build(), WalkMode::kTest, test);
    WalkArchive(builder.Build(), WalkMode::kList, list);
    EXPECT_EQ(accepted, test.ok) << test.fault.cause;
    if (!accepted) {
      EXPECT_NE(std::string::npos, test.fault.cause.find(c.refusal)) << test.fault.cause;
      EXPECT_EQ(static_cast<int>(c.names.size()), test.fault.entry);
      EXPECT_EQ(walkCode, test.fault.code) << test.fault.cause;
      const std::string listed = list.ok ? list.entries.back().refusal : list.fault.cause;
      EXPECT_NE(std::string::npos, listed.find(c.refusal)) << listed;
      EXPECT_EQ(walkCode, list.ok ? list.entries.back().refusalCode : list.fault.code) << listed;
    }
    if (list.ok) {
      EXPECT_EQ(c.names.size(), list.entries.size());
      for (size_t i = 0; i + 1 < list.entries.size(); i++) {
        EXPECT_EQ("", list.entries[i].refusal);
        EXPECT_EQ(RefusalCode::kNone, list.entries[i].refusalCode);
      }
    }

    AnyFiles files;
    ArchiveWalk extracted;
    ExtractArchiveInto(builder.Build(), kLongestInstallFolder, files, files.failure, nullptr, extracted);
    EXPECT_EQ(accepted, extracted.ok) << extracted.fault.cause;
    EXPECT_EQ(accepted ? c.names : std::vector<std::string>(c.names.begin(), c.names.end() - 1), files.created);
    if (!accepted) {
      EXPECT_NE(std::string::npos, extracted.fault.cause.find(c.refusal)) << extracted.fault.cause;
      EXPECT_EQ(walkCode, extracted.fault.code) << extracted.fault.cause;
    }
  }
}

TEST(ArchiveWalk, ListRecordsEntriesChunksAndTheFault) {
  const std::string piece(1024, 'p');
  ArchiveBuilder builder;
  builder.File("one.bin", piece + piece + "tail");
  builder.Entry("two.bin", 1030).Chunk(StoredBlock(std::string(1000, 'q'))).Chunk(StoredBlock(std::string(30, 'r')));
  builder.Length(0);
  builder.File("sub\\three", "3");
  ArchiveWalk walk;
  WalkArchive(builder.Build(), WalkMode::kList, walk);
  ASSERT_TRUE(walk.ok) << walk.fault.cause;
  EXPECT_EQ(1024, walk.blockSize);
  ASSERT_EQ(3u, walk.entries.size());
  const WalkedEntry& one = walk.entries[0];
  EXPECT_EQ(2052, one.size);
  ASSERT_EQ(3u, one.chunks.size());
  EXPECT_EQ(1024, one.chunks[1].decoded);
  EXPECT_EQ(4, one.chunks[2].decoded);
  EXPECT_EQ(1024 + 7, one.chunks[0].coded);
  EXPECT_EQ(one.chunks[0].offset + 4 + one.chunks[0].coded, one.chunks[1].offset);
  EXPECT_EQ(1000, walk.entries[1].chunks[0].decoded);
  EXPECT_NE(std::string::npos, walk.entries[2].refusal.find("subfolders"));

  // The same archive cut inside two.bin's second chunk: list keeps what it
  // met before the fault.
  const Bytes whole = builder.Build();
  const int32_t cut = walk.entries[1].chunks[0].offset + 4 + walk.entries[1].chunks[0].coded + 10;
  WalkArchive(Cut(builder.BuildWithSize(cut - 24), static_cast<size_t>(cut)), WalkMode::kList, walk);
  EXPECT_FALSE(walk.ok);
  EXPECT_EQ(2, walk.fault.entry);
  EXPECT_EQ(2, walk.fault.chunk);
  EXPECT_EQ("two.bin", walk.fault.name);
  ASSERT_EQ(2u, walk.entries.size());
  EXPECT_EQ(1u, walk.entries[1].chunks.size());
}

// Every container that ends early, and random changes: the walk fails
// inside the bytes or accepts what adds up, and never reads outside them
// (the asan build checks that).
TEST(ArchiveWalk, AnyBytesAreSafe) {
  ArchiveBuilder builder;
  std::string data;
  for (int i = 0; i < 3000; i++) data += static_cast<char>(i * 7919 % 251);
  builder.File("one.bin", data).File("two.bin", data.substr(0, 1500));
  const Bytes good = builder.Build();
  ArchiveWalk walk;
  WalkArchive(good, WalkMode::kTest, walk);
  ASSERT_TRUE(walk.ok) << walk.fault.cause;

  for (size_t length = 32; length < good.size(); length++) {
    WalkArchive(EndingAt(builder, static_cast<int32_t>(length)), WalkMode::kTest, walk);
    ASSERT_FALSE(walk.ok) << length;
    EXPECT_LE(walk.fault.offset, static_cast<int64_t>(length)) << length;
    EXPECT_FALSE(walk.fault.cause.empty()) << length;
  }
  uint32_t state = 12345;
  for (int round = 0; round < 2000; round++) {
    Bytes bytes = good;
    for (int flips = 0; flips < 1 + round % 4; flips++) {
      state = state * 1103515245 + 12345;
      bytes[(state >> 8) % bytes.size()] ^= static_cast<uint8_t>(1 + (state >> 24) % 255);
    }
    for (WalkMode mode : {WalkMode::kTest, WalkMode::kList}) {
      WalkArchive(bytes, mode, walk);
      if (!walk.ok) {
        EXPECT_FALSE(walk.fault.cause.empty()) << "round " << round;
        EXPECT_LE(walk.fault.offset, static_cast<int64_t>(bytes.size())) << "round " << round;
        continue;
      }
      for (const WalkedEntry& entry : walk.entries) {
        int64_t decoded = 0;
        for (const WalkedChunk& chunk : entry.chunks) decoded += chunk.decoded;
        EXPECT_EQ(entry.size, decoded) << "round " << round;
      }
    }
  }
}

}  // namespace
