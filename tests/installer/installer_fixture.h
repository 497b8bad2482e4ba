// What the tests of the real installer under Wine share: its texts, the
// files and Setup.exe's record that a run leaves, and the fixture that
// copies the installer into a fresh folder, starts it and answers its
// dialogs.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/installer/installer_driver.h"

namespace kormit_test {

inline constexpr char kRetryText[] =
    "既に存在しているか、アクセス権がないなどの理由で、\n解凍先ディレクトリ [ %s ] を\n作成できませんん。\n"
    "他のディレクトリを選択してください。";
inline constexpr char kAbandonedText[] = "Kormit Ver 1.63 の解凍を中止します。";
inline constexpr char kNeedAdministratorText[] = "管理者権限(administrator)を持ったユーザーで、ログオンして実行してください。";
inline constexpr char kFailureTextExtractOnly[] = "解凍できません！";
inline constexpr char kDamagedText[] = "ファイルが壊れています。\nKormit Ver 1.63 の解凍を中止します。";
inline constexpr char kFailureTextInstall[] =
    "解凍できません！\n管理者権限(administrator)を持ったユーザーで、ログオンして実行してください。";

inline std::string WindowsFolder() {
  char buffer[MAX_PATH];
  GetWindowsDirectoryA(buffer, MAX_PATH);
  return buffer;
}

inline bool SamePath(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

inline std::string ReadWholeFile(const std::string& path) {
  std::string bytes;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  char chunk[65536];
  DWORD got = 0;
  while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
  CloseHandle(file);
  return bytes;
}

// One line that the sample Setup.exe appended: its path, its current
// directory and when it ran.
struct SetupRecord {
  std::string program;
  std::string currentFolder;
  std::string time;
};

inline std::vector<SetupRecord> ReadRecords(const std::string& path) {
  std::vector<SetupRecord> records;
  const std::string text = ReadWholeFile(path);
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    const std::string line = text.substr(start, end - start);
    const size_t tab1 = line.find('\t');
    const size_t tab2 = line.find('\t', tab1 + 1);
    if (tab1 == std::string::npos || tab2 == std::string::npos) continue;
    records.push_back({line.substr(0, tab1), line.substr(tab1 + 1, tab2 - tab1 - 1), line.substr(tab2 + 1)});
  }
  return records;
}

// Every file of `source` is in `folder`, with the same bytes, last-write
// time and attributes, and nothing else is.
inline void ExpectSameFiles(const std::string& folder, const std::string& stage) {
  std::vector<std::string> expected = FilesIn(stage);
  std::vector<std::string> found = FilesIn(folder);
  std::sort(expected.begin(), expected.end());
  std::sort(found.begin(), found.end());
  ASSERT_EQ(found, expected) << "in " << folder;
  for (const std::string& name : expected) {
    WIN32_FILE_ATTRIBUTE_DATA want, got;
    ASSERT_TRUE(GetFileAttributesExA((stage + "\\" + name).c_str(), GetFileExInfoStandard, &want));
    ASSERT_TRUE(GetFileAttributesExA((folder + "\\" + name).c_str(), GetFileExInfoStandard, &got));
    EXPECT_EQ(got.dwFileAttributes, want.dwFileAttributes) << name;
    EXPECT_EQ(CompareFileTime(&got.ftLastWriteTime, &want.ftLastWriteTime), 0) << name;
    EXPECT_EQ(got.nFileSizeLow, want.nFileSizeLow) << name;
    EXPECT_TRUE(ReadWholeFile(folder + "\\" + name) == ReadWholeFile(stage + "\\" + name)) << name << " differs";
  }
}

// The staged sample package, all 31 files of it.
inline void ExpectPackageIn(const std::string& folder) {
  ASSERT_EQ(FilesIn(FromBuildPath(KORMIT_SAMPLE_STAGE)).size(), 31u);
  ExpectSameFiles(folder, FromBuildPath(KORMIT_SAMPLE_STAGE));
}

inline void WriteWholeFile(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  ASSERT_EQ(written, bytes.size()) << path;
}

class InstallerTest : public testing::Test {
 protected:
  void SetUp() override {
    scratch_ = MakeScratchFolder(testing::UnitTest::GetInstance()->current_test_info()->name());
    record_ = scratch_ + "\\setup-record.txt";
    SetEnvironmentVariableA("KORMIT_SETUP_RECORD", record_.c_str());
    SetEnvironmentVariableA("KORMIT_SETUP_DELAY_MS", nullptr);
  }
  void TearDown() override {
    SetEnvironmentVariableA("KORMIT_SETUP_RECORD", nullptr);
    SetEnvironmentVariableA("KORMIT_SETUP_DELAY_MS", nullptr);
    for (const std::string& folder : madeUnpackFolders_) RemoveTree(folder);
    if (!keepScratch_) RemoveTree(scratch_);
  }

