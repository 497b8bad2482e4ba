// The installer run from a folder that others may write into, as a browser's
// download folder is: what they leave there or do there meanwhile must not
// get into the installer's process or move its work elsewhere. Under Wine,
// with the driver and fixture of the other end-to-end tests.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/installer/installer_fixture.h"

namespace kormit_test {
namespace {

// DLLs left beside the installer: the two it used to import, and those that
// Wine's and Windows' own libraries load in turn while it runs.
const char* const kPlantedLibraries[] = {"comctl32.dll", "comdlg32.dll", "version.dll", "uxtheme.dll",
                                         "winspool.drv", "imm32.dll",    "msimg32.dll", "shcore.dll",
                                         "zlib1.dll",    "compstui.dll"};
// Wine loads its own builtin libraries first; this has it take a DLL file
// that it finds first, as Windows does with what is not a KnownDLL.
const char kNativeFirst[] = "comctl32,comdlg32,version,uxtheme,winspool.drv,imm32,msimg32,shcore,zlib1,compstui=n,b";

enum class Mode { kInstall, kExtractOnly, kSaveAs };

class DownloadFolderTest : public InstallerTest {
 protected:
  // Starts the installer in `folder` with WINEDLLOVERRIDES extended by
  // `overrides` (when not null) for it alone.
  std::unique_ptr<InstallerRun> Start(const std::string& exe, const std::string& folder, const char* overrides) {
    char before[512] = "";
    GetEnvironmentVariableA("WINEDLLOVERRIDES", before, sizeof before);
    if (overrides != nullptr) {
      SetEnvironmentVariableA("WINEDLLOVERRIDES", (std::string(before) + ";" + overrides).c_str());
    }
    auto run = std::make_unique<InstallerRun>(exe, folder);
    SetEnvironmentVariableA("WINEDLLOVERRIDES", before[0] != '\0' ? before : nullptr);
    return run;
  }

  // The planted DLLs that have run, by the marks they leave.
  std::vector<std::string> MarksIn(const std::string& folder) {
    std::vector<std::string> marks;
    for (const std::string& name : FilesIn(folder)) {
      if (name.size() > 4 && name.compare(name.size() - 4, 4, ".ran") == 0) marks.push_back(name);
    }
    return marks;
  }
};

TEST_F(DownloadFolderTest, NoPlantedLibraryRunsInAnyMode) {
  struct Case {
    Mode mode;
    const char* overrides;
  };
  const Case cases[] = {{Mode::kInstall, kNativeFirst}, {Mode::kExtractOnly, kNativeFirst},
                        {Mode::kSaveAs, kNativeFirst},  {Mode::kInstall, nullptr},
                        {Mode::kExtractOnly, nullptr},  {Mode::kSaveAs, nullptr}};
  int round = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.mode == Mode::kInstall ? "install" : c.mode == Mode::kSaveAs ? "Save-As" : "extract only") +
                 (c.overrides != nullptr ? ", each DLL native first" : ", Wine's own order"));
    const std::string downloads = scratch_ + "\\downloads" + std::to_string(++round);
    ASSERT_TRUE(CreateDirectoryA(downloads.c_str(), nullptr));
    const std::string exe = CopyInstaller(KORMIT_INSTALLER_EXE, downloads, "Kormit_DaduD1e63.exe");
    for (const char* name : kPlantedLibraries) {
      ASSERT_TRUE(CopyFileA(FromBuildPath(KORMIT_PLANTED_LIBRARY).c_str(), (downloads + "\\" + name).c_str(), FALSE));
    }
    const std::string besideIt = downloads + "\\Kormit_DaduD1e63";
    if (c.mode == Mode::kSaveAs) CreateDirectoryA(besideIt.c_str(), nullptr);  // taken: the user is asked
    const std::string installFolder = c.mode == Mode::kInstall ? PrepareUnpackFolders() : "";
    DeleteFileA(record_.c_str());

    const std::unique_ptr<InstallerRun> run = Start(exe, downloads, c.overrides);
    Confirm(*run, /*extractOnly=*/c.mode != Mode::kInstall);
    const std::string chosen = downloads + "\\chosen";
    if (c.mode == Mode::kSaveAs) {
      Answer(*run, "Self Unpack", RetryText(besideIt), IDOK);
      HWND saveAs = run->WaitForSaveAsDialog();
      ASSERT_NE(saveAs, nullptr);
      ASSERT_TRUE(ChooseInSaveAs(saveAs, chosen));
    }
    EXPECT_EQ(run->WaitForExit(), 0u);
    EXPECT_EQ(MarksIn(downloads), std::vector<std::string>{}) << "planted DLLs ran in the installer";
    if (c.mode == Mode::kInstall) {
      EXPECT_EQ(ReadRecords(record_).size(), 1u) << "Setup.exe did not run (once)";
      EXPECT_FALSE(Exists(installFolder));
    } else {
      ExpectPackageIn(c.mode == Mode::kSaveAs ? chosen : besideIt);
    }
  }
}

