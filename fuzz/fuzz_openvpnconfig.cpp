// A downloaded OpenVPN configuration: the check for directives that could
// run code or write files on the machine.
#include "fuzzinput.h"

#include "connection/openvpn.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const fuzz::MemoryWatch memory(size);
    const QString refused = connection::openvpn::refusedDirective(fuzz::body(data, size));
    // Only a directive of the list is ever named.
    FUZZ_CHECK(refused.isEmpty() || connection::openvpn::refusedDirectives().contains(refused)
        || refused.startsWith(QLatin1String("management-")));
    return 0;
}
