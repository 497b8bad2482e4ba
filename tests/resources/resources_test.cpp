// Reads every resource back from this program, which links the installer's
// resources, and compares it with the layout the dialogs and the shell rely
// on. The expected bytes are built here from the field values, apart from
// the .rc files that produce them.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/little_endian.h"

namespace {

constexpr WORD kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);  // 1041

typedef std::vector<uint8_t> Bytes;

// The classic DLGTEMPLATE and DLGITEMTEMPLATE records, field by field.
class TemplateWriter {
 public:
  void Word(uint16_t value) { AppendUint16(bytes, value); }
  void Dword(uint32_t value) { AppendUint32(bytes, value); }
  void Text(const wchar_t* text) {
    do Word(static_cast<uint16_t>(*text)); while (*text++ != 0);
  }
  void Header(uint32_t style, uint16_t controls, uint16_t cx, uint16_t cy, const wchar_t* title) {
    Dword(style);
    Dword(0);  // extended style
    Word(controls);
    Word(0);  // x
    Word(0);  // y
    Word(cx);
    Word(cy);
    Word(0);  // no menu
    Word(0);  // predefined dialog class
    Text(title);
    Word(9);  // point size
    Text(L"ＭＳ Ｐゴシック");
  }
  void Control(uint32_t style, uint16_t x, uint16_t y, uint16_t cx, uint16_t cy, uint16_t id,
               const wchar_t* className, uint16_t classOrdinal, const wchar_t* text) {
    while (bytes.size() % 4 != 0) bytes.push_back(0);
    Dword(style);
    Dword(0);
    Word(x);
    Word(y);
    Word(cx);
    Word(cy);
    Word(id);
    if (className != nullptr) {
      Text(className);
    } else {
      Word(0xFFFF);
      Word(classOrdinal);
    }
    Text(text);
    Word(0);  // no creation data
  }
  Bytes bytes;
};

Bytes ProgressTemplate() {
  TemplateWriter t;
  t.Header(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_CENTER | DS_MODALFRAME | DS_SETFONT, 2, 215, 59,
           L"Self Unpack");
  t.Control(WS_CHILD | WS_VISIBLE | WS_BORDER, 30, 27, 150, 14, 1001, L"msctls_progress32", 0,
            L"Progress");
  t.Control(WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT, 31, 13, 148, 8, 1002, nullptr, 0x0082,
            L"準備中．．．");
  return t.bytes;
}

Bytes ConfirmTemplate() {
  TemplateWriter t;
  t.Header(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT, 4, 249, 145,
           L"SelfUnpack");
  const DWORD tab = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
  t.Control(tab | BS_DEFPUSHBUTTON, 65, 120, 50, 14, IDOK, nullptr, 0x0080, L"開始");
  t.Control(tab | BS_PUSHBUTTON, 130, 120, 50, 14, IDCANCEL, nullptr, 0x0080, L"ｷｬﾝｾﾙ");
  t.Control(tab | ES_MULTILINE | ES_READONLY | ES_WANTRETURN, 10, 15, 225, 68, 1003, nullptr,
            0x0081, L"");
  t.Control(tab | BS_AUTOCHECKBOX, 40, 95, 43, 10, 1005, nullptr, 0x0080, L"解凍のみ");
  return t.bytes;
}

// The resource's bytes in language 1041; empty when it is missing.
Bytes ResourceBytes(LPCSTR type, WORD id) {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceExA(module, type, MAKEINTRESOURCEA(id), kJapanese);
  if (found == nullptr) return {};
  const uint8_t* data = static_cast<const uint8_t*>(LockResource(LoadResource(module, found)));
  if (data == nullptr) return {};
  return Bytes(data, data + SizeofResource(module, found));
}

uint32_t Dword(const Bytes& bytes, size_t at) { return LoadUint32(&bytes[at]); }
uint16_t Word(const Bytes& bytes, size_t at) { return LoadUint16(&bytes[at]); }

TEST(Resources, DialogTemplatesAreByteExact) {
  const struct {
    WORD id;
    Bytes expected;
    size_t size;
  } cases[] = {{101, ProgressTemplate(), 182}, {126, ConfirmTemplate(), 194}};
  for (const auto& c : cases) {
    ASSERT_EQ(c.size, c.expected.size()) << "the expected template " << c.id << " itself";
    Bytes actual = ResourceBytes(RT_DIALOG, c.id);
    ASSERT_EQ(c.size, actual.size()) << "template " << c.id;
    for (size_t i = 0; i < c.size; ++i) {
      EXPECT_EQ(c.expected[i], actual[i]) << "template " << c.id << ", byte " << i;
    }
  }
}

TEST(Resources, IconImages) {
  const struct {
    WORD id;
    size_t size;
    int32_t pixels;
  } cases[] = {{1, 744, 32}, {2, 296, 16}};
  for (const auto& c : cases) {
    Bytes image = ResourceBytes(RT_ICON, c.id);
    ASSERT_EQ(c.size, image.size()) << "icon " << c.id;
    EXPECT_EQ(40u, Dword(image, 0));  // BITMAPINFOHEADER
    EXPECT_EQ(static_cast<uint32_t>(c.pixels), Dword(image, 4));
    EXPECT_EQ(static_cast<uint32_t>(2 * c.pixels), Dword(image, 8));  // colour and mask
    EXPECT_EQ(1, Word(image, 12));  // planes
    EXPECT_EQ(4, Word(image, 14));  // bits per pixel: 16 colours
    EXPECT_EQ(0u, Dword(image, 16));  // uncompressed
    // Header, 16 palette entries, 4-bit colour rows, 1-bit mask rows padded to 32 bits.
    size_t colour = static_cast<size_t>(c.pixels * c.pixels / 2);
    size_t mask = static_cast<size_t>(c.pixels * ((c.pixels + 31) / 32 * 4));
    EXPECT_EQ(colour + mask, Dword(image, 20));  // image size
    EXPECT_EQ(40 + 64 + colour + mask, c.size);
  }
}