// A name that code page 932 cannot hold, in the installer's own name or in
// a folder above it. Its ANSI path would hold the character's best fit: a
// yen sign becomes a backslash and moves the folder up and over; "Ü" becomes
// "U", another folder, which someone may have made. Instead the user picks
// the folder, as when the one beside the installer cannot be made.
TEST_F(DownloadFolderTest, NameThatCodePage932CannotHoldLetsTheUserPick) {
  struct Case {
    const char* what;
    const wchar_t* folder;      // under the scratch folder; empty: the scratch folder itself
    const wchar_t* name;        // the installer's file name
    const char* bestFitFolder;  // where its best-fit path would extract to, under the scratch folder
    const char* madeByOthers;   // a folder that someone made there beforehand, or null
  };
  const Case cases[] = {
      {"a yen sign", L"", L"Kormit\u00A5..\u00A5moved.exe", "moved", nullptr},
      {"letters with diaereses", L"\u00DCn\u00EF", L"Kormit_test.exe", "Uni\\Kormit_test", "Uni"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::wstring folder = Widen(scratch_) + (c.folder[0] != L'\0' ? L"\\" + std::wstring(c.folder) : L"");
    CreateDirectoryW(folder.c_str(), nullptr);
    if (c.madeByOthers != nullptr) CreateDirectoryA((scratch_ + "\\" + c.madeByOthers).c_str(), nullptr);
    const std::wstring exe = folder + L"\\" + c.name;
    ASSERT_TRUE(CopyFileW(Widen(FromBuildPath(KORMIT_INSTALLER_EXE)).c_str(), exe.c_str(), FALSE));

    InstallerRun run(exe, scratch_);
    Confirm(run, /*extractOnly=*/true);
    Answer(run, "Self Unpack", RetryText(""), IDOK);  // no path of its own to name
    HWND saveAs = run.WaitForSaveAsDialog();
    ASSERT_NE(saveAs, nullptr);
    const std::string chosen = scratch_ + "\\chosen-" + (c.madeByOthers != nullptr ? "2" : "1");
    ASSERT_TRUE(ChooseInSaveAs(saveAs, chosen));
    EXPECT_EQ(run.WaitForExit(), 0u);
    ExpectPackageIn(chosen);
    EXPECT_FALSE(Exists(scratch_ + "\\" + c.bestFitFolder)) << "extracted by the name's best fit";
  }
}

// A Windows program tries to move the extract folder aside while the
// installer still works in it, here while the failure box of a damaged
// payload waits before the clean-up, and to put another folder in its place:
// a link's target, as far as the clean-up can tell (Wine gives a Windows
// program no junction to make). The folder is held, so neither can happen,
// and the clean-up touches nothing but the folder's own files.
TEST_F(DownloadFolderTest, FolderInUseCannotBeSwappedForAnother) {
  const std::string exe = CopyInstaller(KORMIT_DAMAGED_EXE, scratch_, "Kormit_damaged.exe");
  const std::string folder = scratch_ + "\\Kormit_damaged";
  const std::string aside = scratch_ + "\\moved-aside";
  InstallerRun run(exe, scratch_);
  Confirm(run, /*extractOnly=*/true);
  std::string shown;
  HWND box = run.WaitForMessageBox("Self Unpack", &shown);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(shown, kFailureTextExtractOnly);
  ASSERT_FALSE(FilesIn(folder).empty()) << "the first files should be there before the failure";

  const bool moved = MoveFileA(folder.c_str(), aside.c_str()) != 0;
  const DWORD error = GetLastError();
  if (moved) {
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    WriteWholeFile(folder + "\\keep.txt", "not the package's");
  }
  ASSERT_TRUE(PressButton(box, IDOK));
  EXPECT_EQ(run.WaitForExit(), 0u);
  EXPECT_FALSE(moved) << "the folder was moved while the installer worked in it";
  if (moved) {
    EXPECT_TRUE(Exists(folder + "\\keep.txt")) << "the clean-up deleted a file the package never had";
  } else {
    EXPECT_TRUE(error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED) << "error " << error;
    EXPECT_FALSE(Exists(folder)) << "the partial folder stayed";
  }
}

}  // namespace
}  // namespace kormit_test
