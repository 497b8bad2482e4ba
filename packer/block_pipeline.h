// Encodes pieces on worker threads and hands the coded blocks back in the
// order in which the pieces came, so that the archive is the same for any
// number of threads. In flight are at most two of the longest pieces per
// thread, in bytes, however many shorter ones that makes (up to 16 per
// thread): small pieces keep the threads busy while the caller prepares the
// next ones. With one job the pieces are encoded on the caller's thread, one
// at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

class BlockPipeline {
 public:
  // jobs >= 1; longestPiece: the most bytes a piece may have.
  BlockPipeline(int jobs, size_t longestPiece);
  // Stops the workers; pieces still in flight are dropped.
  virtual ~BlockPipeline();
  BlockPipeline(const BlockPipeline&) = delete;
  BlockPipeline& operator=(const BlockPipeline&) = delete;

  // How many threads encode (fewer than asked when the system gave fewer).
  int Threads() const;

  bool Full() const;   // no room for another piece: take the oldest first
  bool Empty() const;  // nothing in flight

  // The buffer for the next piece, `length` bytes, to be filled and then
  // handed over with Submit. Only while not Full.
  std::vector<uint8_t>& NextPiece(size_t length);
  void Submit();

  // Waits for the oldest piece in flight (only while not Empty) and returns
  // its coded block, empty when the encoder refused the piece. Valid until
  // the next NextPiece. Throws std::bad_alloc when a worker ran out of
  // memory on it.
  const std::vector<uint8_t>& TakeOldest();

 private:
  struct Shared;
  std::unique_ptr<Shared> shared_;
};