  // Under `make demo` the extracted folder stays, and its path is left in
  // <KORMIT_DEMO_PAUSE_DIR>\extracted.txt for the demo to list.
  void KeepForDemo(const std::string& folder) {
    char demo[MAX_PATH];
    if (GetEnvironmentVariableA("KORMIT_DEMO_PAUSE_DIR", demo, MAX_PATH) == 0) return;
    keepScratch_ = true;
    HANDLE file = CreateFileA((std::string(demo) + "\\extracted.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    if (file != INVALID_HANDLE_VALUE) {
      WriteFile(file, folder.data(), static_cast<DWORD>(folder.size()), &written, nullptr);
      CloseHandle(file);
    }
  }

  // A copy of a built installer in `folder` under `name`.
  std::string CopyInstaller(const char* built, const std::string& folder, const std::string& name) {
    const std::string copy = folder + "\\" + name;
    EXPECT_TRUE(CopyFileA(FromBuildPath(built).c_str(), copy.c_str(), FALSE)) << copy;
    return copy;
  }

  // Starts the installer and answers the confirmation dialog.
  void Confirm(InstallerRun& run, bool extractOnly, bool start = true) {
    HWND confirm = run.WaitForConfirmDialog();
    ASSERT_NE(confirm, nullptr);
    if (extractOnly) {
      ASSERT_TRUE(PressButton(confirm, 1005, "解凍のみ"));
      for (int i = 0; i < 500 && SendMessageA(GetDlgItem(confirm, 1005), BM_GETCHECK, 0, 0) != BST_CHECKED; ++i) Sleep(10);
      ASSERT_EQ(SendMessageA(GetDlgItem(confirm, 1005), BM_GETCHECK, 0, 0), BST_CHECKED);
    }
    DemoPause("confirm");
    if (start) {
      ASSERT_TRUE(PressButton(confirm, IDOK, "開始"));
    } else {
      ASSERT_TRUE(PressButton(confirm, IDCANCEL, "ｷｬﾝｾﾙ"));
    }
  }

  // Answers a message box, after checking its caption and text.
  void Answer(InstallerRun& run, const char* caption, const std::string& text, int button) {
    std::string shown;
    HWND box = run.WaitForMessageBox(caption, &shown);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(shown, text);
    ASSERT_TRUE(PressButton(box, button));
    // The click is posted: until the box has gone, a later look for message
    // boxes would find this one again.
    for (int i = 0; i < 500 && IsWindow(box); ++i) Sleep(10);
    EXPECT_FALSE(IsWindow(box)) << "the message box stayed after its button was pressed";
  }

  std::string RetryText(const std::string& path) {
    char text[1024];
    wsprintfA(text, kRetryText, path.c_str());
    return text;
  }

  // UnpackDir1 and UnpackDir2 made present (the second one not empty); the
  // folder the installer should take next.
  std::string PrepareUnpackFolders() {
    const std::string windows = WindowsFolder();
    for (int n = 1; n <= 2; ++n) {
      const std::string folder = windows + "\\UnpackDir" + std::to_string(n);
      if (!Exists(folder) && CreateDirectoryA(folder.c_str(), nullptr)) madeUnpackFolders_.push_back(folder);
    }
    const std::string marker = windows + "\\UnpackDir2\\left-by-someone.txt";
    if (!Exists(marker)) {
      HANDLE file = CreateFileA(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
      if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
    int n = 1;
    while (Exists(windows + "\\UnpackDir" + std::to_string(n))) ++n;
    return windows + "\\UnpackDir" + std::to_string(n);
  }

  std::vector<std::string> UnpackFolders() {
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE walk = FindFirstFileA((WindowsFolder() + "\\UnpackDir*").c_str(), &entry);
    if (walk == INVALID_HANDLE_VALUE) return names;
    do names.push_back(entry.cFileName);
    while (FindNextFileA(walk, &entry));
    FindClose(walk);
    std::sort(names.begin(), names.end());
    return names;
  }

  // Without a payload to extract, the job shows the failure box and ends;
  // the dialog and the (empty) folder stay until the user closes the dialog.
  void ExpectFailureWithoutExtracting(const char* source, const std::string& name) {
    const std::string exe = CopyInstaller(source, scratch_, name + ".exe");
    InstallerRun run(exe, scratch_);
    Confirm(run, /*extractOnly=*/true);
    Answer(run, "Self Unpack", kFailureTextExtractOnly, IDOK);
    HWND progress = run.WaitForProgressDialog();
    ASSERT_NE(progress, nullptr);
    Sleep(200);
    EXPECT_FALSE(run.HasEnded());
    PostMessageA(progress, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(run.WaitForExit(), 0u);
    EXPECT_TRUE(IsFolder(scratch_ + "\\" + name));
    EXPECT_TRUE(FilesIn(scratch_ + "\\" + name).empty());
  }

  std::string scratch_;
  std::string record_;
  std::vector<std::string> madeUnpackFolders_;
  bool keepScratch_ = false;
};

}  // namespace kormit_test
