#pragma once

namespace platform {

// Hands the memory the program has freed back to the system. After a large
// document has been read and let go, the allocator keeps most of it for later
// use, where the system counts it as the program's all the same.
void releaseFreedMemory();

} // namespace platform
