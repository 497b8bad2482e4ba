#include "pe/resource_lookup.h"

#include <algorithm>
#include <numeric>
#include <vector>

#include "base/escaped_bytes.h"

namespace {

// A hostile table may hold thousands of entries alike: a message names a few.
constexpr size_t kNamedInMessage = 4;

char16_t UpperAscii(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; }

int CompareIgnoringCase(std::u16string_view a, std::u16string_view b) {
  for (size_t i = 0; i < a.size() && i < b.size(); i++) {
    const char16_t x = UpperAscii(a[i]), y = UpperAscii(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::string Quoted(std::u16string_view name) {
  // Appended to: of "\"" + text, GCC 12 at -O3 wrongly warns of an overlapping copy.
  std::string quoted = "\"";
  quoted += EscapedUtf16(name);
  return quoted += '"';
}

// "a", "a and b", "a, b and c", "a, b, c, d and 9 more".
std::string Listed(const std::vector<std::string>& items) {
  const size_t shown = std::min(items.size(), kNamedInMessage);
  std::string out;
  for (size_t i = 0; i < shown; i++) {
    if (i > 0) out += i + 1 == items.size() ? " and " : ", ";
    out += items[i];
  }
  if (shown < items.size()) out += " and " + std::to_string(items.size() - shown) + " more";
  return out;
}

// The reader has checked that the named entries come first.
size_t NamedCount(const ResourceDirectoryTable& table) {
  return static_cast<size_t>(std::count_if(table.entries.begin(), table.entries.end(),
                                           [](const ResourceEntry& entry) { return entry.named; }));
}

// The loader's search: halving over the named entries.
const ResourceEntry* HalveNamed(const ResourceDirectoryTable& table, std::u16string_view name) {
  size_t low = 0, high = NamedCount(table);
  while (low < high) {
    const size_t middle = low + (high - low) / 2;
    const int order = CompareResourceNames(name, table.entries[middle].name);
    if (order == 0) return &table.entries[middle];
    if (order < 0) {
      high = middle;
    } else {
      low = middle + 1;
    }
  }
  return nullptr;
}

// One level of the lookup. A stored name that differs from the one looked
// for only in case is what a reader that folds case would take instead.
ResourceLookup FindAtLevel(const ResourceDirectoryTable& table, std::u16string_view name, const std::string& owner,
                           const char* kind, const ResourceEntry*& found, std::string& error) {
  if (!CheckNamedEntries(table, owner, kind, error)) return ResourceLookup::kRefused;
  found = HalveNamed(table, name);
  if (found != nullptr) return ResourceLookup::kFound;
  for (const ResourceEntry& entry : table.entries) {
    if (entry.named && SameResourceNameIgnoringCase(entry.name, name)) {
      error = owner + " has " + Quoted(entry.name) + " among its " + kind + " but not " + Quoted(name) +
              ": Windows looks names up in capitals and finds none";
      return ResourceLookup::kRefused;
    }
  }
  return ResourceLookup::kAbsent;
}

}  // namespace

int CompareResourceNames(std::u16string_view a, std::u16string_view b) { return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1); }

bool SameResourceNameIgnoringCase(std::u16string_view a, std::u16string_view b) { return CompareIgnoringCase(a, b) == 0; }

bool CheckNamedEntries(const ResourceDirectoryTable& table, const std::string& owner, const char* kind,
                       std::string& error) {
  const std::vector<ResourceEntry>& entries = table.entries;
  const size_t named = NamedCount(table);
  for (size_t i = 0; i < named; i++) {
    if (entries[i].name.find(u'\0') != std::u16string::npos) {
      error = owner + " has " + Quoted(entries[i].name) + " among its " + kind +
              ", with a NUL character, where Windows stops comparing names";
      return false;
    }
  }
  // Sorted ignoring case (stably: each run in table order), the names that
  // differ at most in case lie side by side.
  std::vector<size_t> folded(named);
  std::iota(folded.begin(), folded.end(), size_t{0});
  std::stable_sort(folded.begin(), folded.end(),
                   [&](size_t a, size_t b) { return CompareIgnoringCase(entries[a].name, entries[b].name) < 0; });
  for (size_t run = 0; run < named;) {
    size_t end = run + 1;
    while (end < named && SameResourceNameIgnoringCase(entries[folded[run]].name, entries[folded[end]].name)) end++;
    if (end - run > 1) {
      std::vector<std::string> names;
      for (size_t i = run; i < end; i++) names.push_back(Quoted(entries[folded[i]].name));
      error = owner + " has the " + kind + " " + Listed(names) +
              ", which differ at most in case: which of them a reader takes depends on how it searches";
      return false;
    }
    run = end;
  }
  for (size_t i = 1; i < named; i++) {
    if (CompareResourceNames(entries[i - 1].name, entries[i].name) > 0) {
      error = owner + " has the " + kind + " " + Quoted(entries[i - 1].name) + " before " + Quoted(entries[i].name) +
              ": Windows halves named entries in the order of their UTF-16 units (capitals before small letters) "
              "and can miss one out of that order";
      return false;
    }
  }
  return true;
}

ResourceLookup LookUpResource(const ResourceTree& tree, std::u16string_view type, std::u16string_view name,
                              FoundResource& found, std::string& error) {
  found = FoundResource{};
  if (tree.directories.empty()) return ResourceLookup::kAbsent;
  const ResourceEntry* typeEntry = nullptr;
  ResourceLookup result = FindAtLevel(tree.directories[0], type, "the resource tree", "types", typeEntry, error);
  if (result != ResourceLookup::kFound) return result;
  const ResourceEntry* nameEntry = nullptr;
  result = FindAtLevel(tree.directories[static_cast<size_t>(typeEntry->directory)], name,
                       "type " + Quoted(type), "names", nameEntry, error);
  if (result != ResourceLookup::kFound) return result;

  // Of several languages the loader takes the one nearest the user's; a
  // named one it meets only when no id fits.
  const std::vector<ResourceEntry>& languages = tree.directories[static_cast<size_t>(nameEntry->directory)].entries;
  if (languages.size() == 1 && !languages[0].named) {
    found = {&tree.leaves[static_cast<size_t>(languages[0].leaf)], languages[0].id};
    return ResourceLookup::kFound;
  }
  std::vector<std::string> labels;
  for (const ResourceEntry& language : languages) {
    labels.push_back(language.named ? Quoted(language.name) : std::to_string(language.id));
  }
  error = "the resource " + Quoted(name) + " of type " + Quoted(type) + " has " +
          (labels.empty() ? "no language entry" : (labels.size() == 1 ? "the language entry " : "the language entries ") +
                                                      Listed(labels)) +
          ", where a single one with an id is needed: which one Windows takes depends on the user's language and on "
          "how it searches";
  return ResourceLookup::kRefused;
}
