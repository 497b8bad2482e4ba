// filepacker installer, run as a process with a hand-made installer program
// as its stub: what it writes, that list, test and extract open the result,
// and that every refusal leaves the folder as it was.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "archive/payload_check.h"
#include "host/input_files.h"
#include "pe/payload_resource.h"
#include "tests/common/test_files.h"
#include "tests/pe/synthetic_pe.h"
#include "tests/tools/filepacker_process.h"
#include "tools/filepacker/embedded_stub.h"

namespace {

using nlohmann::json;

struct Package {
  TempFolder folder;
  std::string source = folder / "src";
  std::string stub = folder / "stub.exe";
  std::string installer = folder / "out.exe";
  std::string setup = "MZ the package's own installer";
  std::string data = RandomBytes(3000, 5);

  Package() {
    MakeFolder(source);
    WriteFileBytes(JoinPath(source, "Setup.exe"), setup);
    WriteFileBytes(JoinPath(source, "data.bin"), data);
    WriteFileBytes(JoinPath(source, NativeJapaneseName()), "text");
    const std::vector<uint8_t> pe = BuildSyntheticPe().bytes;
    WriteFileBytes(stub, std::string(pe.begin(), pe.end()));
  }

  // The archive stores the last access time, which packing moves when it
  // reads the files: the same times again before each run.
  void ResetTimes() const {
    const FileTimes times{FileTimeOfUnixSeconds(1219631017), FileTimeOfUnixSeconds(1218324716)};
    for (const std::string& name : {std::string("Setup.exe"), std::string("data.bin"), NativeJapaneseName()}) {
      SetFileTimes(JoinPath(source, name), times);
    }
  }

