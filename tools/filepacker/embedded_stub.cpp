#include "tools/filepacker/embedded_stub.h"

std::span<const uint8_t> EmbeddedStub() { return {}; }
