// FILETIME (100 ns intervals since 1601-01-01 UTC, as the archive stores
// times) and the C library's timespec (seconds since 1970), in both
// directions, for every part of the project that converts.
#pragma once

#include <time.h>

#include <cstdint>

// 1970-01-01 in FILETIME units.
constexpr uint64_t kFileTimeUnixEpoch = 116444736000000000ull;
constexpr uint64_t kFileTimeUnitsPerSecond = 10000000ull;

// Exact: tv_sec rounds down, so times before 1970 have a negative tv_sec and
// a tv_nsec of 0..999999999.
timespec FileTimeToTimespec(uint64_t fileTime);
// Times before 1601 (which FILETIME cannot hold) become 0; nanoseconds are
// truncated to 100 ns.
uint64_t TimespecToFileTime(const timespec& time);
