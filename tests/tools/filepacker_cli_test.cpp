// filepacker run as a process: round trips through pack, list, test and
// extract, the exit statuses, the JSON shapes, where test places a fault, and
// names that test, list and extract must judge alike.
#include <gtest/gtest.h>

#include <cstring>
#include <nlohmann/json.hpp>

#include "tests/archive/extract_archive_builder.h"
#include "tests/common/test_files.h"
#include "tests/pe/synthetic_pe.h"
#include "tests/tools/filepacker_process.h"

namespace {

using nlohmann::json;

std::string U8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

int32_t Int32At(const std::string& bytes, size_t at) {
  int32_t value;
  std::memcpy(&value, bytes.data() + at, 4);
  return value;
}

// Offsets of the chunk length fields of every entry, walking the archive.
std::vector<std::vector<size_t>> ChunkOffsets(const std::string& archive) {
  std::vector<std::vector<size_t>> entries;
  size_t at = 36;
  while (at < archive.size() && archive[at] != 0) {
    at += 1 + static_cast<uint8_t>(archive[at]) + 32;
    std::vector<size_t> chunks;
    for (;;) {
      chunks.push_back(at);
      int32_t length = Int32At(archive, at);
      at += 4;
      if (length <= 0) break;
      at += static_cast<size_t>(length);
    }
    entries.push_back(chunks);
  }
  return entries;
}

// A package of three files: random bytes over three chunks of 1024, a
// read-only text with a Japanese name, and an empty file.
struct Package {
  TempFolder folder;
  std::string source = folder / "src";
  std::string archive = folder / "out.pak";
  std::string binary = RandomBytes(2500, 3);
  std::string text = "Kormit 1.63\nReadme\n";
  FileTimes times{FileTimeOfUnixSeconds(1219631017), FileTimeOfUnixSeconds(1218324716)};

  Package() {
    MakeFolder(source);
    WriteFileBytes(JoinPath(source, "b.bin"), binary);
    WriteFileBytes(JoinPath(source, NativeJapaneseName()), text);
    WriteFileBytes(JoinPath(source, "empty.txt"), "");
    for (const char* name : {"b.bin", "empty.txt"}) SetFileTimes(JoinPath(source, name), times);
    SetFileTimes(JoinPath(source, NativeJapaneseName()), times);
    SetReadOnly(JoinPath(source, NativeJapaneseName()));
  }

