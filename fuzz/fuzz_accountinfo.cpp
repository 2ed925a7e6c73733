// The account information: the fields after the response's "true", as the
// window finds them, and the two list fields split into entries.
#include "fuzzinput.h"

#include "service/accountinfo.h"

#include <QXmlStreamReader>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const fuzz::MemoryWatch memory(size);
    const QString text = fuzz::text(data, size);
    QXmlStreamReader xml(text);
    while (!xml.atEnd() && !xml.hasError()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != QLatin1String("response"))
            continue;
        xml.readNext();
        if (xml.text() != QLatin1String("true"))
            continue;
        const service::accountinfo::Fields fields = service::accountinfo::readFields(xml);
        for (const QString* list : { &fields.paymentMethods, &fields.plans }) {
            const auto entries = service::accountinfo::splitList(*list);
            FUZZ_CHECK(entries.size() <= list->count(QLatin1Char('|')) + 1);
        }
    }
    // The list reader over the whole text too: it meets any characters there.
    const auto entries = service::accountinfo::splitList(text);
    FUZZ_CHECK(entries.size() <= text.count(QLatin1Char('|')) + 1);
    return 0;
}
