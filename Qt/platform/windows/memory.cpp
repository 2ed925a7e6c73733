#include "platform/memory.h"

// The Windows heap gives large freed blocks back by itself.
void platform::releaseFreedMemory() { }
