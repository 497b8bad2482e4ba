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

#include "tests/installer/installer_fixture.h"

namespace kormit_test {
namespace {

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
