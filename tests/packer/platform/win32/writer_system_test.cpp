// Win32: names from the ANSI code page, read through UTF-16.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/escaped_bytes.h"
#include "packer/archive_writer.h"
#include "archive/name_rules.h"
#include "packer/pack_sources.h"
#include "tests/common/test_files.h"
#include "tests/packer/writer_system.h"

std::string NameTheInstallerRefuses() {
  std::string name;
  for (int i = 0; i < 128; i++) name += "ア";
  return name;
}

const bool kAttributesFromPermissions = false;

char32_t SystemUpperCharacter(const std::string& piece, uint32_t ours) {
  wchar_t wide[4];
  const int count = MultiByteToWideChar(932, 0, piece.data(), static_cast<int>(piece.size()), wide, 4);
  EXPECT_EQ(1, count) << EscapedBytes(piece);
  if (ours != 0) {
    EXPECT_EQ(ours, wide[0]) << EscapedBytes(piece);
  }
  CharUpperBuffW(wide, 1);
  return static_cast<char32_t>(wide[0]);
}

namespace {

// A name without a code page 932 form ("é") is an error naming the file.
TEST(WriterRefusal, NameOutsideCodePage932IsAnError) {
  TempFolder folder;
  const std::string narrowFolder = folder.path();
  std::wstring wideFolder(narrowFolder.begin(), narrowFolder.end());
  HANDLE file = CreateFileW((wideFolder + L"\\caf\u00e9.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  CloseHandle(file);
  std::vector<PackSource> sources;
  Refusal refusal;
  EXPECT_FALSE(CollectPackSources({folder.path()}, sources, refusal));
  EXPECT_NE(std::string::npos, refusal.text.find(folder.path())) << refusal.text;
  EXPECT_EQ(RefusalCode::kNoCodePageForm, refusal.code);
}

// The file system itself: for every character that folds to another, a file
// of the one is in the way of creating the other.
TEST(NameRules, TheFileSystemTakesFoldedNamesForOneFile) {
  TempFolder folder;
  int pairs = 0;
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (lead >= 0xA0 && lead <= 0xDF) continue;  // one-byte characters
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      const std::string code = {static_cast<char>(lead), static_cast<char>(trail)};
      const std::string key = WindowsNameKey(code);
      if (key == code) continue;  // unassigned codes too: Windows reads them as "・"
      ++pairs;
      const std::string first = JoinPath(folder.path(), code + ".txt");
      const std::string second = JoinPath(folder.path(), key + ".txt");
      HANDLE file = CreateFileA(first.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
      ASSERT_NE(INVALID_HANDLE_VALUE, file) << first;
      CloseHandle(file);
      file = CreateFileA(second.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
      EXPECT_EQ(INVALID_HANDLE_VALUE, file) << "created beside " << first << ": " << second;
      if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
      DeleteFileA(first.c_str());
      DeleteFileA(second.c_str());
    }
  }
  // 491 by case or as a second copy; 1676 unassigned codes and the 60 with
  // the second byte 7F, which Windows reads as "・".
  EXPECT_EQ(491 + 1676 + 60, pairs);
}

}  // namespace
