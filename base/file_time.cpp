#include "base/file_time.h"

timespec FileTimeToTimespec(uint64_t fileTime) {
  timespec result;
  if (fileTime >= kFileTimeUnixEpoch) {
    const uint64_t since = fileTime - kFileTimeUnixEpoch;
    result.tv_sec = static_cast<time_t>(since / kFileTimeUnitsPerSecond);
    result.tv_nsec = static_cast<long>(since % kFileTimeUnitsPerSecond * 100);
  } else {
    // Before 1970: round the seconds down so that the nanoseconds stay >= 0.
    const uint64_t before = kFileTimeUnixEpoch - fileTime;
    const uint64_t seconds = (before + kFileTimeUnitsPerSecond - 1) / kFileTimeUnitsPerSecond;
    result.tv_sec = -static_cast<time_t>(seconds);
    result.tv_nsec = static_cast<long>((seconds * kFileTimeUnitsPerSecond - before) * 100);
  }
  return result;
}

uint64_t TimespecToFileTime(const timespec& time) {
  const int64_t units = static_cast<int64_t>(time.tv_nsec / 100);
  if (time.tv_sec >= 0) {
    return kFileTimeUnixEpoch + static_cast<uint64_t>(time.tv_sec) * kFileTimeUnitsPerSecond +
           static_cast<uint64_t>(units);
  }
  const uint64_t before = static_cast<uint64_t>(-(time.tv_sec + 1)) * kFileTimeUnitsPerSecond +
                          (kFileTimeUnitsPerSecond - static_cast<uint64_t>(units));
  return before >= kFileTimeUnixEpoch ? 0 : kFileTimeUnixEpoch - before;
}