TEST(Resources, IconGroupGathersBothImages) {
  const uint8_t expected[] = {
      0, 0, 1, 0, 2, 0,                              // reserved, type icon, 2 entries
      32, 32, 16, 0, 1, 0, 4, 0, 0xE8, 2, 0, 0, 1, 0,  // 32x32, 16 colours, 744 bytes, id 1
      16, 16, 16, 0, 1, 0, 4, 0, 0x28, 1, 0, 0, 2, 0,  // 16x16, 16 colours, 296 bytes, id 2
  };
  Bytes group = ResourceBytes(RT_GROUP_ICON, 112);
  ASSERT_EQ(sizeof(expected), group.size());
  EXPECT_EQ(0, std::memcmp(expected, group.data(), sizeof(expected)));
  // And the shell can make icons of it.
  for (int size : {32, 16}) {
    HICON icon = static_cast<HICON>(
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(112), IMAGE_ICON, size, size, 0));
    EXPECT_NE(nullptr, icon) << size;
    if (icon != nullptr) DestroyIcon(icon);
  }
}

TEST(Resources, VersionFixedInfo) {
  Bytes version = ResourceBytes(RT_VERSION, 1);
  ASSERT_GE(version.size(), 40u + 52u);
  // VS_VERSIONINFO: length, value length, type, L"VS_VERSION_INFO", padding.
  EXPECT_EQ(version.size(), Word(version, 0));
  ASSERT_EQ(52, Word(version, 2));
  EXPECT_EQ(0, Word(version, 4));
  std::wstring key(reinterpret_cast<const wchar_t*>(&version[6]));
  EXPECT_EQ(L"VS_VERSION_INFO", key);
  const size_t at = 40;
  const uint32_t expected[13] = {
      0xFEEF04BD,  // signature
      0x00010000,  // structure version
      0x00010006, 0x00030001,  // file version 1.6.3.1
      0x00010006, 0x00030001,  // product version 1.6.3.1
      0x3F,        // flags mask
      VS_FF_PRIVATEBUILD | VS_FF_SPECIALBUILD,
      VOS_NT_WINDOWS32,
      VFT_APP,
      0,           // subtype
      0, 0,        // date
  };
  for (int i = 0; i < 13; ++i) EXPECT_EQ(expected[i], Dword(version, at + 4 * i)) << "field " << i;
}

TEST(Resources, VersionStringsAndTranslation) {
  char path[MAX_PATH];
  ASSERT_NE(0u, GetModuleFileNameA(nullptr, path, sizeof(path)));
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeA(path, &handle);
  ASSERT_NE(0u, size);
  std::vector<char> block(size);
  ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, block.data()));

  const std::pair<const char*, const char*> strings[] = {
      {"Comments", "Kormit Self-Unpack & Install"},
      {"FileDescription", "Kormit_DaduD1e63"},
      {"FileVersion", "1, 6, 3, 1"},
      {"InternalName", "Kormit_DaduD1e63"},
      {"LegalTrademarks", "-"},
      {"OriginalFilename", "Kormit_DaduD1e63.exe"},
      {"PrivateBuild", "-"},
      {"ProductVersion", "1, 6, 3, 1"},
      {"SpecialBuild", "-"},
  };
  for (const auto& [name, value] : strings) {
    std::string query = std::string("\\StringFileInfo\\041104b0\\") + name;
    void* found = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), query.c_str(), &found, &length)) << name;
    EXPECT_STREQ(value, static_cast<const char*>(found)) << name;
  }
  void* translation = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &translation, &length));
  ASSERT_EQ(4u, length);
  const WORD* pair = static_cast<const WORD*>(translation);
  EXPECT_EQ(0x0411, pair[0]);
  EXPECT_EQ(0x04B0, pair[1]);
}

// Every resource of the program, as (type, id, language).
std::set<std::string> resourceList;

BOOL CALLBACK AddLanguage(HMODULE, LPCSTR type, LPCSTR name, WORD language, LONG_PTR) {
  resourceList.insert(std::to_string(reinterpret_cast<uintptr_t>(type)) + "/" +
                      std::to_string(reinterpret_cast<uintptr_t>(name)) + "/" +
                      std::to_string(language));
  return TRUE;
}
BOOL CALLBACK AddName(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR) {
  EXPECT_TRUE(IS_INTRESOURCE(name)) << name;
  if (IS_INTRESOURCE(name)) EnumResourceLanguagesA(module, type, name, AddLanguage, 0);
  return TRUE;
}
BOOL CALLBACK AddType(HMODULE module, LPSTR type, LONG_PTR) {
  EXPECT_TRUE(IS_INTRESOURCE(type)) << type;
  if (IS_INTRESOURCE(type)) EnumResourceNamesA(module, type, AddName, 0);
  return TRUE;
}

TEST(Resources, NothingElseAndAllJapanese) {
  resourceList.clear();
  EnumResourceTypesA(GetModuleHandleA(nullptr), AddType, 0);
  const std::set<std::string> expected = {
      "3/1/1041", "3/2/1041",       // RT_ICON
      "5/101/1041", "5/126/1041",   // RT_DIALOG
      "14/112/1041",                // RT_GROUP_ICON
      "16/1/1041",                  // RT_VERSION
      "24/1/1041",                  // RT_MANIFEST
  };
  EXPECT_EQ(expected, resourceList);
}

}  // namespace