  ProcessResult Pack() { return RunFilepacker({"pack", "-b", "1024", "-o", archive, source}); }
};

TEST(FilepackerCli, PackListTestExtractKeepContentsTimesAndAttributes) {
  Package package;
  ProcessResult pack = package.Pack();
  ASSERT_EQ(0, pack.exitCode) << pack.err;
  EXPECT_NE(std::string::npos, pack.out.find("3 files")) << pack.out;
  EXPECT_NE(std::string::npos, pack.out.find("2519 bytes in")) << pack.out;

  ProcessResult list = RunFilepacker({"list", "--json", package.archive});
  ASSERT_EQ(0, list.exitCode) << list.err;
  json listed = ParseJson(list);
  ASSERT_EQ(3u, listed["entries"].size());
  // A folder's files in byte order of their names.
  EXPECT_EQ("b.bin", listed["entries"][0]["name"]);
  EXPECT_EQ("empty.txt", listed["entries"][1]["name"]);
  EXPECT_EQ(U8(u8"ソフト.txt"), listed["entries"][2]["name"]);
  EXPECT_EQ(2500, listed["entries"][0]["size"]);
  ASSERT_EQ(3u, listed["entries"][0]["chunks"].size());
  EXPECT_EQ(0u, listed["entries"][1]["chunks"].size());
  EXPECT_EQ(1u, listed["entries"][2]["chunks"].size());
  EXPECT_EQ(1024, listed["entries"][0]["chunks"][1]["decoded"]);
  EXPECT_EQ(452, listed["entries"][0]["chunks"][2]["decoded"]);
  EXPECT_EQ(36 + 1 + 5 + 32, listed["entries"][0]["chunks"][0]["offset"]);
  EXPECT_EQ("fixed", listed["entries"][0]["cut"]);
  EXPECT_EQ("AR", listed["entries"][2]["attribute_letters"]);
  EXPECT_EQ(package.times.lastWrite, listed["entries"][2]["filetimes"][2].get<uint64_t>());
  EXPECT_EQ(package.times.lastWrite, listed["entries"][0]["filetimes"][1].get<uint64_t>());
  EXPECT_EQ(3, listed["totals"]["files"]);
  EXPECT_EQ(2519, listed["totals"]["size"]);
  EXPECT_EQ(4, listed["totals"]["chunks"]);

  ProcessResult test = RunFilepacker({"test", "--json", package.archive});
  EXPECT_EQ(0, test.exitCode) << test.out << test.err;
  json tested = ParseJson(test);
  EXPECT_EQ(true, tested["ok"]);
  EXPECT_TRUE(tested["fault"].is_null());

  std::string dest = package.folder / "dest";
  MakeFolder(dest);
  ProcessResult extract = RunFilepacker({"extract", "--json", package.archive, dest});
  ASSERT_EQ(0, extract.exitCode) << extract.out << extract.err;
  json extracted = ParseJson(extract);
  EXPECT_EQ((json{{"ok", true},
                  {"files", 3},
                  {"bytes", ReadFileBytes(package.archive).size()},
                  {"coder_error", false},
                  {"message", U8(u8"解凍完了！ ファイル数:3")},
                  {"fault", nullptr}}),
            extracted);

  for (const std::string& name : {std::string("b.bin"), NativeJapaneseName(), std::string("empty.txt")}) {
    // Times first: reading the contents could move the access time.
    FileTimes times = GetFileTimes(JoinPath(dest, name));
    EXPECT_EQ(package.times.lastWrite, times.lastWrite) << name;
    EXPECT_EQ(package.times.lastWrite, times.lastAccess) << name;
  }
  EXPECT_EQ(package.binary, ReadFileBytes(JoinPath(dest, "b.bin")));
  EXPECT_EQ(package.text, ReadFileBytes(JoinPath(dest, NativeJapaneseName())));
  EXPECT_TRUE(FileExists(JoinPath(dest, "empty.txt")));
  EXPECT_TRUE(IsReadOnly(JoinPath(dest, NativeJapaneseName())));
  EXPECT_FALSE(IsReadOnly(JoinPath(dest, "b.bin")));
}

TEST(FilepackerCli, TextOutputsNameTheOutcome) {
  Package package;
  ASSERT_EQ(0, package.Pack().exitCode);
  ProcessResult test = RunFilepacker({"test", package.archive});
  EXPECT_EQ(0, test.exitCode);
  EXPECT_EQ("OK: 3 entries, 2519 bytes in 4 chunks\nan archive carries no checksum: only its decoding was checked\n", test.out);

  ProcessResult list = RunFilepacker({"list", package.archive});
  EXPECT_EQ(0, list.exitCode);
  EXPECT_NE(std::string::npos, list.out.find(ConsoleText(u8"ソフト.txt", "ソフト.txt"))) << list.out;
  EXPECT_NE(std::string::npos, list.out.find("3 files, block size 1024")) << list.out;

  std::string dest = package.folder / "dest";
  MakeFolder(dest);
  ProcessResult extract = RunFilepacker({"extract", package.archive, dest});
  EXPECT_EQ(0, extract.exitCode);
  EXPECT_EQ(ConsoleText(u8"解凍完了！ ファイル数:3", "解凍完了！ ファイル数:3") + "\n", extract.out);
  EXPECT_EQ("", extract.err) << "no progress bar unless stderr is a terminal";
}

// A chunk that does not decode: test and extract name the entry, the
// chunk, its offset, the cause and the extractor's text.
TEST(FilepackerCli, CorruptedChunkIsPlacedExactly) {
  Package package;
  ASSERT_EQ(0, package.Pack().exitCode);
  std::string archive = ReadFileBytes(package.archive);
  size_t chunk = ChunkOffsets(archive)[0][1];
  // The block's decoded-length field: far above what a block may hold.
  std::memcpy(archive.data() + chunk + 4, "\xFF\xFF\xFF\x7F", 4);
  WriteFileBytes(package.archive, archive);

  const json expectedFault = {{"name", "b.bin"},
                              {"entry", 1},
                              {"chunk", 2},
                              {"offset", chunk},
                              {"cause", "its 1031 bytes do not decode as a block (codec result 0)"},
                              {"code", "undecodable"},
                              {"message", U8(u8"解凍エラー！ b.bin")}};
  const std::string expectedText = "filepacker: b.bin (entry 1, chunk 2, offset " + std::to_string(chunk) +
                                   "): its 1031 bytes do not decode as a block (codec result 0) [" +
                                   ConsoleText(u8"解凍エラー！ b.bin", "解凍エラー！ b.bin") + "]\n";
  ProcessResult test = RunFilepacker({"test", "--json", package.archive});
  EXPECT_EQ(1, test.exitCode);
  json tested = ParseJson(test);
  EXPECT_EQ(false, tested["ok"]);
  EXPECT_EQ(expectedFault, tested["fault"]);
  EXPECT_EQ(expectedText, test.err);

  ProcessResult text = RunFilepacker({"test", package.archive});
  EXPECT_EQ(1, text.exitCode);
  EXPECT_EQ("", text.out);
  EXPECT_EQ(expectedText, text.err);

  std::string dest = package.folder / "dest";
  MakeFolder(dest);
  ProcessResult extract = RunFilepacker({"extract", "--json", package.archive, dest});
  EXPECT_EQ(1, extract.exitCode);
  json extracted = ParseJson(extract);
  EXPECT_EQ(false, extracted["ok"]);
  EXPECT_EQ(0, extracted["files"]);
  EXPECT_EQ(U8(u8"解凍エラー！ b.bin"), extracted["message"]);
  EXPECT_EQ(expectedFault, extracted["fault"]);
  EXPECT_EQ(expectedText, extract.err);
}

// extract says why the system refused a file, beside the extractor's text.
TEST(FilepackerCli, ExtractGivesTheSystemsCause) {
  Package package;
  ASSERT_EQ(0, package.Pack().exitCode);
  std::string dest = package.folder / "dest";
  MakeFolder(dest);
  WriteFileBytes(JoinPath(dest, "empty.txt"), "in the way");
  ProcessResult extract = RunFilepacker({"extract", package.archive, dest});
  EXPECT_EQ(1, extract.exitCode);
  const size_t secondEntry = ChunkOffsets(ReadFileBytes(package.archive))[0][3] + 4;
  EXPECT_EQ("filepacker: empty.txt (entry 2, offset " + std::to_string(secondEntry) +
                "): cannot create: a file of that name exists [" + ConsoleText(u8"ライトエラー！", "ライトエラー！") + "]\n",
            extract.err);
  EXPECT_EQ("in the way", ReadFileBytes(JoinPath(dest, "empty.txt")));
}

// Names the writer would never store, made by patching an archive: one the
// extractor itself refuses stops list and test there; one that only an
// install folder refuses is flagged by list, which goes on, and fails test.
TEST(FilepackerCli, RefusedNamesAreFlagged) {
  TempFolder folder;
  WriteFileBytes(folder / "COMX.txt", "device");
  std::string archivePath = folder / "out.pak";
  ASSERT_EQ(0, RunFilepacker({"pack", "-o", archivePath, folder / "COMX.txt"}).exitCode);
  const std::string packed = ReadFileBytes(archivePath);
  ASSERT_EQ("COMX.txt", packed.substr(37, 8));

  std::string device = packed;
  device[40] = '1';
  WriteFileBytes(archivePath, device);
  for (const char* command : {"list", "test"}) {
    ProcessResult result = RunFilepacker({command, "--json", archivePath});
    EXPECT_EQ(1, result.exitCode) << command;
    json parsed = ParseJson(result);
    EXPECT_EQ("COM1.txt", parsed["fault"]["name"]) << command;
    EXPECT_EQ(36, parsed["fault"]["offset"]) << command;
    EXPECT_EQ("name_refused", parsed["fault"]["code"]) << command;
    EXPECT_NE(std::string::npos, result.err.find("names a device")) << command << ": " << result.err;
  }

  std::string separator = packed;
  separator[38] = '\\';
  WriteFileBytes(archivePath, separator);
  ProcessResult list = RunFilepacker({"list", "--json", archivePath});
  EXPECT_EQ(0, list.exitCode);
  json listed = ParseJson(list);
  EXPECT_EQ(true, listed["entries"][0]["refused"]);
  EXPECT_EQ("name_separator", listed["entries"][0]["refusal_code"]);
  EXPECT_EQ(1, listed["totals"]["refused"]);
  EXPECT_NE(std::string::npos, list.err.find("refused")) << list.err;
  ProcessResult test = RunFilepacker({"test", archivePath});
  EXPECT_EQ(1, test.exitCode);
  EXPECT_NE(std::string::npos, test.err.find("C\\MX.txt (entry 1, offset 36): its name holds \"\\\"")) << test.err;
}

constexpr char kSameFile[] = "Windows takes it for the same file as entry 1, created before it";

// Names the writer would never store, in archives made by hand: test, list
// and extract judge each the same, in the same words, on every system, and
// extract stops where the installer would.
TEST(FilepackerCli, TestListAndExtractStopWhereTheInstallerWould) {
  const struct {
    std::vector<std::string> names;
    int refusedEntry;  // 0: every name is installed
    const char* cause;
    const char* code;
  } cases[] = {
      {{"a.txt", "A.TXT"}, 2, kSameFile, "same_file"},
      {{"LongFileName.txt", "LONGFI~1.TXT"}, 2,
       "its name is a short (8.3) name that Windows may give entry 1, created before it", "short_name"},
      {{"a\x85\x40.txt", "a\x81\x45.txt"}, 2, kSameFile, "same_file"},  // unassigned: read as "・"
      {{"\xEB\x40", "\x87\x9F"}, 2, kSameFile, "same_file"},
      {{"a?.txt"}, 1, "its name holds \"?\", which a Windows file name cannot hold", "name_character"},
      {{"\x80.txt", "a\xA0", "\xFD\xFE\xFF", "x\x81\xAD"}, 0, "", nullptr},  // each a character of its own
  };
  TempFolder folder;
  const std::string archive = folder / "names.pak";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.names.back());
    archive_test::ArchiveBuilder builder;
    for (const std::string& name : c.names) builder.File(name, "x");
    const archive_test::Bytes bytes = builder.Build();
    ASSERT_TRUE(WriteFileBytes(archive, std::string(bytes.begin(), bytes.end())));
    const std::string dest = folder / ("dest" + std::to_string(&c - cases));
    ASSERT_TRUE(MakeFolder(dest));
    const ProcessResult test = RunFilepacker({"test", "--json", archive});
    const ProcessResult list = RunFilepacker({"list", "--json", archive});
    const ProcessResult extract = RunFilepacker({"extract", "--json", archive, dest});
    EXPECT_EQ(c.refusedEntry == 0 ? 0 : 1, test.exitCode) << test.err;
    EXPECT_EQ(test.exitCode, extract.exitCode) << extract.err;
    EXPECT_EQ(0, list.exitCode) << list.err;
    EXPECT_EQ(test.err, extract.err);
    json tested = ParseJson(test), listed = ParseJson(list), extracted = ParseJson(extract);
    EXPECT_EQ(tested["fault"], extracted["fault"]);
    const size_t kept = c.refusedEntry == 0 ? c.names.size() : static_cast<size_t>(c.refusedEntry - 1);
    EXPECT_EQ(kept, FolderEntries(dest).size());
    if (c.refusedEntry == 0) {
      EXPECT_EQ(0, listed["totals"]["refused"]);
      for (const json& entry : listed["entries"]) EXPECT_TRUE(entry["refusal_code"].is_null());
    } else {
      EXPECT_EQ(c.refusedEntry, tested["fault"]["entry"]);
      EXPECT_EQ(c.cause, tested["fault"]["cause"]);
      EXPECT_EQ(c.code, tested["fault"]["code"]);
      EXPECT_EQ(c.cause, listed["entries"][c.refusedEntry - 1]["refusal"]);
      EXPECT_EQ(c.code, listed["entries"][c.refusedEntry - 1]["refusal_code"]);
    }
  }
}

