// How `test` and `list` read an archive: through the installer's own
// extractor, after the same check of the size field against the bytes that
// the installer makes of its payload, writing nothing. test extracts into a
// simulated fresh install folder and so passes exactly the archives that the
// installer extracts; list walks the same way but only flags the names that
// such a folder would refuse, so that its listing goes on past them.
#pragma once

#include <cstdint>
#include <span>

#include "inspect/extraction_watch.h"

enum class WalkMode { kTest, kList };

void WalkArchive(std::span<const uint8_t> archive, WalkMode mode, ArchiveWalk& walk);
