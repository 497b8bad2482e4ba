// FILETIME (100 ns intervals since 1601-01-01 UTC) and POSIX timespec.
#pragma once

#include <time.h>

#include <cstdint>

// Seconds from 1601-01-01 to 1970-01-01, in FILETIME units.
constexpr uint64_t kFileTimeUnixEpoch = 116444736000000000ull;
constexpr uint64_t kFileTimeUnitsPerSecond = 10000000ull;

timespec FileTimeToTimespec(uint64_t fileTime);
// Times before 1601 become 0; nanoseconds are truncated to 100 ns.
uint64_t TimespecToFileTime(const timespec& time);
