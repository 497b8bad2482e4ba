#include "packer/code_lengths.h"

#include <algorithm>
#include <vector>

namespace {

// One entry of a package-merge list: a leaf (a coded byte value) or a package
// of two entries of the list below. Packages of a list are formed from
// consecutive pairs of the list below in order, so the q-th package of a list
// always holds entries 2q and 2q + 1 of the list below it.
struct MergeItem {
  uint64_t weight;
  bool isLeaf;
  int leaf;  // index into the sorted leaves, when isLeaf
};

}  // namespace

CodeLengths LimitedCodeLengths(const ByteCounts& counts, int maxLength, bool codeEveryValue) {
  CodeLengths lengths{};
  std::vector<int> leaves;
  for (int s = 0; s < 256; ++s) {
    if (counts[s] > 0 || codeEveryValue) leaves.push_back(s);
  }
  const int n = static_cast<int>(leaves.size());
  if (n == 0) return lengths;
  if (n == 1) {
    lengths[leaves[0]] = 1;
    return lengths;
  }
  std::stable_sort(leaves.begin(), leaves.end(),
                   [&](int a, int b) { return counts[a] < counts[b]; });

  // lists[0] holds the leaves alone (the deepest length); each further list
  // merges the leaves with the packages of the list before it.
  std::vector<std::vector<MergeItem>> lists(static_cast<size_t>(maxLength));
  lists[0].reserve(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) lists[0].push_back({counts[leaves[i]], true, i});
  for (int d = 1; d < maxLength; ++d) {
    const std::vector<MergeItem>& below = lists[d - 1];
    std::vector<MergeItem>& merged = lists[d];
    const size_t packages = below.size() / 2;
    merged.reserve(static_cast<size_t>(n) + packages);
    size_t leaf = 0, package = 0;
    while (leaf < static_cast<size_t>(n) || package < packages) {
      const bool takeLeaf =
          package >= packages ||
          (leaf < static_cast<size_t>(n) &&
           counts[leaves[leaf]] <= below[2 * package].weight + below[2 * package + 1].weight);
      if (takeLeaf) {
        merged.push_back({counts[leaves[leaf]], true, static_cast<int>(leaf)});
        ++leaf;
      } else {
        merged.push_back({below[2 * package].weight + below[2 * package + 1].weight, false, 0});
        ++package;
      }
    }
  }

  // The first 2n - 2 entries of the last list make the optimal solution; a
  // leaf's code length is the number of times it occurs in them, counted
  // through the packages down to the first list.
  size_t take = static_cast<size_t>(2 * n - 2);
  for (int d = maxLength - 1; d >= 0 && take > 0; --d) {
    size_t packagesTaken = 0;
    for (size_t i = 0; i < take && i < lists[d].size(); ++i) {
      if (lists[d][i].isLeaf) {
        ++lengths[leaves[lists[d][i].leaf]];
      } else {
        ++packagesTaken;
      }
    }
    take = 2 * packagesTaken;
  }
  return lengths;
}
