#include "service/update.h"

#include <QXmlStreamReader>

namespace {
void skip(QXmlStreamReader& xml, int tokens)
{
    for (int i = 0; i < tokens; ++i)
        xml.readNext();
}
} // namespace

std::optional<service::update::Offer> service::update::readOffer(const QByteArray& document)
{
    // From the bytes, so a declared encoding is honoured.
    QXmlStreamReader xml(document);
    while (!xml.atEnd() && !xml.hasError()) {
        if (xml.readNext() == QXmlStreamReader::StartDocument)
            continue;
        // Standing on the root: its first field.
        if (!xml.readNextStartElement())
            return std::nullopt;
        Offer offer;
        xml.readNext();
        offer.version = xml.text().toString();
        skip(xml, 3);
        offer.url = xml.text().toString();
        skip(xml, 3);
        offer.notes = xml.text().toString();
        if (xml.hasError())
            return std::nullopt;
        return offer;
    }
    return std::nullopt;
}

std::optional<qint64> service::update::percent(qint64 received, qint64 total)
{
    if (total <= 0)
        return std::nullopt;
    return qBound(qint64(0), received * 100 / total, qint64(100));
}

bool service::update::acceptsInstallerUrl(const QUrl& url, bool installerIsRun)
{
    const QString scheme = url.scheme().toLower();
    if (url.host().isEmpty())
        return false;
    return scheme == QLatin1String("https") || (!installerIsRun && scheme == QLatin1String("http"));
}
