// How Windows' loader finds a resource by the names of its type and its
// name (FindResourceA without a language), and the trees in which what it
// finds is the only reading. The loader upper-cases the name it looks for
// and compares it, unit by unit, with each stored name as it is; it halves
// the named entries of a table, trusting them to be sorted in that order;
// and of several languages it takes the one nearest the user's. A reader
// that scans, folds case or takes the first language can see another
// resource than the installer unpacks, so every tree where the readings
// could part is refused, with the entries that make it so.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "pe/resource_tree.h"

// The loader's order of named entries: by UTF-16 units, a prefix first
// (so capitals come before small letters).
int CompareResourceNames(std::u16string_view a, std::u16string_view b);
// Equal but for the case of ASCII letters: one name to many readers.
bool SameResourceNameIgnoringCase(std::u16string_view a, std::u16string_view b);

// Checks the named entries of a table that a lookup walks: sorted in the
// loader's order, no two the same but for case, and no NUL character
// (where the loader stops comparing). The error names the table's
// `owner` ("the resource tree", "type \"FILESPACK\"") and the `kind` of
// its entries ("types", "names").
bool CheckNamedEntries(const ResourceDirectoryTable& table, const std::string& owner, const char* kind,
                       std::string& error);

enum class ResourceLookup { kFound, kAbsent, kRefused };

struct FoundResource {
  const ResourceLeaf* leaf = nullptr;
  uint32_t language = 0;
};

// Looks up `name` of `type` (both in capitals, as the loader looks them up)
// as the loader does. kRefused, with the reason, where the levels it walks
// fail CheckNamedEntries, where a stored name differs from the one looked
// for only in case, or where the name has other than one language entry
// with an id. Otherwise the leaf the loader takes, or kAbsent.
ResourceLookup LookUpResource(const ResourceTree& tree, std::u16string_view type, std::u16string_view name,
                              FoundResource& found, std::string& error);