  std::vector<std::string> Files() const {
    std::vector<std::string> paths;
    std::string error;
    EXPECT_TRUE(ListFolder(folder.path(), paths, error)) << error;
    return paths;
  }
};

TEST(FilepackerInstaller, FolderBecomesAnInstallerThatListTestAndExtractOpen) {
  Package p;
  p.ResetTimes();
  ProcessResult made = RunFilepacker({"installer", "--json", "-b", "1024", "--stub", p.stub, "-o", p.installer, p.source});
  ASSERT_EQ(0, made.exitCode) << made.err;
  json summary = ParseJson(made);
  EXPECT_EQ(3, summary["files"]);
  EXPECT_EQ(3034, summary["bytes_in"]);
  EXPECT_EQ(ReadFileBytes(p.stub).size(), summary["stub_bytes"].get<size_t>());
  const std::string installer = ReadFileBytes(p.installer);
  EXPECT_EQ(installer.size(), summary["installer_bytes"].get<size_t>());

  // The same archive, packed alone and then wrapped, makes the same bytes.
  std::string archive = p.folder / "same.pak";
  p.ResetTimes();
  ASSERT_EQ(0, RunFilepacker({"pack", "-b", "1024", "-o", archive, p.source}).exitCode);
  EXPECT_EQ(ReadFileBytes(archive).size(), summary["archive_bytes"].get<size_t>());
  std::string wrapped = p.folder / "wrapped.exe";
  ProcessResult wrap = RunFilepacker({"installer", "--stub", p.stub, "--archive", archive, "-o", wrapped});
  ASSERT_EQ(0, wrap.exitCode) << wrap.err;
  EXPECT_EQ(wrapped + ": 3 files, 3034 bytes in, " + std::to_string(ReadFileBytes(archive).size()) +
                " archive bytes",
            wrap.out.substr(0, wrap.out.find(" (ratio")));
  EXPECT_TRUE(ReadFileBytes(wrapped) == installer) << "not byte-identical";

  // Written a piece at a time around the archive, it is the installer made
  // whole in memory.
  const std::string archiveBytes = ReadFileBytes(archive), stubBytes = ReadFileBytes(p.stub);
  const std::vector<uint8_t> packed(archiveBytes.begin(), archiveBytes.end());
  uint8_t check[payload_check::kRecordLength];
  MakePayloadCheck(packed.data(), static_cast<uint32_t>(packed.size()), check);
  PayloadStub stub;
  std::vector<uint8_t> whole;
  PayloadLocation where;
  std::string error;
  ASSERT_TRUE(CheckPayloadStub(std::span(reinterpret_cast<const uint8_t*>(stubBytes.data()), stubBytes.size()), stub,
                               error) &&
              AddPayload(stub, packed, check, whole, where, error))
      << error;
  EXPECT_TRUE(std::string(whole.begin(), whole.end()) == installer) << "not the installer made in memory";

  ProcessResult list = RunFilepacker({"list", "--json", p.installer});
  ASSERT_EQ(0, list.exitCode) << list.err;
  json listed = ParseJson(list);
  EXPECT_EQ("installer", listed["container"]);
  EXPECT_EQ(1041, listed["payload"]["language"]);
  EXPECT_TRUE(ReadFileBytes(archive) == installer.substr(listed["payload"]["offset"].get<size_t>(),
                                                        listed["payload"]["bytes"].get<size_t>()));
  EXPECT_EQ(3u, listed["entries"].size());
  EXPECT_EQ("archive", ParseJson(RunFilepacker({"list", "--json", archive}))["container"]);

  EXPECT_EQ(0, RunFilepacker({"test", p.installer}).exitCode);
  std::string dest = p.folder / "dest";
  MakeFolder(dest);
  ProcessResult extract = RunFilepacker({"extract", p.installer, dest});
  ASSERT_EQ(0, extract.exitCode) << extract.err;
  EXPECT_EQ(p.setup, ReadFileBytes(JoinPath(dest, "Setup.exe")));
  EXPECT_EQ(p.data, ReadFileBytes(JoinPath(dest, "data.bin")));
}

struct Refusal {
  const char* why;
  std::vector<std::string> arguments;  // "@" stands for the test's folder
  int exitCode;
  const char* errMentions;
};

TEST(FilepackerInstaller, RefusalsLeaveTheFolderAsItWas) {
  Package p;
  MakeFolder(p.folder / "nosetup");
  WriteFileBytes(JoinPath(p.folder / "nosetup", "readme.txt"), "only to be unpacked");
  WriteFileBytes(p.folder / "text.exe", "MZ, and nothing of a PE after it");
  WriteFileBytes(p.folder / "junk.pak", "FILE_PACKER 1.00/***\x05");
  WriteFileBytes(p.folder / "existing.exe", "keep me");
  p.ResetTimes();
  ASSERT_EQ(0, RunFilepacker({"installer", "--stub", p.stub, "-o", p.folder / "full.exe", p.source}).exitCode);
  const Refusal cases[] = {
      {"no Setup.exe", {"installer", "--stub", "@/stub.exe", "-o", "@/x.exe", "@/nosetup"}, 2, "Setup.exe"},
      {"existing output", {"installer", "--stub", "@/stub.exe", "-o", "@/existing.exe", "@/src"}, 2, "already exists"},
      {"stub that is no PE", {"installer", "--stub", "@/text.exe", "-o", "@/x.exe", "@/src"}, 1, "cannot take a payload"},
      {"stub with a payload", {"installer", "--stub", "@/full.exe", "-o", "@/x.exe", "@/src"}, 1, "payload already"},
      {"missing stub", {"installer", "--stub", "@/absent.exe", "-o", "@/x.exe", "@/src"}, 2, "absent.exe"},
      {"nothing to carry", {"installer", "--stub", "@/stub.exe", "-o", "@/x.exe"}, 2, "--archive"},
      {"archive and files", {"installer", "--archive", "@/junk.pak", "-o", "@/x.exe", "@/src"}, 2, "excludes"},
      {"broken archive", {"installer", "--stub", "@/stub.exe", "--archive", "@/junk.pak", "-o", "@/x.exe"}, 1, "junk.pak"},
      {"missing input", {"installer", "--stub", "@/stub.exe", "-o", "@/x.exe", "@/absent"}, 2, "absent"},
      {"list of a broken executable", {"list", "@/text.exe"}, 1, "not an installer"},
      {"extract of a stub", {"extract", "@/stub.exe", "@/src"}, 1, "without the resource \"KORMIT\""},
  };
  const std::vector<std::string> before = p.Files();
  for (const Refusal& c : cases) {
    std::vector<std::string> arguments;
    for (std::string argument : c.arguments) {
      if (argument[0] == '@') argument = JoinPath(p.folder.path(), argument.substr(2));
      arguments.push_back(argument);
    }
    ProcessResult result = RunFilepacker(arguments);
    EXPECT_EQ(c.exitCode, result.exitCode) << c.why << "\n" << result.out << result.err;
    EXPECT_NE(std::string::npos, result.err.find(c.errMentions)) << c.why << ": " << result.err;
    EXPECT_EQ(before, p.Files()) << c.why;
  }
  EXPECT_EQ("keep me", ReadFileBytes(p.folder / "existing.exe"));

  EXPECT_EQ(0, RunFilepacker({"installer", "--allow-no-setup", "--stub", p.stub, "-o", p.folder / "x.exe",
                              p.folder / "nosetup"}).exitCode);
  p.ResetTimes();
  EXPECT_EQ(0, RunFilepacker({"installer", "-f", "--stub", p.stub, "-o", p.folder / "existing.exe", p.source}).exitCode);
  EXPECT_TRUE(ReadFileBytes(p.folder / "full.exe") == ReadFileBytes(p.folder / "existing.exe"));
}

// Without --stub the command takes the installer program built into
// filepacker, and says what to do when this build carries none.
TEST(FilepackerInstaller, BuiltInStubOrAClearRequestForOne) {
  Package p;
  ProcessResult result = RunFilepacker({"installer", "-o", p.installer, p.source});
  if (EmbeddedStub().empty()) {
    EXPECT_EQ(2, result.exitCode);
    EXPECT_NE(std::string::npos, result.err.find("--stub")) << result.err;
    EXPECT_FALSE(FileExists(p.installer));
  } else {
    EXPECT_EQ(0, result.exitCode) << result.err;
    EXPECT_EQ(0, RunFilepacker({"test", p.installer}).exitCode);
  }
}

}  // namespace
