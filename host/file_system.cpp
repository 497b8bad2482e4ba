// The temporary files that an interruption removes, the same on every
// system: each system's file_system.cpp arms them as it makes them and
// catches the interruption.
#include "host/file_system.h"

#include <atomic>
#include <cstring>

namespace {

// A slot's path is written before it is armed and only read by the handler
// while armed; the handler runs in a signal (POSIX) or on a thread of its
// own (Win32), where a lock-free atomic is safe.
constexpr int kTempSlots = 4;
constexpr size_t kTempPathCapacity = 4096;
char tempSlotPath[kTempSlots][kTempPathCapacity];
std::atomic<int> tempSlotArmed[kTempSlots];
static_assert(std::atomic<int>::is_always_lock_free, "read in a signal handler");

void RemoveArmedTemps() {
  for (int i = 0; i < kTempSlots; i++) {
    if (tempSlotArmed[i].load() != 0) file_system::DeleteNow(tempSlotPath[i]);
  }
}

}  // namespace

namespace file_system {

void ArmTemp(const std::string& path) {
  CatchInterruptions(RemoveArmedTemps);
  for (int i = 0; i < kTempSlots; i++) {
    if (tempSlotArmed[i].load() == 0 && path.size() < kTempPathCapacity) {
      std::memcpy(tempSlotPath[i], path.c_str(), path.size() + 1);
      tempSlotArmed[i].store(1);
      return;
    }
  }
}

void DisarmTemp(const std::string& path) {
  for (int i = 0; i < kTempSlots; i++) {
    if (tempSlotArmed[i].load() != 0 && path == tempSlotPath[i]) tempSlotArmed[i].store(0);
  }
}

void RemoveTempFile(const std::string& path) {
  DeleteNow(path.c_str());
  DisarmTemp(path);
}

std::string AlreadyExists(const std::string& target) { return target + ": already exists"; }

}  // namespace file_system
