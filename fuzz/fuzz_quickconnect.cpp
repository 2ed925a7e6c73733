// The quick-connect list of the account information: every entry the stages
// can ask for, and the stage text.
#include "fuzzinput.h"

#include "connection/quickconnect.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const fuzz::MemoryWatch memory(size);
    const QString list = fuzz::text(data, size);
    const int count = connection::quickconnect::entryCount(list);
    FUZZ_CHECK(count >= 0 && count <= list.size() + 1);
    // Past both ends too: a stage number is the window's own counter.
    for (int index = -1; index <= count; ++index) {
        const connection::quickconnect::Entry entry = connection::quickconnect::entry(list, index);
        if (index < 0 || index == count)
            FUZZ_CHECK(entry.name.isEmpty() && entry.address.isEmpty() && entry.config.isEmpty());
        connection::quickconnect::upToNul(entry.key);
    }
    connection::quickconnect::stageText(QString::number(count), list);
    connection::quickconnect::stageText(list.left(12), list);
    return 0;
}
