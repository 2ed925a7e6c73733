// The update document, from the raw bytes as the window reads it.
#include "fuzzinput.h"

#include "service/update.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const fuzz::MemoryWatch memory(size);
    const QByteArray document = fuzz::body(data, size);
    if (const auto offer = service::update::readOffer(document)) {
        // Every field is text of the document, so none can be longer than it.
        for (const QString* field : { &offer->version, &offer->url, &offer->notes })
            FUZZ_CHECK(field->size() <= document.size());
        service::update::acceptsInstallerUrl(QUrl(offer->url), true);
    }
    return 0;
}
