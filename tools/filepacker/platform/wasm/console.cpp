// WebAssembly: the module's streams go to JavaScript (filepacker.mjs), with
// no terminal behind them, so no progress bar is drawn.
#include "tools/filepacker/extraction.h"

bool IsConsole(std::FILE*) { return false; }
