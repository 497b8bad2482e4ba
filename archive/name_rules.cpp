#include "archive/name_rules.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "archive/windows_cp932.h"
#include "base/cp932_walk.h"

namespace {

// Two-byte codes that Windows takes for another: the lower-case letters
// (first..last) for their upper-case ones (from `to` on, in the same order),
// and the characters that code page 932 holds in two places (the NEC row 13
// symbols, the NEC-selected and the IBM extensions), which Windows reads as
// one Unicode character.
struct SameAs {
  uint16_t first;
  uint16_t last;
  uint16_t to;
};
constexpr SameAs kSameAs[] = {
    {0x8281, 0x829A, 0x8260},  // full-width a-z
    {0x83BF, 0x83D6, 0x839F},  // Greek alpha-omega
    {0x8470, 0x847E, 0x8440},  // Cyrillic a-n (0x847F is no character)
    {0x8480, 0x8491, 0x844F},  // Cyrillic o-ya
    {0xEEEF, 0xEEF8, 0x8754},  // Roman numerals i-x (NEC-selected IBM extension)
    {0xFA40, 0xFA49, 0x8754},  // Roman numerals i-x (IBM extension)
    {0xFA4A, 0xFA53, 0x8754},  // Roman numerals I-X (IBM extension)
    {0x8790, 0x8790, 0x81E0},  // approximately equal to
    {0x8791, 0x8791, 0x81DF},  // identical to
    {0x8792, 0x8792, 0x81E7},  // integral
    {0x8795, 0x8795, 0x81E3},  // square root
    {0x8796, 0x8796, 0x81DB},  // up tack
    {0x8797, 0x8797, 0x81DA},  // angle
    {0x879A, 0x879A, 0x81E6},  // because
    {0x879B, 0x879B, 0x81BF},  // intersection
    {0x879C, 0x879C, 0x81BE},  // union
    {0xEEF9, 0xEEF9, 0x81CA},  // not sign
    {0xFA54, 0xFA54, 0x81CA},  // not sign
    {0xFA55, 0xFA57, 0xEEFA},  // broken bar, apostrophe, quotation mark
    {0xFA58, 0xFA58, 0x878A},  // parenthesised "stock company"
    {0xFA59, 0xFA59, 0x8782},  // numero sign
    {0xFA5A, 0xFA5A, 0x8784},  // telephone sign
    {0xFA5B, 0xFA5B, 0x81E6},  // because
    // The IBM extension's kanji, in the order of the NEC-selected copy.
    {0xFA5C, 0xFA7E, 0xED40},
    {0xFA80, 0xFA9B, 0xED63},
    {0xFA9C, 0xFAFC, 0xED80},
    {0xFB40, 0xFB5B, 0xEDE1},
    {0xFB5C, 0xFB7E, 0xEE40},
    {0xFB80, 0xFB9B, 0xEE63},
    {0xFB9C, 0xFBFC, 0xEE80},
    {0xFC40, 0xFC4B, 0xEEE1},
};

uint16_t FoldTwoByte(uint16_t code) {
  for (const SameAs& range : kSameAs) {
    if (code >= range.first && code <= range.last) return static_cast<uint16_t>(range.to + (code - range.first));
  }
  return code;
}

// The name cut into its characters (a byte that starts no valid character
// stands alone).
std::vector<std::string> Characters(const std::string& name) {
  std::vector<std::string> characters;
  for (Cp932NameWalk walk(name.data(), name.size()); !walk.Done(); walk.Next()) {
    characters.push_back(name.substr(walk.Position(), walk.Size()));
  }
  return characters;
}

bool IsShortNameMisfit(const std::string& character) {
  return character.size() == 1 && character[0] != '\0' && std::strchr("+,;=[]", character[0]) != nullptr;
}

// 1 to 8 bytes, perhaps a dot and 1 to 3 bytes, no space and no misfit:
// Windows gives such a name no short name of its own.
bool IsShortName(const std::vector<std::string>& characters) {
  size_t base = 0, extension = 0, dots = 0;
  for (const std::string& c : characters) {
    if (c == " " || IsShortNameMisfit(c)) return false;
    if (c == ".") {
      dots++;
    } else {
      (dots == 0 ? base : extension) += c.size();
    }
  }
  return base >= 1 && base <= 8 && dots <= 1 && (dots == 0 || (extension >= 1 && extension <= 3));
}

// One numbered form of the basis: leading periods skipped, spaces and the
// periods before the extension's dropped, the name cut to 6 bytes and the
// extension to 3 (never inside a two-byte character), letters in upper
// case. The extension's dot is the last one that a kept character follows.
std::string NumberedShortName(const std::vector<std::string>& characters, const char* misfit, int number) {
  const auto kept = [&](const std::string& c) {
    if (c == " " || c == ".") return std::string();
    if (IsShortNameMisfit(c)) return std::string(misfit);
    if (c.size() == 1 && c[0] >= 'a' && c[0] <= 'z') return std::string(1, static_cast<char>(c[0] - 'a' + 'A'));
    return c;
  };
  size_t first = 0;
  while (first < characters.size() && characters[first] == ".") first++;
  size_t dot = characters.size();
  bool keptAfter = false;
  for (size_t i = characters.size(); i-- > first && dot == characters.size();) {
    if (characters[i] == "." && keptAfter) dot = i;
    keptAfter = keptAfter || !kept(characters[i]).empty();
  }
  const auto join = [&](size_t from, size_t to, size_t limit) {
    std::string text;
    for (size_t i = from; i < to; i++) {
      const std::string c = kept(characters[i]);
      if (text.size() + c.size() > limit) break;
      text += c;
    }
    return text;
  };
  const std::string base = join(first, dot, 6);
  if (base.empty()) return std::string();
  const std::string extension = dot < characters.size() ? join(dot + 1, characters.size(), 3) : std::string();
  return base + "~" + std::to_string(number) + (extension.empty() ? "" : "." + extension);
}

}  // namespace

