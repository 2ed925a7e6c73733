// The plain-text reply to an account request.
#include "fuzzinput.h"

#include "service/newaccount.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const fuzz::MemoryWatch memory(size);
    const QString body = fuzz::text(data, size);
    const service::newaccount::Reply reply = service::newaccount::readReply(body);
    FUZZ_CHECK(reply.created == (body.startsWith(QLatin1String("true|")) || body == QLatin1String("true")));
    FUZZ_CHECK(reply.text.size() <= body.size());
    return 0;
}
