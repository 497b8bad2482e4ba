#include "packer/block_pipeline.h"

#include <new>
#include <span>

#include "packer/block_encoder.h"
#include "packer/worker_threads.h"

namespace {

constexpr size_t kLongestPiecesPerThread = 2;
constexpr size_t kSlotsPerThread = 16;

// A buffer much larger than what it is to hold next is given back, so that
// memory follows the bytes in flight rather than the largest piece seen.
void Fit(std::vector<uint8_t>& buffer, size_t length) {
  if (buffer.capacity() > 2 * length + 4096) std::vector<uint8_t>().swap(buffer);
}

struct Slot {
  std::vector<uint8_t> piece;
  std::vector<uint8_t> block;
  bool outOfMemory = false;  // a worker's std::bad_alloc, for the caller to throw
  Semaphore encoded;  // posted once block holds the piece's coded block
};

void Encode(Slot& slot, EncoderScratch& scratch) {
  if (!EncodeBlock(std::span<const uint8_t>(slot.piece.data(), slot.piece.size()), slot.block, scratch)) {
    slot.block.clear();
  }
}

}  // namespace

// What the caller's thread and the workers share. The ring of slots is
// handed out in order: the caller fills slot (oldest + inFlight) and takes
// slot oldest; the workers take submitted slots in the same order, each
// under the lock, and post the slot's semaphore when it is encoded.
struct BlockPipeline::Shared final : public ThreadWork {
  std::vector<std::unique_ptr<Slot>> slots;
  std::vector<std::unique_ptr<WorkerThread>> workers;
  size_t oldest = 0;         // caller only
  size_t inFlight = 0;       // caller only
  size_t bytesInFlight = 0;  // caller only
  size_t byteBudget = 0;
  Semaphore submitted;  // one count per submitted piece not yet taken by a worker
  Mutex lock;           // guards nextToEncode and stopping
  size_t nextToEncode = 0;
  bool stopping = false;
  EncoderScratch callerScratch;  // for encoding on the caller's thread

  // Each worker's loop.
  void Run() noexcept override {
    EncoderScratch scratch;
    for (;;) {
      submitted.Wait();
      lock.Lock();
      if (stopping) {
        lock.Unlock();
        return;
      }
      Slot& slot = *slots[nextToEncode];
      nextToEncode = (nextToEncode + 1) % slots.size();
      lock.Unlock();
      // An exception may not leave a thread; the caller throws it when it
      // takes the slot, where its own allocations would have thrown.
      try {
        slot.outOfMemory = false;
        Encode(slot, scratch);
      } catch (const std::bad_alloc&) {
        slot.outOfMemory = true;
      }
      slot.encoded.Post();
    }
  }
};

BlockPipeline::BlockPipeline(int jobs, size_t longestPiece) : shared_(std::make_unique<Shared>()) {
  if (jobs > 1) {
    for (int i = 0; i < jobs; ++i) {
      auto worker = std::make_unique<WorkerThread>();
      if (!worker->Start(*shared_)) break;
      shared_->workers.push_back(std::move(worker));
    }
  }
  const size_t threads = shared_->workers.empty() ? 1 : shared_->workers.size();
  const size_t slots = shared_->workers.empty() ? 1 : kSlotsPerThread * threads;
  for (size_t i = 0; i < slots; ++i) shared_->slots.push_back(std::make_unique<Slot>());
  shared_->byteBudget = kLongestPiecesPerThread * threads * longestPiece;
}

BlockPipeline::~BlockPipeline() {
  shared_->lock.Lock();
  shared_->stopping = true;
  shared_->lock.Unlock();
  for (size_t i = 0; i < shared_->workers.size(); ++i) shared_->submitted.Post();
  for (auto& worker : shared_->workers) worker->Join();
}

int BlockPipeline::Threads() const {
  return shared_->workers.empty() ? 1 : static_cast<int>(shared_->workers.size());
}

bool BlockPipeline::Full() const {
  return shared_->inFlight == shared_->slots.size() || shared_->bytesInFlight >= shared_->byteBudget;
}

bool BlockPipeline::Empty() const { return shared_->inFlight == 0; }

std::vector<uint8_t>& BlockPipeline::NextPiece(size_t length) {
  Slot& slot = *shared_->slots[(shared_->oldest + shared_->inFlight) % shared_->slots.size()];
  Fit(slot.piece, length);
  Fit(slot.block, length + 16);
  slot.piece.resize(length);
  return slot.piece;
}

void BlockPipeline::Submit() {
  Slot& slot = *shared_->slots[(shared_->oldest + shared_->inFlight) % shared_->slots.size()];
  ++shared_->inFlight;
  shared_->bytesInFlight += slot.piece.size();
  if (shared_->workers.empty()) {
    Encode(slot, shared_->callerScratch);
  } else {
    shared_->submitted.Post();
  }
}

const std::vector<uint8_t>& BlockPipeline::TakeOldest() {
  Slot& slot = *shared_->slots[shared_->oldest];
  if (!shared_->workers.empty()) slot.encoded.Wait();
  shared_->oldest = (shared_->oldest + 1) % shared_->slots.size();
  --shared_->inFlight;
  shared_->bytesInFlight -= slot.piece.size();
  if (slot.outOfMemory) throw std::bad_alloc();
  return slot.block;
}