struct ExitCase {
  const char* why;
  std::vector<std::string> arguments;  // "@" stands for the test's folder
  int exitCode;
  const char* errMentions;  // on stderr, after "filepacker: "; "" for none
  const char* jsonCode = nullptr;  // with --json, the failure's "code"
};

TEST(FilepackerCli, ExitStatuses) {
  Package package;
  ASSERT_EQ(0, package.Pack().exitCode);
  const std::string& dir = package.folder.path();
  WriteFileBytes(package.folder / "junk.pak", "FILE_PACKER 1.00/***\x05");
  WriteFileBytes(package.folder / "short.pak", std::string("FILE_PACKER 1.00/***\xff\x00\x00\x00QVL-2000", 32));
  MakeFolder(package.folder / "nested");
  MakeFolder(JoinPath(package.folder / "nested", "inner"));
  MakeFolder(package.folder / "dest");
  const std::vector<uint8_t> stub = BuildSyntheticPe().bytes;
  WriteFileBytes(package.folder / "stub.exe", std::string(stub.begin(), stub.end()));
  const char* const isInput = "one of those it is made from";
  std::vector<ExitCase> cases = {
      {"help", {"--help"}, 0, ""},
      {"version", {"--version"}, 0, ""},
      {"no command", {}, 2, "filepacker: "},
      {"unknown command", {"frobnicate"}, 2, "filepacker: "},
      {"pack without -o", {"pack", "@/src"}, 2, "filepacker: "},
      {"block size below range", {"pack", "-b", "1023", "-o", "@/x.pak", "@/src"}, 2, "filepacker: "},
      {"block size not a number", {"pack", "-b", "big", "-o", "@/x.pak", "@/src"}, 2, "filepacker: "},
      {"missing input", {"pack", "-o", "@/x.pak", "@/absent.txt"}, 2, "absent.txt"},
      {"existing archive", {"pack", "-o", "@/out.pak", "@/src"}, 2, "out.pak"},
      {"existing archive, forced", {"pack", "-f", "-o", "@/out.pak", "@/src"}, 0, ""},
      {"folder in a folder", {"pack", "-o", "@/y.pak", "@/nested"}, 2, "inner"},
      {"list of a missing archive", {"list", "@/absent.pak"}, 2, "absent.pak"},
      {"test of a missing archive", {"test", "@/absent.pak"}, 2, "absent.pak"},
      {"list of a folder", {"list", "@/src"}, 2, "src"},
      {"list of a broken archive", {"list", "@/junk.pak"}, 1, "junk.pak"},
      {"test of a broken archive", {"test", "@/junk.pak"}, 1, "junk.pak"},
      {"extract of a broken archive", {"extract", "@/junk.pak", "@/dest"}, 1, "junk.pak"},
      {"extract past the file's end", {"extract", "@/short.pak", "@/dest"}, 1,
       "size field claims 279 bytes but the file holds 32"},
      {"extract into a missing folder", {"extract", "@/out.pak", "@/absent"}, 2, "absent"},
      {"extract without a folder", {"extract", "@/out.pak"}, 2, "filepacker: "},
      // Only a regular file is read (hostile-inputs tries a FIFO).
      {"list of a device", {"list", KORMIT_NULL_DEVICE}, 2, "not a regular file"},
      {"installer of a device", {"installer", "--stub", KORMIT_NULL_DEVICE, "-o", "@/o.exe", "@/src"}, 2,
       "not a regular file"},
      // -f replaces an output, but never one that it is made from.
      {"pack over a file it packs", {"pack", "-f", "-o", "@/src/b.bin", "@/src"}, 2, isInput},
      {"installer over its archive", {"installer", "-f", "--stub", "@/stub.exe", "--archive", "@/out.pak", "-o",
                                      "@/out.pak"}, 2, isInput},
      {"installer over its program", {"installer", "-f", "--stub", "@/stub.exe", "-o", "@/stub.exe", "@/src"}, 2,
       isInput},
      // With --json, one object on stdout whatever the failure and the bytes of the names in it.
      {"list --json of a name not UTF-8", {"list", "--json", "@/x\xFF.pak"}, 2, ".pak", "unreadable"},
      {"test --json of a name not UTF-8", {"test", "--json", "@/x\xFF.pak"}, 2, ".pak", "unreadable"},
      {"extract --json of a name not UTF-8", {"extract", "--json", "@/x\xFF.pak", "@/dest"}, 2, ".pak", "unreadable"},
      {"installer --json of a name not UTF-8",
       {"installer", "--json", "--archive", "@/x\xFF.pak", "-o", "@/o.exe"}, 2, ".pak", "unreadable"},
      {"list --json of no installer", {"list", "--json", "@/stub.exe"}, 1, "not an installer", "no_payload"},
      // Each refusal of the page's own words, with its code.
      {"extract --json into a missing folder", {"extract", "--json", "@/out.pak", "@/absent"}, 2, "absent", "usage"},
      {"installer --json of a folder in a folder", {"installer", "--json", "--stub", "@/stub.exe", "-o", "@/o.exe",
                                                    "@/nested"}, 2, "inner", "subfolder"},
      {"installer --json without Setup.exe", {"installer", "--json", "--stub", "@/stub.exe", "-o", "@/o.exe",
                                              "@/out.pak"}, 2, "Setup.exe", "no_setup"},
      {"installer --json of a broken archive", {"installer", "--json", "--stub", "@/stub.exe", "--archive",
                                                "@/short.pak", "-o", "@/o.exe"}, 1, "refuses it", "truncated"},
  };
  if (kNamesHoldAnyByte) {
    // Names with control bytes, which Windows names cannot hold, are shown as
    // names read from archives are.
    const std::string hostile = "\x1B]0;owned\x07\xC2\x9B";
    MakeFolder(package.folder / "linked");
    ASSERT_TRUE(MakeSymbolicLink(JoinPath(dir, hostile), JoinPath(package.folder / "linked", "link")));
    WriteFileBytes(package.folder / "x\xFF", "no code page 932 name");
    const char* const shown = "\\x1B]0;owned\\x07\\xC2\\x9B";
    cases.push_back({"a link to a hostile name", {"pack", "-o", "@/z.pak", "@/linked"}, 2, shown});
    cases.push_back({"a hostile output in the summary", {"pack", "-o", "@/" + hostile, "@/src"}, 0, ""});
    cases.push_back({"installer --json of a file named not UTF-8",
                     {"installer", "--json", "--stub", "@/stub.exe", "-o", "@/o.exe", "@/x\xFF"}, 2, "x\\xFF",
                     "no_code_page_form"});
  }
  for (const ExitCase& c : cases) {
    std::vector<std::string> arguments;
    for (std::string argument : c.arguments) {
      if (argument[0] == '@') argument = JoinPath(dir, argument.substr(2));
      arguments.push_back(argument);
    }
    ProcessResult result = RunFilepacker(arguments);
    EXPECT_EQ(c.exitCode, result.exitCode) << c.why << "\n" << result.out << result.err;
    EXPECT_EQ(std::string::npos, (result.out + result.err).find_first_of("\x1B\x07")) << c.why;
    if (c.exitCode != 0 && arguments.size() > 1 && arguments[1] == "--json") {
      const json parsed = ParseJson(result);
      EXPECT_TRUE(parsed.is_object() && !parsed.value("ok", true) && parsed.contains("error")) << c.why;
      ASSERT_NE(nullptr, c.jsonCode) << c.why;
      EXPECT_EQ(c.jsonCode, parsed.value("code", "")) << c.why;
    }
    if (c.errMentions[0] != '\0') {
      EXPECT_EQ(0u, result.err.find("filepacker: ")) << c.why << ": " << result.err;
      EXPECT_NE(std::string::npos, result.err.find(c.errMentions)) << c.why << ": " << result.err;
    }
  }
  EXPECT_FALSE(FileExists(package.folder / "x.pak"));
  EXPECT_FALSE(FileExists(package.folder / "y.pak"));
  EXPECT_FALSE(FileExists(package.folder / "o.exe"));
  EXPECT_EQ(package.binary, ReadFileBytes(JoinPath(package.source, "b.bin")));
  EXPECT_EQ("FILE_PACKER", ReadFileBytes(package.folder / "out.pak").substr(0, 11));
  EXPECT_EQ(std::string(stub.begin(), stub.end()), ReadFileBytes(package.folder / "stub.exe"));
  EXPECT_NE(std::string::npos, RunFilepacker({"--version"}).out.find("1.63"));
  EXPECT_NE(std::string::npos, RunFilepacker({"--help"}).out.find("extract"));
}

