// Where a program of ours takes the libraries it loads from. A program is
// often run from the folder a browser saved it to, which other programs and
// web sites can drop files into, and the installer runs there elevated: a
// DLL left beside it, or in its current directory, must never be loaded in
// place of the system's own (platform/<system>/system_libraries.cpp).
#pragma once

// Takes every library that the process loads from now on, and the libraries
// those load in turn, from the system folder alone, as far as the system
// lets a program say so. Call it first thing, before anything loads a
// library. POSIX programs find their libraries by the loader's own paths,
// never beside the program: nothing to do there.
void KeepLibrariesToTheSystemFolder();
