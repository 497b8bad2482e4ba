// What Windows makes of an entry name beyond the extractor's own check
// (archive/entry_name.h): how long a name may be behind the install folder,
// characters its file names cannot hold, and which names it takes for the
// same file. The packer, `pack`, `test` and `list` judge names by these.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "archive/entry_name.h"
#include "archive/pack_reader.h"
#include "archive/refusal_code.h"
#include "base/installer_rules.h"

// The longest entry name that still fits the path buffer behind the longest
// install folder (with "\" and the NUL): 235 bytes.
constexpr size_t kMaxInstallNameLength = kPathBufferSize - (sizeof(kLongestInstallFolder) - 1) - 2;

// The first byte of the code page 932 name that a Windows file name cannot
// hold (< > " | ? *, and with separatorsToo also \ and /), or 0. The second
// byte of a two-byte character is never taken for one.
char ForbiddenNameCharacter(const std::string& name, bool separatorsToo);

// Why the installer could not create a file of this code page 932 name in
// its install folder, in words that begin "its name ..." and as a code;
// nothing refused when it could. Checks the length (1 to kMaxInstallNameLength bytes), then as
// InstallNameFormRefusal. Names met before are not considered.
Refusal InstallNameRefusal(const std::string& name);
// The same but for the length, for a folder that the caller knows: checks
// separators (the installer creates no subfolders), characters Windows
// names cannot hold, and CheckEntryName.
Refusal InstallNameFormRefusal(const std::string& name);

// The extractor's reason, in words.
const char* EntryNameFaultText(EntryNameFault fault);

// A key equal for two names exactly when Windows takes them for one file:
// letters without case (ASCII, and the full-width Latin, Greek, Cyrillic
// and Roman numeral letters of code page 932), the characters that code
// page 932 holds twice (NEC and IBM extensions) as one, and every code that
// Windows reads as "・" (archive/windows_cp932.h) as that character.
std::string WindowsNameKey(const std::string& name);

// The short (8.3) names that Windows may give a file of this name on a
// volume that makes them: none when the name is a short name itself, else
// the first four numbered forms of its basis ("LongFileName.txt":
// "LONGFI~1.TXT" to "LONGFI~4.TXT"). Characters a short name cannot hold
// (+ , ; = [ ]) are read both ways that Windows is known to treat them:
// dropped, as its documentation says, and put as "_".
std::vector<std::string> NumberedShortNames(const std::string& name);

// The names created one after another in one install folder: which earlier
// one Windows takes a new one for, by WindowsNameKey or because the new
// one is a short name that Windows may give the earlier one (the later,
// hashed forms are not checked). Hash tables keep it linear in the count.
class InstallFolderNames {
 public:
  enum class Clash { kNone, kSameFile, kShortName };

  // Records the next name; on a clash, `earlier` is the index (from 0) of
  // the name in the way.
  Clash Add(const std::string& name, size_t& earlier);

 private:
  std::unordered_map<std::string, size_t> files_;       // key of each name, first index
  std::unordered_map<std::string, size_t> shortNames_;  // key of each numbered short name
  size_t count_ = 0;
};

// Whether a stored name is "Setup.exe" as Windows compares names: what the
// installer runs in install mode.
bool IsSetupExeName(const std::string& name);
