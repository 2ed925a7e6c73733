// The IP echo page.
#include "fuzzinput.h"

#include "connection/monitoring.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const fuzz::MemoryWatch memory(size);
    const QString page = fuzz::text(data, size);
    FUZZ_CHECK(connection::addressFromEchoPage(page).size() <= page.size());
    return 0;
}
