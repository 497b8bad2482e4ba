// Windows' own view of installers the writer made: its resource functions
// find the payload, its check record beside it, and every resource of the
// stub with the stub's bytes,
// and CheckSumMappedFile agrees with the header. For the hand-made stub and
// for the real installer program. And the hostile resource trees: Windows
// loads what the reader vouches for.
#include <windows.h>
#include <imagehlp.h>
#include <gtest/gtest.h>

#include <optional>

#include "pe/payload_resource.h"
#include "pe/pe_checksum.h"
#include "tests/common/temp_folder.h"
#include "tests/common/test_files.h"
#include "tests/pe/hostile_pe.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A resource key as the ANSI functions take it.
struct Key {
  std::string name;
  uint32_t id;
  const char* get() const { return name.empty() ? MAKEINTRESOURCEA(id) : name.c_str(); }
};

Key KeyOf(const ResourceEntry& entry) { return {std::string(entry.name.begin(), entry.name.end()), entry.id}; }

Bytes Loaded(HMODULE module, HRSRC found) {
  const uint8_t* data = static_cast<const uint8_t*>(LockResource(LoadResource(module, found)));
  return data == nullptr ? Bytes{} : Bytes(data, data + SizeofResource(module, found));
}

void ExpectWindowsReads(const Bytes& stubBytes, const Bytes& payload) {
  PayloadStub stub;
  Bytes installer;
  PayloadLocation where;
  std::string error;
  ASSERT_TRUE(CheckPayloadStub(stubBytes, stub, error)) << error;
  const Bytes check = {'K', 'C', 'R', 'C', 1, 2, 3, 4, 5, 6, 7, 8};
  ASSERT_TRUE(AddPayload(stub, payload, check, installer, where, error)) << error;

  DWORD inHeader = 0, computed = 0;
  ASSERT_NE(nullptr, CheckSumMappedFile(installer.data(), static_cast<DWORD>(installer.size()), &inHeader, &computed));
  EXPECT_EQ(computed, inHeader);

  TempFolder folder;
  const std::string path = folder / "installer.exe";
  ASSERT_TRUE(WriteFileBytes(path, std::string(installer.begin(), installer.end())));
  HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(nullptr, module) << GetLastError();
  HRSRC found = FindResourceA(module, "KORMIT", "FILESPACK");
  ASSERT_NE(nullptr, found);
  EXPECT_TRUE(Loaded(module, found) == payload);
  HRSRC checkFound = FindResourceA(module, "KORMITCRC", "FILESPACK");
  ASSERT_NE(nullptr, checkFound);
  EXPECT_TRUE(Loaded(module, checkFound) == check);
  for (const ResourceEntry& type : stub.tree.directories[0].entries) {
    for (const ResourceEntry& name : stub.tree.directories[static_cast<size_t>(type.directory)].entries) {
      for (const ResourceEntry& language : stub.tree.directories[static_cast<size_t>(name.directory)].entries) {
        const ResourceLeaf& leaf = stub.tree.leaves[static_cast<size_t>(language.leaf)];
        uint32_t offset = 0;
        ASSERT_TRUE(stub.image.FileOffsetOf(leaf.rva, leaf.size, offset));
        const Key typeKey = KeyOf(type), nameKey = KeyOf(name);
        HRSRC other = FindResourceExA(module, typeKey.get(), nameKey.get(), static_cast<WORD>(language.id));
        ASSERT_NE(nullptr, other) << typeKey.name << typeKey.id << "/" << nameKey.name << nameKey.id;
        EXPECT_TRUE(Loaded(module, other) == Bytes(stubBytes.begin() + offset, stubBytes.begin() + offset + leaf.size))
            << typeKey.name << typeKey.id << "/" << nameKey.name << nameKey.id << " differs";
      }
    }
  }
  FreeLibrary(module);
}

Bytes Pattern(size_t size) {
  Bytes bytes(size);
  for (size_t i = 0; i < size; i++) bytes[i] = static_cast<uint8_t>(i * 13 + 5);
  return bytes;
}

TEST(PeWindows, ReadsWhatTheWriterAddedToTheHandMadeStub) {
  ExpectWindowsReads(BuildSyntheticPe().bytes, Pattern(5000));
}

// What FindResourceA loads of type "FILESPACK" with the thread's locale set
// to `locale`, whose language Windows tries first; nothing if it finds none.
std::optional<Bytes> LoadedIn(HMODULE module, const char* name, LCID locale) {
  SetThreadLocale(locale);
  HRSRC found = FindResourceA(module, name, "FILESPACK");
  return found == nullptr ? std::nullopt : std::optional<Bytes>(Loaded(module, found));
}

// The hostile trees (tests/pe/hostile_pe.h): where the reader vouches for a
// payload and a check record (or none), Windows loads those bytes (or none)
// in English as in Japanese.
TEST(PeWindows, LoadsWhatTheReaderVouchesFor) {
  const LCID before = GetThreadLocale();
  TempFolder folder;
  int count = 0;
  for (const HostileLookup& c : HostileLookups()) {
    const Bytes image = BuildSyntheticPe(c.resources).bytes;
    PayloadLocation w;
    std::string error;
    if (!FindPayload(image, w, error)) continue;
    const std::string path = folder / (std::to_string(count++) + ".exe");
    ASSERT_TRUE(WriteFileBytes(path, std::string(image.begin(), image.end())));
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, module) << c.why;
    auto at = [&](uint32_t offset, uint32_t size) {
      return std::optional<Bytes>(Bytes(image.begin() + offset, image.begin() + offset + size));
    };
    const std::pair<const char*, std::optional<Bytes>> vouched[] = {
        {"KORMIT", at(w.offset, w.size)}, {"KORMITCRC", w.checked ? at(w.checkOffset, w.checkSize) : std::nullopt}};
    for (const auto& [name, bytes] : vouched) {
      EXPECT_TRUE(bytes == LoadedIn(module, name, MAKELCID(1033, SORT_DEFAULT)) &&
                  bytes == LoadedIn(module, name, MAKELCID(1041, SORT_DEFAULT)))
          << c.why << ": " << name;
    }
    FreeLibrary(module);
  }
  SetThreadLocale(before);
}

#ifdef KORMIT_BARE_EXE
TEST(PeWindows, ReadsWhatTheWriterAddedToTheInstallerProgram) {
  std::string path = std::string("Z:") + KORMIT_BARE_EXE;
  for (char& c : path) c = c == '/' ? '\\' : c;
  const std::string stubFile = ReadFileBytes(path);
  const Bytes stub(stubFile.begin(), stubFile.end());
  ASSERT_FALSE(stub.empty()) << path;
  PeImage image;
  std::string error;
  ASSERT_TRUE(ReadPeImage(stub, image, error)) << error;
  // The linker's checksum, computed the same way.
  const uint8_t* field = stub.data() + image.CheckSumOffset();
  EXPECT_EQ(static_cast<uint32_t>(field[0] | field[1] << 8 | field[2] << 16 | field[3] << 24),
            PeCheckSum(stub, image.CheckSumOffset()));
  ExpectWindowsReads(stub, Pattern(300001));
}
#endif

}  // namespace
