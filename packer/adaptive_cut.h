// Cuts a file into pieces of varying length, so that each coded block
// covers bytes of one kind: the Huffman stage has one code table per block,
// and a piece that starts where the data changes (code, then resources, then
// a bitmap) codes smaller than one that straddles the change.
//
// The file is seen in granules of about 2 KiB; a piece is a run of whole
// granules (the file's last one may be shorter), at most one block size
// long. Each granule is summarised by the symbol counts of a run stream
// modelled on the block encoder's; the cut with the fewest estimated coded
// bits (order-0 entropy, the code table, the chunk's length fields) is
// found by dynamic programming over the granule boundaries. A file whose
// best cut is estimated to save less than 0.5 % keeps the fixed cut. All
// arithmetic is in integers, so every build cuts a file the same way.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

class AdaptiveCut {
 public:
  // blockSize: the archive's block size, the longest piece (1024 or more).
  explicit AdaptiveCut(int32_t blockSize);
  virtual ~AdaptiveCut();

  // The file's next bytes, in order, in parts of any size.
  void Add(std::span<const uint8_t> bytes);

  // The lengths of the pieces in file order: each 1 to blockSize bytes,
  // adding up to every byte added; none when nothing was added. Starts over
  // for another file.
  std::vector<int32_t> Finish();

  // The granule: blockSize divided into at most 128 granules of about
  // 2 KiB, where possible evenly, so that a piece of exactly the block size
  // is one of the choices.
  int32_t GranuleBytes() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The fixed cut: pieces of exactly blockSize bytes, the last one shorter.
std::vector<int32_t> FixedCut(int64_t size, int32_t blockSize);
