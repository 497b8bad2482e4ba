#include "packer/code_lengths.h"

#include <algorithm>
#include <memory>
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

// Lengths of a minimum-redundancy (Huffman) code for weights sorted in
// increasing order, computed in place: on return weights[i] is the length
// of the code of the i-th weight. Three passes over the array (Moffat and
// Katajainen): pair off leaves and packages, leaving parent pointers; turn
// them into depths of the packages; hand out the leaves' depths.
void HuffmanLengthsInPlace(std::vector<uint64_t>& weights) {
  const int n = static_cast<int>(weights.size());
  uint64_t* a = weights.data();
  a[0] += a[1];
  int root = 0, leaf = 2;
  for (int next = 1; next < n - 1; ++next) {
    if (leaf >= n || a[root] < a[leaf]) {
      a[next] = a[root];
      a[root++] = static_cast<uint64_t>(next);
    } else {
      a[next] = a[leaf++];
    }
    if (leaf >= n || (root < next && a[root] < a[leaf])) {
      a[next] += a[root];
      a[root++] = static_cast<uint64_t>(next);
    } else {
      a[next] += a[leaf++];
    }
  }
  a[n - 2] = 0;
  for (int next = n - 3; next >= 0; --next) a[next] = a[a[next]] + 1;
  int available = 1, used = 0, depth = 0, next = n - 1;
  root = n - 2;
  while (available > 0) {
    while (root >= 0 && a[root] == static_cast<uint64_t>(depth)) {
      ++used;
      --root;
    }
    while (available > used) {
      a[next--] = static_cast<uint64_t>(depth);
      --available;
    }
    available = 2 * used;
    ++depth;
    used = 0;
  }
}

}  // namespace

CodeLengths LimitedCodeLengths(const ByteCounts& counts, int maxLength, bool codeEveryValue) {
  CodeLengths lengths{};
  maxLength = std::clamp(maxLength, 1, kMaxCodeLength);
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

  // Unlimited, the optimal code is the Huffman code; only where that needs
  // codes beyond the limit does package-merge have to find another.
  std::vector<uint64_t> huffman(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) huffman[i] = counts[leaves[i]];
  HuffmanLengthsInPlace(huffman);
  if (huffman[0] <= static_cast<uint64_t>(maxLength)) {
    for (int i = 0; i < n; ++i) lengths[leaves[i]] = static_cast<uint8_t>(huffman[i]);
    return lengths;
  }

  // lists[0] holds the leaves alone (the deepest length); each further list
  // merges the leaves with the packages of the list before it. A list holds
  // at most n leaves and n - 1 packages; all of them share one buffer.
  const size_t stride = static_cast<size_t>(2 * n);
  // Left uninitialised: every entry is written before it is read, and
  // clearing the whole buffer would cost more than the merging.
  const std::unique_ptr<MergeItem[]> items(new MergeItem[stride * static_cast<size_t>(maxLength)]);
  std::array<size_t, kMaxCodeLength> listSize{};
  MergeItem* first = items.get();
  for (int i = 0; i < n; ++i) first[i] = {counts[leaves[i]], true, i};
  listSize[0] = static_cast<size_t>(n);
  for (int d = 1; d < maxLength; ++d) {
    const MergeItem* below = first + stride * static_cast<size_t>(d - 1);
    MergeItem* merged = first + stride * static_cast<size_t>(d);
    const size_t packages = listSize[d - 1] / 2;
    size_t leaf = 0, package = 0, size = 0;
    while (leaf < static_cast<size_t>(n) || package < packages) {
      const uint64_t packageWeight = package < packages ? below[2 * package].weight + below[2 * package + 1].weight : 0;
      const bool takeLeaf = package >= packages || (leaf < static_cast<size_t>(n) && counts[leaves[leaf]] <= packageWeight);
      if (takeLeaf) {
        merged[size++] = {counts[leaves[leaf]], true, static_cast<int>(leaf)};
        ++leaf;
      } else {
        merged[size++] = {packageWeight, false, 0};
        ++package;
      }
    }
    listSize[d] = size;
  }

  // The first 2n - 2 entries of the last list make the optimal solution; a
  // leaf's code length is the number of times it occurs in them, counted
  // through the packages down to the first list.
  size_t take = static_cast<size_t>(2 * n - 2);
  for (int d = maxLength - 1; d >= 0 && take > 0; --d) {
    const MergeItem* list = first + stride * static_cast<size_t>(d);
    size_t packagesTaken = 0;
    for (size_t i = 0; i < take && i < listSize[d]; ++i) {
      if (list[i].isLeaf) {
        ++lengths[leaves[list[i].leaf]];
      } else {
        ++packagesTaken;
      }
    }
    take = 2 * packagesTaken;
  }
  return lengths;
}
