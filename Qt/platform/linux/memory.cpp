#include "platform/memory.h"

#include <malloc.h>

void platform::releaseFreedMemory()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}
