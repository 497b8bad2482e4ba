#include "base/system_libraries.h"

void KeepLibrariesToTheSystemFolder() {}
