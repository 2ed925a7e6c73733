#include "service/catalogue.h"

#include <QTextDocument>

#include <algorithm>
#include <vector>

namespace service::catalogue {

DocumentReader::DocumentReader(const QTextDocument* document)
    : reader(document->toPlainText())
{
}

// What a reader over one content of the document showed after each of its
// reads, read on only as far as some reader has asked. The reader is kept, so
// reads past the end or past an error give what it gives there too.
class TokenStream {
public:
    explicit TokenStream(const QTextDocument* document)
        : source(document)
    {
        // Names and texts together take about as much as the text itself.
        pool.reserve(document->characterCount());
        record();
    }

    // The token at `position`, reading on as far as needed; `known` becomes
    // the end of the tokens read so far that follow it in memory. Tokens
    // never move once read, so readers keep pointers to them while nested
    // walks read further.
    const Token* at(int position, const Token*& known)
    {
        while (position >= count) {
            source.xml().readNext();
            record();
        }
        const Token* chunk = chunks[size_t(position >> chunkBits)].get();
        known = chunk + std::min(count - (position & ~chunkMask), chunkSize);
        return chunk + (position & chunkMask);
    }

    const QString* strings() const { return &pool; }

private:
    static constexpr int chunkBits = 12;
    static constexpr int chunkSize = 1 << chunkBits;
    static constexpr int chunkMask = chunkSize - 1;

    void record()
    {
        if ((count & chunkMask) == 0)
            chunks.push_back(std::make_unique<Token[]>(chunkSize));
        const QXmlStreamReader& xml = source.xml();
        const QStringRef name = xml.name();
        const QStringRef text = xml.text();
        chunks.back()[size_t(count & chunkMask)] = { quint8(xml.tokenType()), quint8(xml.error()), xml.atEnd(),
            int(pool.size()), int(name.size()), int(text.size()) };
        pool += name;
        pool += text;
        ++count;
    }

    DocumentReader source;
    std::vector<std::unique_ptr<Token[]>> chunks;
    int count = 0;
    QString pool;
};

namespace {
// Lives as a child of the document it describes, so it ends with it and is
// never taken for another document's.
class TokenCache : public QObject {
public:
    explicit TokenCache(QTextDocument* document)
        : QObject(document)
        , document(document)
    {
        setObjectName(objectNameOfCache());
        // Lets a replaced catalogue's tokens go at once. Whether they are
        // current is up to the revision alone, which also moves while the
        // document's signals are blocked.
        connect(document, &QTextDocument::contentsChanged, this, [this] { stream.reset(); });
    }

    static TokenCache* of(QTextDocument* document)
    {
        auto* cache
            = dynamic_cast<TokenCache*>(document->findChild<QObject*>(objectNameOfCache(), Qt::FindDirectChildrenOnly));
        return cache ? cache : new TokenCache(document);
    }

    std::shared_ptr<TokenStream> tokens()
    {
        if (!stream || revision != document->revision()) {
            stream = std::make_shared<TokenStream>(document);
            revision = document->revision();
        }
        return stream;
    }

private:
    static QString objectNameOfCache() { return QStringLiteral("catalogueTokens"); }

    const QTextDocument* document;
    std::shared_ptr<TokenStream> stream;
    int revision = 0;
};
} // namespace

TokenReader::TokenReader(QTextDocument* document)
    : stream(TokenCache::of(document)->tokens())
    , strings(stream->strings())
{
    current = stream->at(position, known);
}

TokenReader::~TokenReader() = default;

void TokenReader::fetch() { current = stream->at(position, known); }

bool TokenReader::readNextStartElement()
{
    while (readNext() != QXmlStreamReader::Invalid) {
        if (isEndElement())
            return false;
        if (isStartElement())
            return true;
    }
    return false;
}

QString flagPath(const QString& country)
{
    return QStringLiteral(":/resources/flags/") + country.toLower() + QStringLiteral(".png");
}

int number(const QStringRef& text)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? value : 0;
}

namespace {
// The reader stands on the text of `enabled`; only "1" itself counts.
bool valueIsOne(const TokenReader& xml) { return !xml.hasError() && xml.textIs(QLatin1String("1")); }
} // namespace

bool pptpOffered(TokenReader& xml)
{
    xml.readNext();
    const auto type = xml.readNext();
    if (type == QXmlStreamReader::EndElement || !at(xml, QLatin1String("enabled")))
        return false;
    xml.readNext();
    return valueIsOne(xml);
}

bool offered(TokenReader& xml)
{
    xml.readNextStartElement();
    if (!at(xml, QLatin1String("enabled")))
        return false;
    xml.readNext();
    return valueIsOne(xml);
}

std::optional<QString> skipKey(TokenReader& xml)
{
    std::optional<QString> key;
    xml.readNext();
    xml.readNextStartElement();
    if (at(xml, QLatin1String("pskey"))) {
        xml.readNext();
        key = xml.text().toString();
    }
    xml.readNextStartElement();
    return key;
}

void walkProfiles(TokenReader& xml, int chosen, const ProfileHandlers& on)
{
    xml.readNext();
    xml.readNextStartElement();
    if (!at(xml, QLatin1String("profiles")))
        return;
    xml.readNextStartElement();
    if (!at(xml, QLatin1String("count")))
        return;
    xml.readNext();
    const int count = number(xml.text());
    xml.readNextStartElement();
    xml.readNext();

    for (int position = 0; position < count; ++position) {
        // A pass that finds no profile leaves the reader where it is, so every
        // later pass would find the same token: stopping here changes nothing
        // and keeps a huge count from spinning.
        if (!xml.isStartElement() || !xml.nameIs(QLatin1String("profile")))
            break;
        xml.readNextStartElement();
        if (at(xml, QLatin1String("name"))) {
            xml.readNext();
            const QString name = xml.text().toString();
            if (on.name)
                on.name(name);
            xml.readNextStartElement();
            xml.readNext();
        }
        if (at(xml, QLatin1String("config"))) {
            xml.readNext();
            if (position == chosen && on.config)
                on.config(xml.text().toString());
            xml.readNextStartElement();
            xml.readNext();
        }
        if (at(xml, QLatin1String("certificate"))) {
            xml.readNext();
            if (position == chosen && on.certificate)
                on.certificate(xml.text().toString());
            xml.readNextStartElement();
            xml.readNext();
        }
        xml.readNext();
    }
}

} // namespace service::catalogue
