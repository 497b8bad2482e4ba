// An installer's payload check as filepacker reads it: a bit flipped
// anywhere in the carried archive, or in the check itself, is refused by
// test and extract before anything is decoded or written; a whole installer
// and one made without a check pass, each saying what was checked.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "host/input_files.h"
#include "pe/payload_resource.h"
#include "tests/common/test_files.h"
#include "tests/pe/synthetic_pe.h"
#include "tests/tools/filepacker_process.h"

namespace {

using nlohmann::json;

struct Made {
  TempFolder folder;
  std::string stub = folder / "stub.exe";
  std::string installer = folder / "whole.exe";
  std::vector<uint8_t> bytes;
  PayloadLocation where;

  Made() {
    const std::string source = folder / "src";
    MakeFolder(source);
    WriteFileBytes(JoinPath(source, "Setup.exe"), "MZ the package's own installer");
    WriteFileBytes(JoinPath(source, "data.bin"), RandomBytes(3000, 9));
    const std::vector<uint8_t> pe = BuildSyntheticPe().bytes;
    WriteFileBytes(stub, std::string(pe.begin(), pe.end()));
    ProcessResult made = RunFilepacker({"installer", "-b", "1024", "--stub", stub, "-o", installer, source});
    EXPECT_EQ(0, made.exitCode) << made.err;
    const std::string file = ReadFileBytes(installer);
    bytes.assign(file.begin(), file.end());
    std::string error;
    EXPECT_TRUE(FindPayload(bytes, where, error)) << error;
    EXPECT_TRUE(where.checked);
  }

  // A copy with one bit of the file flipped.
  std::string Flipped(uint32_t offset, int bit) const {
    std::string copy(bytes.begin(), bytes.end());
    copy[offset] = static_cast<char>(copy[offset] ^ (1 << bit));
    const std::string path = folder / ("flipped-" + std::to_string(offset) + ".exe");
    WriteFileBytes(path, copy);
    return path;
  }
};

TEST(FilepackerIntegrity, EveryFlippedBitIsRefusedBeforeAnythingIsWritten) {
  Made m;
  const uint32_t at = m.where.offset;
  const uint32_t name = at + 37;  // the first entry's name
  const uint32_t firstChunk = name + m.bytes[at + 36] + 32;  // its first chunk's length
  struct Flip {
    const char* where;
    uint32_t offset;
    int bit;
  };
  const Flip flips[] = {
      {"magic", at + 2, 0},
      {"size field", at + 20, 3},
      {"signature", at + 26, 7},
      {"block size", at + 33, 1},
      {"name", name + 1, 5},
      {"unpacked size", name + m.bytes[at + 36], 0},
      {"write time", name + m.bytes[at + 36] + 26, 4},
      {"chunk length", firstChunk, 2},
      {"chunk data", firstChunk + 40, 6},
      {"last byte", at + m.where.size - 1, 0},
      {"the check's CRC", m.where.checkOffset + 9, 3},
  };
  for (const Flip& flip : flips) {
    const std::string damaged = m.Flipped(flip.offset, flip.bit);
    ProcessResult test = RunFilepacker({"test", damaged});
    EXPECT_EQ(1, test.exitCode) << flip.where << "\n" << test.out;
    EXPECT_NE(std::string::npos, test.err.find("the payload is damaged")) << flip.where << ": " << test.err;
    const std::string dest = m.folder / "dest";
    MakeFolder(dest);
    ProcessResult extract = RunFilepacker({"extract", damaged, dest});
    EXPECT_EQ(1, extract.exitCode) << flip.where;
    std::vector<std::string> written;
    std::string error;
    EXPECT_TRUE(ListFolder(dest, written, error)) << error;
    EXPECT_TRUE(written.empty()) << flip.where << ": extract wrote " << written.size() << " files";
  }

  // Named with both values; in JSON too.
  ProcessResult json = RunFilepacker({"test", "--json", m.Flipped(firstChunk + 40, 6)});
  EXPECT_EQ(1, json.exitCode);
  const auto tested = ParseJson(json);
  EXPECT_FALSE(tested["ok"].get<bool>());
  EXPECT_TRUE(tested["check"]["carried"].get<bool>());
  EXPECT_FALSE(tested["check"]["holds"].get<bool>());
  EXPECT_NE(tested["check"]["expected"], tested["check"]["computed"]);
  EXPECT_NE(std::string::npos, json.err.find("expects CRC-32 " + tested["check"]["expected"].get<std::string>()))
      << json.err;
  EXPECT_NE(std::string::npos, json.err.find("give CRC-32 " + tested["check"]["computed"].get<std::string>()))
      << json.err;
  // The installer's two-line text, readable on one line.
  EXPECT_EQ(std::string::npos, json.err.find("\\x")) << json.err;
}

TEST(FilepackerIntegrity, WholeAndUncheckedInstallersPassSayingWhatWasChecked) {
  Made m;
  ProcessResult whole = RunFilepacker({"test", m.installer});
  EXPECT_EQ(0, whole.exitCode) << whole.err;
  EXPECT_NE(std::string::npos, whole.out.find("\npayload check holds: CRC-32 ")) << whole.out;
  const auto listed = ParseJson(RunFilepacker({"list", "--json", m.installer}));
  EXPECT_TRUE(listed["check"]["holds"].get<bool>());
  EXPECT_EQ(listed["check"]["expected"], listed["check"]["computed"]);
  EXPECT_EQ(m.where.size, listed["check"]["covered"].get<uint32_t>());

  // As an earlier filepacker made it: the same payload, no check beside it.
  PayloadStub stub;
  std::string error;
  const std::string stubFile = ReadFileBytes(m.stub);
  const std::vector<uint8_t> stubBytes(stubFile.begin(), stubFile.end());
  ASSERT_TRUE(CheckPayloadStub(stubBytes, stub, error)) << error;
  const std::span<const uint8_t> payload(m.bytes.data() + m.where.offset, m.where.size);
  std::vector<uint8_t> unchecked;
  PayloadLocation where;
  ASSERT_TRUE(AddPayload(stub, payload, {}, unchecked, where, error)) << error;
  const std::string path = m.folder / "unchecked.exe";
  WriteFileBytes(path, std::string(unchecked.begin(), unchecked.end()));
  ProcessResult test = RunFilepacker({"test", path});
  EXPECT_EQ(0, test.exitCode) << test.err;
  EXPECT_NE(std::string::npos, test.out.find("carries no payload check")) << test.out;
  const auto plain = ParseJson(RunFilepacker({"list", "--json", path}));
  EXPECT_FALSE(plain["check"]["carried"].get<bool>());
  EXPECT_TRUE(plain["check"]["holds"].is_null());

  // Wrapping it again gives it a check, and the very installer made above.
  const std::string again = m.folder / "again.exe";
  ASSERT_EQ(0, RunFilepacker({"installer", "--stub", m.stub, "--archive", path, "-o", again}).exitCode);
  EXPECT_TRUE(ReadFileBytes(again) == ReadFileBytes(m.installer));
  // A damaged one is not wrapped.
  ProcessResult wrap = RunFilepacker({"installer", "--stub", m.stub, "--archive", m.Flipped(m.where.offset + 50, 1),
                                      "-o", m.folder / "never.exe"});
  EXPECT_EQ(1, wrap.exitCode);
  EXPECT_FALSE(FileExists(m.folder / "never.exe"));
}

}  // namespace