char ForbiddenNameCharacter(const std::string& name, bool separatorsToo) {
  for (Cp932Walk<> walk(name.data(), name.size()); !walk.Done(); walk.Next()) {
    if (walk.Size() == 2) continue;
    const uint8_t byte = walk.Byte();
    if (byte != 0 && std::strchr("<>\"|?*", byte) != nullptr) return static_cast<char>(byte);
    if (separatorsToo && walk.AtSeparator()) return static_cast<char>(byte);
  }
  return 0;
}

Refusal InstallNameRefusal(const std::string& name) {
  if (name.empty() || name.size() > kMaxInstallNameLength) {
    return {RefusalCode::kNameTooLong, "its name takes " + std::to_string(name.size()) +
                                           " bytes in code page 932; behind the install folder (" +
                                           kLongestInstallFolder + "\\) a name holds 1 to " +
                                           std::to_string(kMaxInstallNameLength)};
  }
  return InstallNameFormRefusal(name);
}

Refusal InstallNameFormRefusal(const std::string& name) {
  if (char c = ForbiddenNameCharacter(name, true)) {
    if (c == '\\' || c == '/') {
      return {RefusalCode::kNameSeparator,
              std::string("its name holds \"") + c + "\", a separator; the installer creates no subfolders"};
    }
    return {RefusalCode::kNameCharacter,
            std::string("its name holds \"") + c + "\", which a Windows file name cannot hold"};
  }
  const EntryNameFault fault = CheckEntryName(name.data(), static_cast<int>(name.size()));
  if (fault != EntryNameFault::kSafe) {
    return {RefusalCode::kNameRefused, std::string("the installer refuses its name: ") + EntryNameFaultText(fault)};
  }
  return {};
}

const char* EntryNameFaultText(EntryNameFault fault) {
  switch (fault) {
    case EntryNameFault::kSafe: return "nothing";
    case EntryNameFault::kEmptyElement:
      return "it or an element of it is empty (a leading, trailing or doubled separator)";
    case EntryNameFault::kDotOrSpaceEnd:
      return "it or an element of it ends in \".\" or \" \" (as \".\" and \"..\" do)";
    case EntryNameFault::kDevice:
      return "it names a device (CON, PRN, AUX, NUL, COM0-COM9, LPT0-LPT9, CONIN$, CONOUT$, with any extension)";
    case EntryNameFault::kForbiddenByte: return "it holds a control byte or \":\"";
    case EntryNameFault::kCutCharacter:
      return "it is not valid code page 932 (a two-byte character is cut off or has an invalid second byte)";
  }
  return "unknown";
}

std::string WindowsNameKey(const std::string& name) {
  std::string key;
  key.reserve(name.size());
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(name.data());
  for (size_t i = 0; i < name.size();) {
    int length = 1;
    uint16_t code = bytes[i];
    if (Cp932CharacterOnlyWindowsReads(bytes + i, static_cast<int>(name.size() - i), &length) == kUnicodeMiddleDot) {
      code = kCp932MiddleDot;  // every code Windows reads as "・" is one
    } else if (length == 2) {
      code = FoldTwoByte(static_cast<uint16_t>(bytes[i] << 8 | bytes[i + 1]));
    } else if (code >= 'a' && code <= 'z') {
      code = static_cast<uint16_t>(code - 'a' + 'A');
    }
    if (code > 0xFF) key += static_cast<char>(code >> 8);
    key += static_cast<char>(code & 0xFF);
    i += static_cast<size_t>(length);
  }
  return key;
}

bool IsSetupExeName(const std::string& name) { return WindowsNameKey(name) == WindowsNameKey(kSetupProgramName); }

std::vector<std::string> NumberedShortNames(const std::string& name) {
  const std::vector<std::string> characters = Characters(name);
  std::vector<std::string> forms;
  if (IsShortName(characters)) return forms;
  for (const char* misfit : {"", "_"}) {
    for (int number = 1; number <= 4; number++) {
      const std::string form = NumberedShortName(characters, misfit, number);
      if (!form.empty() && std::find(forms.begin(), forms.end(), form) == forms.end()) forms.push_back(form);
    }
  }
  return forms;
}

InstallFolderNames::Clash InstallFolderNames::Add(const std::string& name, size_t& earlier) {
  const size_t index = count_++;
  const std::string key = WindowsNameKey(name);
  Clash clash = Clash::kNone;
  if (const auto same = files_.find(key); same != files_.end()) {
    earlier = same->second;
    clash = Clash::kSameFile;
  } else if (const auto alias = shortNames_.find(key); alias != shortNames_.end()) {
    earlier = alias->second;
    clash = Clash::kShortName;
  }
  files_.emplace(key, index);
  for (const std::string& form : NumberedShortNames(name)) shortNames_.emplace(WindowsNameKey(form), index);
  return clash;
}
