// Runs PackReader::ExtractFromMemory, with a progress bar on stderr when it
// is a terminal. Platform code: the extractor reports progress to a callback
// on POSIX and posts window messages on Win32.
#pragma once

#include <cstdint>

#include "archive/pack_reader.h"

// Returns ExtractFromMemory's result.
int RunExtraction(PackReader& reader, const uint8_t* archive, const char* folder, UnpackReport* report);

// True when stderr is a terminal (a console on Win32): only then is a
// progress bar drawn.
bool StderrIsTerminal();

// Draws "[#####.....]  50%" for position of total on stderr, over itself.
void DrawProgressBar(int64_t position, int64_t total);
// Ends the bar's line.
void EndProgressBar();
