// The installer program's rules that the rest of the project must know to
// agree with it: where it unpacks, how long a path it holds, under which
// resource it finds its payload, and how a clash of two names is put in
// words. Constants only, so that the installer pays nothing for sharing
// them: the installer uses them, the packager and the inspection engine
// judge by them, the PE writer stores the payload where the installer looks.
#pragma once

#include <cstdint>

// A path with its terminating NUL (MAX_PATH): the installer's path buffers,
// and the extractor's folder, "\", entry name and NUL.
constexpr int kPathBufferSize = 260;

// Install mode unpacks into "<Windows directory>\UnpackDir<n>", the first
// n that is free.
constexpr char kInstallFolderName[] = "UnpackDir";
// The longest folder the installer unpacks into: a Windows directory of at
// least 10 bytes and kInstallFolderName with a number of up to 3 digits.
constexpr char kLongestInstallFolder[] = "C:\\WINDOWS\\UnpackDir999";

// In install mode the installer runs this program of the package's top
// folder, and the packager refuses a package without it (unless told the
// package is only to be unpacked). The name is a literal too, so that the
// installer writes its command line's tail as one text of its pool.
#define KORMIT_SETUP_PROGRAM "Setup.exe"
constexpr char kSetupProgramName[] = KORMIT_SETUP_PROGRAM;

// The payload: the packed archive as the resource "KORMIT" of type
// "FILESPACK", and its check record (archive/payload_check.h) beside it
// under the same type (older installers have none), in Japanese as the
// installer's other resources.
constexpr char kPayloadResourceType[] = "FILESPACK";
constexpr char kPayloadResourceName[] = "KORMIT";
constexpr char kPayloadCheckResourceName[] = "KORMITCRC";
constexpr uint32_t kPayloadLanguage = 1041;

// The words for two names that Windows takes for one file, followed by the
// one met before: the same name to Windows, or a short (8.3) name that
// Windows may give it.
constexpr char kSameFileClash[] = "Windows takes it for the same file as ";
constexpr char kShortNameClash[] = "its name is a short (8.3) name that Windows may give ";

namespace installer_rules_check {
constexpr bool FolderNameInLongest() {
  constexpr int kWindowsDirectory = sizeof("C:\\WINDOWS\\") - 1;
  for (int i = 0; i + 1 < static_cast<int>(sizeof kInstallFolderName); i++) {
    if (kLongestInstallFolder[kWindowsDirectory + i] != kInstallFolderName[i]) return false;
  }
  return true;
}
static_assert(FolderNameInLongest(), "the longest install folder is named as the install folder");
}  // namespace installer_rules_check
