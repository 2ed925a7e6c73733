// The catalogue: the token cache must read exactly like a fresh
// QXmlStreamReader over the same plain text, also when replayed, and the
// walkers' rules must end over any document.
#include "fuzzinput.h"

#include "service/catalogue.h"
#include "service/documenttext.h"

#include <QGuiApplication>
#include <QTextDocument>

namespace catalogue = service::catalogue;
using catalogue::at;

namespace {

bool sameToken(const catalogue::TokenReader& cached, const QXmlStreamReader& fresh)
{
    return cached.tokenType() == fresh.tokenType() && cached.error() == fresh.error() && cached.atEnd() == fresh.atEnd()
        && cached.name() == fresh.name() && cached.text() == fresh.text();
}

// Token for token, and a few reads past the end or the error, where the
// walkers still read.
void compareWithFreshReader(QTextDocument& document)
{
    const QString plain = document.toPlainText();
    QXmlStreamReader fresh(plain);
    catalogue::TokenReader cached(&document);
    FUZZ_CHECK(sameToken(cached, fresh));
    int pastTheEnd = 0;
    while (pastTheEnd < 3) {
        if (fresh.atEnd() || fresh.hasError())
            ++pastTheEnd;
        FUZZ_CHECK(cached.readNext() == fresh.readNext());
        FUZZ_CHECK(sameToken(cached, fresh));
    }
}

// The rules of the window's walkers (server list, protocols, modes and the
// chosen profile), for one selection.
void walk(QTextDocument& document, int selectedServer, int selectedProtocol, int selectedType)
{
    {
        catalogue::TokenReader xml(&document);
        int servers = 0;
        catalogue::walkServers(
            xml,
            [&](QXmlStreamReader::TokenType type) {
                if (type == QXmlStreamReader::EndElement)
                    return;
                if (at(xml, QLatin1String("id")))
                    xml.readNext();
                if (at(xml, QLatin1String("shortname")))
                    xml.readNext();
                if (at(xml, QLatin1String("country"))) {
                    xml.readNext();
                    ++servers;
                }
            },
            [] { return false; });
        FUZZ_CHECK(servers >= 0);
    }

    catalogue::TokenReader xml(&document);
    int serverCount = -1;
    int protocolCount = -1;
    const auto protocolSelected = [&] { return serverCount == selectedServer && protocolCount == selectedProtocol; };
    QStringList seen;
    const catalogue::ProfileHandlers profiles {
        [&](const QString& name) { seen << name; },
        [&](const QString& config) { seen << config; },
        [&](const QString& certificate) { seen << certificate; },
    };
    const auto rule = [&](QXmlStreamReader::TokenType type) {
        const bool opening = type != QXmlStreamReader::EndElement;
        if (opening && at(xml, QLatin1String("id"))) {
            xml.readNext();
            ++serverCount;
            protocolCount = -1;
        }
        for (const char* field : { "shortname", "IP", "country", "assignedIP" }) {
            if (opening && at(xml, QLatin1String(field)))
                xml.readNext();
        }
        if (opening && at(xml, QLatin1String("pptp")) && catalogue::pptpOffered(xml))
            ++protocolCount;
        if (opening && at(xml, QLatin1String("l2tp"))) {
            if (catalogue::offered(xml))
                ++protocolCount;
            if (const auto key = catalogue::skipKey(xml))
                seen << *key;
        }
        if (at(xml, QLatin1String("openvpn")) && catalogue::offered(xml)) {
            ++protocolCount;
            if (protocolSelected())
                catalogue::walkProfiles(xml, selectedType, profiles);
        }
    };
    catalogue::walkServers(xml, rule, [&] { return serverCount > selectedServer; });
}

} // namespace

// A text document asks the application for its default layout and font.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Never destroyed: Qt's font caches would otherwise go after the
    // application at exit and count as leaks.
    static QGuiApplication* application = new QGuiApplication(*argc, *argv);
    Q_UNUSED(application)
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const fuzz::MemoryWatch memory(size);
    QTextDocument document;
    service::storeDocumentText(&document, fuzz::text(data, size));
    compareWithFreshReader(document);
    // A second pass replays the cached tokens instead of parsing.
    compareWithFreshReader(document);
    walk(document, 0, 0, 0);
    walk(document, 1, 2, 1);
    return 0;
}
