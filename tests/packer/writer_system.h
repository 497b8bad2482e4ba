// What the writer's tests need to know of the system they run on
// (platform/<system>/writer_system_test.cpp, beside that system's own tests).
#pragma once

#include <cstdint>
#include <string>

// A name that a file may have here and the installer refuses: "con" on
// POSIX; on Win32, where such names cannot exist, one of 256 bytes in code
// page 932.
std::string NameTheInstallerRefuses();

// POSIX: a file's attributes come from its permissions (archive, plus
// read-only), and its creation time is its write time. Win32: as the file
// system keeps them.
extern const bool kAttributesFromPermissions;

// The code page 932 character `piece` upper-cased as the system reads it
// (Win32: MultiByteToWideChar(932), as CreateFileA, and CharUpperBuffW;
// POSIX: iconv and towupper), checked against `ours`, the character that
// Cp932CharacterOnlyWindowsReads gives (0 where it leaves the reading to
// the system; POSIX: where iconv has none, it has one).
char32_t SystemUpperCharacter(const std::string& piece, uint32_t ours);
