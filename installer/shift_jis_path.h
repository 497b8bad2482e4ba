// Path helpers for Shift-JIS (code page 932) byte strings. They work on plain
// bytes, without the system's code page tables, so that a backslash that is
// the second byte of a two-byte character is never taken for a separator.
#pragma once

#include <cstddef>

#include "base/installer_rules.h"

// 1 when a two-byte character starts at byte `index` of `text`: a lead byte
// by the installer's rule (IsInstallerCp932LeadByte, base/cp932_walk.h) met
// by walking the text character by character from its start. 0 for a single byte, a second byte, a negative index or an
// index past the terminator.
int IsLeadByteAt(const char* text, int index);

// Removes the last element of `path` in place together with the backslash
// before it ("C:\A\B" -> "C:\A"); after a drive colon the colon stays
// ("C:\A" -> "C:"). A path with no separator, or whose only separator is its
// first byte, is left alone.
void CutAtLastSeparator(char* path);

// Cuts `path` at the last "." of its last element ("C:\x\setup.exe" ->
// "C:\x\setup"). The scan stops at the last real separator, so a dot in a
// folder name never shortens the path to somewhere else; a last element
// without a dot leaves the path whole. Byte 0 is never examined.
void CutExtension(char* path);

// Appends `text` to the NUL-terminated string in `buffer` (of `size` bytes).
// Returns 1 when it fits with its terminator; otherwise returns 0 and leaves
// `buffer` unchanged.
int AppendPath(char* buffer, int size, const char* text);
