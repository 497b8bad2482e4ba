// The real installer, run under Wine as a user would run it: each scenario
// copies the executable into a fresh folder, starts it, answers its dialogs
// and checks what is on disk afterwards, what the package's Setup.exe
// recorded (KORMIT_SETUP_RECORD) and the exit code.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/installer/installer_driver.h"

namespace kormit_test {
namespace {

const char kRetryText[] =
    "既に存在しているか、アクセス権がないなどの理由で、\n解凍先ディレクトリ [ %s ] を\n作成できませんん。\n"
    "他のディレクトリを選択してください。";
const char kAbandonedText[] = "Kormit Ver 1.63 の解凍を中止します。";
const char kNeedAdministratorText[] = "管理者権限(administrator)を持ったユーザーで、ログオンして実行してください。";
const char kFailureTextExtractOnly[] = "解凍できません！";
const char kDamagedText[] = "ファイルが壊れています。\nKormit Ver 1.63 の解凍を中止します。";
const char kFailureTextInstall[] =
    "解凍できません！\n管理者権限(administrator)を持ったユーザーで、ログオンして実行してください。";

std::string WindowsFolder() {
  char buffer[MAX_PATH];
  GetWindowsDirectoryA(buffer, MAX_PATH);
  return buffer;
}

// The Windows that Wine plays: the version matrix of ctest sets each
// version's prefix with winecfg and names it in KORMIT_WINDOWS.
struct WindowsVersion {
  const char* name;
  DWORD platform;
  DWORD major;
  DWORD minor;
};
const WindowsVersion kWindowsVersions[] = {
    {"winxp", VER_PLATFORM_WIN32_NT, 5, 1},
    {"win7", VER_PLATFORM_WIN32_NT, 6, 1},
    {"win10", VER_PLATFORM_WIN32_NT, 10, 0},
    {"win98", VER_PLATFORM_WIN32_WINDOWS, 4, 10},
};

// The version as Wine reports it, read through ntdll: on 8.1 and later
// GetVersionEx reports Windows 8 to a program without a manifest that names
// them, such as this test program.
OSVERSIONINFOW ReportedWindows() {
  typedef LONG(WINAPI * GetVersionFunction)(OSVERSIONINFOW*);
  OSVERSIONINFOW info = {};
  info.dwOSVersionInfoSize = sizeof info;
  const auto get = reinterpret_cast<GetVersionFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlGetVersion")));
  if (get != nullptr) get(&info);
  return info;
}

bool SamePath(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

std::string ReadWholeFile(const std::string& path) {
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

std::vector<SetupRecord> ReadRecords(const std::string& path) {
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
void ExpectSameFiles(const std::string& folder, const std::string& stage) {
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
void ExpectPackageIn(const std::string& folder) {
  ASSERT_EQ(FilesIn(FromBuildPath(KORMIT_SAMPLE_STAGE)).size(), 31u);
  ExpectSameFiles(folder, FromBuildPath(KORMIT_SAMPLE_STAGE));
}

void WriteWholeFile(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  ASSERT_EQ(written, bytes.size()) << path;
}

// Runs the Windows filepacker with `arguments` and returns its exit code.
DWORD RunFilepacker(const std::string& arguments) {
  std::string commandLine = "\"" + FromBuildPath(KORMIT_FILEPACKER_EXE) + "\" " + arguments;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION packer;
  if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &packer)) {
    ADD_FAILURE() << "cannot start " << commandLine;
    return STILL_ACTIVE;
  }
  DWORD code = STILL_ACTIVE;
  if (WaitForSingleObject(packer.hProcess, 120000) == WAIT_OBJECT_0) GetExitCodeProcess(packer.hProcess, &code);
  CloseHandle(packer.hThread);
  CloseHandle(packer.hProcess);
  return code;
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

TEST_F(InstallerTest, CancelInTheConfirmationCreatesNothing) {
  const std::vector<std::string> unpackBefore = UnpackFolders();
  const std::string exe = CopyInstaller(KORMIT_INSTALLER_EXE, scratch_, "Kormit_DaduD1e63.exe");
  InstallerRun run(exe, scratch_);
  Confirm(run, /*extractOnly=*/true, /*start=*/false);
  EXPECT_EQ(run.WaitForExit(), 0u);
  EXPECT_EQ(FilesIn(scratch_), std::vector<std::string>{"Kormit_DaduD1e63.exe"});
  EXPECT_FALSE(Exists(scratch_ + "\\Kormit_DaduD1e63"));
  EXPECT_EQ(UnpackFolders(), unpackBefore);
}

TEST_F(InstallerTest, ExtractOnlyKeepsEveryFileBesideTheExecutable) {
  const std::vector<std::string> unpackBefore = UnpackFolders();
  const std::string exe = CopyInstaller(KORMIT_INSTALLER_EXE, scratch_, "Kormit_DaduD1e63.exe");
  InstallerRun run(exe, scratch_);
  Confirm(run, /*extractOnly=*/true);
  if (GetEnvironmentVariableA("KORMIT_DEMO_PAUSE_DIR", nullptr, 0) > 0) {
    // For the pictures of `make demo`: the job stands still meanwhile.
    if (HWND progress = run.WaitForProgressDialog()) {
      run.HoldOtherThreads(progress, true);
      DemoPause("progress");
      run.HoldOtherThreads(progress, false);
    }
  }
  EXPECT_EQ(run.WaitForExit(), 0u);
  ExpectPackageIn(scratch_ + "\\Kormit_DaduD1e63");
  KeepForDemo(scratch_ + "\\Kormit_DaduD1e63");
  EXPECT_FALSE(Exists(record_)) << "Setup.exe ran in extract-only mode";
  EXPECT_EQ(UnpackFolders(), unpackBefore) << "the Windows directory was touched";
}

TEST_F(InstallerTest, SecondExtractOnlyRunAsksForAnotherFolder) {
  const std::string exe = CopyInstaller(KORMIT_INSTALLER_EXE, scratch_, "Kormit_DaduD1e63.exe");
  {
    InstallerRun first(exe, scratch_);
    Confirm(first, /*extractOnly=*/true);
    ASSERT_EQ(first.WaitForExit(), 0u);
  }
  InstallerRun second(exe, scratch_);
  Confirm(second, /*extractOnly=*/true);
  Answer(second, "Self Unpack", RetryText(scratch_ + "\\Kormit_DaduD1e63"), IDOK);
  HWND saveAs = second.WaitForSaveAsDialog();
  ASSERT_NE(saveAs, nullptr);
  const std::string chosen = scratch_ + "\\chosen";
  ASSERT_TRUE(ChooseInSaveAs(saveAs, chosen));
  EXPECT_EQ(second.WaitForExit(), 0u);
  ExpectPackageIn(chosen);
  ExpectPackageIn(scratch_ + "\\Kormit_DaduD1e63");  // the first run's files stay as they were
}

TEST_F(InstallerTest, GivingUpOnAnotherFolderStops) {
  // Either answer that gives up: Cancel in the retry message, or in the
  // Save-As dialog. Both end with the stop message and exit code 0.
  for (const bool cancelInSaveAs : {false, true}) {
    SCOPED_TRACE(cancelInSaveAs ? "Cancel in the Save-As dialog" : "Cancel in the retry message");
    const std::string folder = scratch_ + (cancelInSaveAs ? "\\b" : "\\a");
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string exe = CopyInstaller(KORMIT_INSTALLER_EXE, folder, "Kormit_DaduD1e63.exe");
    CreateDirectoryA((folder + "\\Kormit_DaduD1e63").c_str(), nullptr);  // already there
    InstallerRun run(exe, folder);
    Confirm(run, /*extractOnly=*/true);
    Answer(run, "Self Unpack", RetryText(folder + "\\Kormit_DaduD1e63"), cancelInSaveAs ? IDOK : IDCANCEL);
    if (cancelInSaveAs) {
      HWND saveAs = run.WaitForSaveAsDialog();
      ASSERT_NE(saveAs, nullptr);
      ASSERT_TRUE(PressButton(saveAs, IDCANCEL));
    }
    Answer(run, "Self Unpack", kAbandonedText, IDOK);
    EXPECT_EQ(run.WaitForExit(), 0u);
    EXPECT_TRUE(FilesIn(folder + "\\Kormit_DaduD1e63").empty());
  }
}

TEST_F(InstallerTest, ExtractFolderStaysBesideAnExecutableWithoutExtension) {
  // The dot of "my.tools" is not the executable's extension: the folder to
  // make is the executable's own path, which exists as a file, so the user
  // is asked; nothing may appear at "<scratch>\my".
  const std::string folder = scratch_ + "\\my.tools";
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string exe = CopyInstaller(KORMIT_INSTALLER_EXE, folder, "kormit");
  InstallerRun run(exe, scratch_);
  ASSERT_TRUE(run.started());
  Confirm(run, /*extractOnly=*/true);
  Answer(run, "Self Unpack", RetryText(folder + "\\kormit"), IDCANCEL);
  Answer(run, "Self Unpack", kAbandonedText, IDOK);
  EXPECT_EQ(run.WaitForExit(), 0u);
  EXPECT_FALSE(Exists(scratch_ + "\\my"));
}

TEST_F(InstallerTest, InstallModeRunsSetupThenRemovesTheFolder) {
  const std::string expectedFolder = PrepareUnpackFolders();
  SetEnvironmentVariableA("KORMIT_SETUP_DELAY_MS", "3000");
  const std::string current = scratch_ + "\\current";
  CreateDirectoryA(current.c_str(), nullptr);
  const std::string exe = CopyInstaller(KORMIT_INSTALLER_EXE, scratch_, "Kormit_DaduD1e63.exe");
  InstallerRun run(exe, current);
  Confirm(run, /*extractOnly=*/false);

  // Setup.exe writes its line first and then waits: meanwhile every file is
  // complete and the installer is waiting for it.
  for (int i = 0; i < 2000 && ReadRecords(record_).empty() && !run.HasEnded(); ++i) Sleep(10);
  const std::vector<SetupRecord> records = ReadRecords(record_);
  ASSERT_EQ(records.size(), 1u) << "Setup.exe did not run (once)";
  EXPECT_TRUE(SamePath(records[0].program, expectedFolder + "\\Setup.exe")) << records[0].program;
  // In its own folder, not in the installer's current one.
  EXPECT_TRUE(SamePath(records[0].currentFolder, expectedFolder)) << records[0].currentFolder;
  EXPECT_FALSE(run.HasEnded()) << "the installer did not wait for Setup.exe";
  ExpectPackageIn(expectedFolder);
  // The extractor's progress reached the dialog, up to the last chunk.
  HWND bar = GetDlgItem(run.WaitForProgressDialog(), 1001);
  for (int i = 0; i < 200 && SendMessageA(bar, PBM_GETPOS, 0, 0) != 100; ++i) Sleep(10);
  EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 100);

  EXPECT_EQ(run.WaitForExit(), 0u);
  EXPECT_FALSE(Exists(expectedFolder)) << "the unpacked files were left behind";
  EXPECT_TRUE(IsFolder(WindowsFolder() + "\\UnpackDir1"));
  EXPECT_TRUE(Exists(WindowsFolder() + "\\UnpackDir2\\left-by-someone.txt"));
  EXPECT_EQ(ReadRecords(record_).size(), 1u);
}

// An install folder that cannot be made (a plain file holds the name that
// the installer takes next): the NT family asks for an administrator, the
// 9x family, which has no accounts, gives up. Under the version matrix the
// prefix must report the version that it was set to.
TEST_F(InstallerTest, BlockedInstallFolderGivesTheFamilysMessage) {
  const OSVERSIONINFOW reported = ReportedWindows();
  char expected[16] = "";
  if (GetEnvironmentVariableA("KORMIT_WINDOWS", expected, sizeof expected) > 0) {
    const WindowsVersion* version = nullptr;
    for (const WindowsVersion& candidate : kWindowsVersions) {
      if (std::string(candidate.name) == expected) version = &candidate;
    }
    ASSERT_NE(version, nullptr) << "KORMIT_WINDOWS=" << expected << " is no version of the matrix";
    EXPECT_EQ(reported.dwPlatformId, version->platform) << expected;
    EXPECT_EQ(reported.dwMajorVersion, version->major) << expected;
    EXPECT_EQ(reported.dwMinorVersion, version->minor) << expected;
  }
  const bool nt = reported.dwPlatformId == VER_PLATFORM_WIN32_NT;

  const std::string blocked = PrepareUnpackFolders();
  madeUnpackFolders_.push_back(blocked);
  HANDLE file = CreateFileA(blocked.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << blocked;
  CloseHandle(file);
  const std::string exe = CopyInstaller(KORMIT_INSTALLER_EXE, scratch_, "Kormit_DaduD1e63.exe");
  InstallerRun run(exe, scratch_);
  Confirm(run, /*extractOnly=*/false);
  if (nt) {
    Answer(run, "Self Unpack - Kormit", kNeedAdministratorText, IDOK);
  } else {
    Answer(run, "Self Unpack", kAbandonedText, IDOK);
  }
  EXPECT_EQ(run.WaitForExit(), 0u);
  EXPECT_FALSE(IsFolder(blocked));
  EXPECT_FALSE(Exists(record_)) << "Setup.exe ran";
}

TEST_F(InstallerTest, DamagedPayloadShowsTheFailureAndRemovesThePartialFolder) {
  const std::string current = scratch_;
  const std::string exe = CopyInstaller(KORMIT_DAMAGED_EXE, scratch_, "Kormit_damaged.exe");
  for (const bool extractOnly : {true, false}) {
    SCOPED_TRACE(extractOnly ? "extract only" : "install");
    const std::string folder = extractOnly ? scratch_ + "\\Kormit_damaged" : PrepareUnpackFolders();
    InstallerRun run(exe, current);
    Confirm(run, extractOnly);
    Answer(run, "Self Unpack", extractOnly ? kFailureTextExtractOnly : kFailureTextInstall, IDOK);
    EXPECT_EQ(run.WaitForExit(), 0u);
    EXPECT_FALSE(Exists(folder)) << "the partial folder stayed";
  }
  EXPECT_FALSE(Exists(record_)) << "Setup.exe ran after a failed extraction";
}

// Counts the visible top-level windows of a process other than one.
struct WindowCount {
  DWORD process;
  HWND except;
  int count;
};

BOOL CALLBACK CountVisibleWindow(HWND window, LPARAM context) {
  WindowCount& search = *reinterpret_cast<WindowCount*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search.process && window != search.except && IsWindowVisible(window)) search.count++;
  return TRUE;
}

int OtherVisibleWindows(DWORD process, HWND except) {
  WindowCount search{process, except, 0};
  EnumWindows(CountVisibleWindow, reinterpret_cast<LPARAM>(&search));
  return search.count;
}

// One flipped bit in a chunk: the start-up check refuses the installer with
// one box before anything is asked, and nothing is made or run, in neither
// mode's folder.
TEST_F(InstallerTest, CorruptPayloadIsRefusedBeforeAnythingIsAsked) {
  const std::vector<std::string> unpackBefore = UnpackFolders();
  const std::string exe = CopyInstaller(KORMIT_CORRUPT_EXE, scratch_, "Kormit_corrupt.exe");
  InstallerRun run(exe, scratch_);
  std::string shown;
  HWND box = run.WaitForMessageBox("Self Unpack", &shown);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(shown, kDamagedText);
  EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr) << "the box has an owner";
  EXPECT_EQ(OtherVisibleWindows(run.processId(), box), 0) << "a dialog stands beside the box";
  ASSERT_TRUE(PressButton(box, IDOK));
  EXPECT_EQ(run.WaitForExit(), 0u);
  EXPECT_EQ(UnpackFolders(), unpackBefore);
  EXPECT_FALSE(Exists(scratch_ + "\\Kormit_corrupt"));
  EXPECT_FALSE(Exists(record_)) << "Setup.exe ran";
}

TEST_F(InstallerTest, ClosingTheProgressWindowWhileSetupRunsEndsCleanly) {
  const std::string expectedFolder = PrepareUnpackFolders();
  SetEnvironmentVariableA("KORMIT_SETUP_DELAY_MS", "2500");
  const std::string exe = CopyInstaller(KORMIT_INSTALLER_EXE, scratch_, "Kormit_DaduD1e63.exe");
  InstallerRun run(exe, scratch_);
  Confirm(run, /*extractOnly=*/false);
  HWND progress = run.WaitForProgressDialog();
  ASSERT_NE(progress, nullptr);
  for (int i = 0; i < 2000 && ReadRecords(record_).empty() && !run.HasEnded(); ++i) Sleep(10);
  ASSERT_EQ(ReadRecords(record_).size(), 1u);

  // The close box, while the job waits for Setup.exe and still has to tell
  // the dialog "please wait", clean up and close.
  PostMessageA(progress, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(run.WaitForExit(), 0u);
  EXPECT_FALSE(Exists(expectedFolder)) << "the job was cut off before its cleanup";
}

// A packager's own folder, Japanese names among its files, made into an
// installer by the Windows filepacker with the program that it carries: it
// installs and it extracts as the built installer does.
TEST_F(InstallerTest, InstallerMadeFromAFolderInstallsAndExtracts) {
  const std::string package = scratch_ + "\\パッケージ";
  ASSERT_TRUE(CreateDirectoryA(package.c_str(), nullptr));
  ASSERT_TRUE(CopyFileA((FromBuildPath(KORMIT_SAMPLE_STAGE) + "\\Setup.exe").c_str(),
                        (package + "\\Setup.exe").c_str(), FALSE));
  WriteWholeFile(package + "\\説明書.txt", "インストールの前にお読みください。\r\n");
  WriteWholeFile(package + "\\ｶﾅ設定.ini", "[Kormit]\r\nVolume=80\r\n");
  std::string data;
  for (uint32_t i = 0, x = 1; i < 300000; ++i, x = x * 1103515245 + 12345) data += static_cast<char>(x >> 24 & 0x3F);
  WriteWholeFile(package + "\\データ.bin", data);  // two chunks
  const std::string exe = scratch_ + "\\Made.exe";
  ASSERT_EQ(RunFilepacker("installer -o \"" + exe + "\" \"" + package + "\""), 0u);

  {
    SCOPED_TRACE("install");
    const std::string expectedFolder = PrepareUnpackFolders();
    SetEnvironmentVariableA("KORMIT_SETUP_DELAY_MS", "2000");
    InstallerRun run(exe, scratch_);
    Confirm(run, /*extractOnly=*/false);
    for (int i = 0; i < 2000 && ReadRecords(record_).empty() && !run.HasEnded(); ++i) Sleep(10);
    const std::vector<SetupRecord> records = ReadRecords(record_);
    ASSERT_EQ(records.size(), 1u) << "Setup.exe did not run (once)";
    EXPECT_TRUE(SamePath(records[0].program, expectedFolder + "\\Setup.exe")) << records[0].program;
    ExpectSameFiles(expectedFolder, package);
    EXPECT_EQ(run.WaitForExit(), 0u);
    EXPECT_FALSE(Exists(expectedFolder)) << "the unpacked files were left behind";
  }
  {
    SCOPED_TRACE("extract only");
    InstallerRun run(exe, scratch_);
    Confirm(run, /*extractOnly=*/true);
    EXPECT_EQ(run.WaitForExit(), 0u);
    ExpectSameFiles(scratch_ + "\\Made", package);
  }
}

// A signature after the last section changes nothing for the installer.
TEST_F(InstallerTest, SignedInstallerExtracts) {
  const std::string exe = CopyInstaller(KORMIT_SIGNED_EXE, scratch_, "Kormit_signed.exe");
  InstallerRun run(exe, scratch_);
  Confirm(run, /*extractOnly=*/true);
  EXPECT_EQ(run.WaitForExit(), 0u);
  ExpectPackageIn(scratch_ + "\\Kormit_signed");
}

TEST_F(InstallerTest, MissingPayloadShowsTheFailureAndKeepsTheDialog) {
  ExpectFailureWithoutExtracting(KORMIT_BARE_EXE, "Kormit_bare");
}

// A payload that claims more bytes than its resource holds is never read:
// it counts as one that cannot be loaded.
TEST_F(InstallerTest, PayloadLongerThanItsResourceIsNeverRead) {
  ExpectFailureWithoutExtracting(KORMIT_OVERLONG_EXE, "Kormit_overlong");
}

}  // namespace
}  // namespace kormit_test