// The format's offsets are signed 32-bit: a file of 2 GiB is refused before
// it is read.
TEST(FilepackerCli, ArchiveOf2GiBIsRefused) {
  TempFolder folder;
  ASSERT_TRUE(MakeSparseFile(folder / "huge.pak", int64_t{1} << 31));
  for (const char* command : {"extract", "list", "test"}) {
    std::vector<std::string> arguments = {command, folder / "huge.pak"};
    if (std::string(command) == "extract") arguments.push_back(folder.path());
    ProcessResult result = RunFilepacker(arguments);
    EXPECT_EQ(1, result.exitCode) << command;
    EXPECT_NE(std::string::npos, result.err.find("2 GiB")) << command << ": " << result.err;
    EXPECT_NE(std::string::npos, result.err.find("huge.pak")) << command << ": " << result.err;
  }
}

TEST(FilepackerCli, FailedExtractionGivesOneJsonObject) {
  TempFolder folder;
  WriteFileBytes(folder / "junk.pak", "not an archive at all, but long enough");
  ProcessResult result = RunFilepacker({"extract", "--json", folder / "junk.pak", folder.path()});
  EXPECT_EQ(1, result.exitCode);
  json parsed = ParseJson(result);
  EXPECT_EQ((json{{"ok", false}, {"files", 0}, {"bytes", 0}, {"coder_error", false},
                  {"message", U8(u8"書式エラー！")}}),
            json({{"ok", parsed["ok"]}, {"files", parsed["files"]}, {"bytes", parsed["bytes"]},
                  {"coder_error", parsed["coder_error"]}, {"message", parsed["message"]}}));
  EXPECT_EQ(0, parsed["fault"]["offset"]);
  EXPECT_EQ(U8(u8"書式エラー！"), parsed["fault"]["message"]);

  std::string coded = "FILE_PACKER 1.00ABCD" + std::string("\x10\x00\x00\x00", 4) + "xxxxxxxx" +
                      std::string("\x40\x0D\x03\x00", 4) + std::string(4, '\0');
  WriteFileBytes(folder / "coded.pak", coded);
  result = RunFilepacker({"extract", "--json", folder / "coded.pak", folder.path()});
  EXPECT_EQ(1, result.exitCode);
  parsed = ParseJson(result);
  EXPECT_EQ(true, parsed["coder_error"]);
  EXPECT_EQ(U8(u8"コーダーエラー！"), parsed["message"]);
}

}  // namespace
