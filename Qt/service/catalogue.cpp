#include "service/catalogue.h"

#include "platform/memory.h"

#include <QTextDocument>

#include <algorithm>
#include <array>
#include <vector>

namespace service::catalogue {

DocumentReader::DocumentReader(const QTextDocument* document)
    : reader(document->toPlainText())
{
}

// The characters of an element's name after its first.
constexpr std::array<bool, 128> nameChars = [] {
    std::array<bool, 128> chars {};
    for (char c = 'a'; c <= 'z'; ++c)
        chars[size_t(c)] = chars[size_t(c - 'a' + 'A')] = true;
    for (char c = '0'; c <= '9'; ++c)
        chars[size_t(c)] = true;
    chars['_'] = chars['-'] = chars['.'] = true;
    return chars;
}();

// What a reader over one content of the document showed after each of its
// reads, read on only as far as some reader has asked. The reader is kept, so
// reads past the end or past an error give what it gives there too.
//
// A catalogue as the service writes it (elements without attributes, plain
// text, nothing else) is first read by a scanner of that plain form alone,
// several times faster than QXmlStreamReader, whose tokens it gives up to the
// end of the document. Anything else in the text, and any read past the end,
// is left to QXmlStreamReader, which then reads the text from the start.
class TokenStream {
public:
    explicit TokenStream(const QTextDocument* document)
        : text(plainText(document, plainCharacters))
    {
        record(QXmlStreamReader::NoToken, false, 0, 0, 0);
        if (!scanPlainCatalogue()) {
            chunks.clear();
            count = 0;
            pool.clear();
            startReader();
            recordReader();
        }
    }

    // The token at `position`, reading on as far as needed; `known` becomes
    // the end of the tokens read so far that follow it in memory. Tokens
    // never move once read, so readers keep pointers to them while nested
    // walks read further.
    const Token* at(int position, const Token*& known)
    {
        while (position >= count) {
            if (!reader) {
                // Past what the scanner read: the reader reads up to there first.
                startReader();
                for (int read = 1; read < count; ++read)
                    reader->readNext();
            }
            reader->readNext();
            recordReader();
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

    // As toPlainText(), without the copy it makes to change the separators,
    // over a text whose every line end is such a separator (see
    // storeDocumentText()). The same pass notes whether every character may
    // stand in a text as it is: no reference, no line end to normalise,
    // nothing QXmlStreamReader might refuse. Markup with such a character is
    // not of the plain form either. No branches, so the compiler vectorises it.
    static QString plainText(const QTextDocument* document, bool& plainCharacters)
    {
        QString text = document->toRawText();
        auto* each = reinterpret_cast<char16_t*>(text.data());
        const int size = text.size();
        char16_t refused = 0;
        for (int at = 0; at < size; ++at) {
            char16_t c = each[at];
            const bool lineEnd
                = c == QChar::LineSeparator || c == QChar::ParagraphSeparator || c == 0xfdd0 || c == 0xfdd1;
            c = lineEnd ? u'\n' : c == QChar::Nbsp ? u' ' : c;
            each[at] = c;
            refused |= char16_t(c < 0x20) & char16_t(c != u'\n') & char16_t(c != u'\t');
            refused |= char16_t(c >= 0xd800) | char16_t(c == u'&');
        }
        // "]]>" may not stand in a text.
        for (int at = 2; at < size; ++at)
            refused |= char16_t(each[at] == u'>') & char16_t(each[at - 1] == u']') & char16_t(each[at - 2] == u']');
        plainCharacters = !refused;
        return text;
    }

    void record(QXmlStreamReader::TokenType type, bool atEnd, int start, int nameSize, int textSize,
        QXmlStreamReader::Error error = QXmlStreamReader::NoError)
    {
        if ((count & chunkMask) == 0)
            chunks.push_back(std::make_unique<Token[]>(chunkSize));
        chunks.back()[size_t(count & chunkMask)] = { quint8(type), quint8(error), atEnd, start, nameSize, textSize };
        ++count;
    }

    void startReader()
    {
        reader = std::make_unique<QXmlStreamReader>(text);
        // Names and texts together take about as much as the text itself.
        pool.reserve(pool.size() + text.size());
    }

    void recordReader()
    {
        const QStringRef name = reader->name();
        const QStringRef readText = reader->text();
        record(reader->tokenType(), reader->atEnd(), int(pool.size()), int(name.size()), int(readText.size()),
            reader->error());
        pool += name;
        pool += readText;
    }

    static bool isNameStart(ushort c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
    // Names are most of a catalogue's markup: one look-up per character.
    static bool isNameChar(ushort c) { return c < nameChars.size() && nameChars[c]; }
    static bool isSpace(ushort c) { return c == ' ' || c == '\n' || c == '\t'; }

    // Records the tokens of the text when it has the plain form; false, with
    // some tokens recorded, when it has not.
    bool scanPlainCatalogue()
    {
        // Tokens take their names and texts from the text itself.
        pool = text;
        const ushort* const begin = reinterpret_cast<const ushort*>(text.constData());
        const ushort* const end = begin + text.size();
        if (!plainCharacters)
            return false;
        const ushort* at = begin;
        const auto offset = [begin](const ushort* from) { return int(from - begin); };

        static const QLatin1String declarations[]
            = { QLatin1String("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"), QLatin1String("<?xml version=\"1.0\"?>") };
        for (const QLatin1String& declaration : declarations) {
            if (QStringView(text).startsWith(declaration)) {
                at += declaration.size();
                break;
            }
        }
        record(QXmlStreamReader::StartDocument, false, 0, 0, 0);

        std::vector<QStringView> open;
        bool rootSeen = false;
        while (at != end) {
            if (*at != '<') {
                // A text runs to the next tag; most are short.
                const ushort* const from = at;
                at = std::find(at, end, ushort('<'));
                if (open.empty()) {
                    // Outside the root only white space, which is not reported.
                    if (!std::all_of(from, at, isSpace))
                        return false;
                    continue;
                }
                if (at == end)
                    return false;
                record(QXmlStreamReader::Characters, false, offset(from), 0, int(at - from));
                continue;
            }
            ++at;
            const bool closing = at != end && *at == '/';
            if (closing)
                ++at;
            const ushort* const name = at;
            if (at == end || !isNameStart(*at))
                return false;
            while (at != end && isNameChar(*at))
                ++at;
            const QStringView nameView(reinterpret_cast<const QChar*>(name), at - name);
            if (closing) {
                if (at == end || *at != '>' || open.empty() || open.back() != nameView)
                    return false;
                ++at;
                open.pop_back();
                record(QXmlStreamReader::EndElement, false, offset(name), int(nameView.size()), 0);
                continue;
            }
            if (rootSeen && open.empty())
                return false; // a second root
            const bool empty = at != end && *at == '/';
            if (empty)
                ++at;
            if (at == end || *at != '>')
                return false;
            ++at;
            rootSeen = true;
            record(QXmlStreamReader::StartElement, false, offset(name), int(nameView.size()), 0);
            if (empty)
                record(QXmlStreamReader::EndElement, false, offset(name), int(nameView.size()), 0);
            else
                open.push_back(nameView);
        }
        if (!rootSeen || !open.empty())
            return false;
        record(QXmlStreamReader::EndDocument, true, 0, 0, 0);
        return true;
    }

    // Set while `text` is made: it must stay declared before it.
    bool plainCharacters = false;
    const QString text;
    std::unique_ptr<QXmlStreamReader> reader;
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
            // Kept for the walks of one change, which follow one another at
            // once (a selection change runs three, nested), and let go when
            // they are done: a catalogue's tokens and its second copy of the
            // text would otherwise cost several times the document.
            if (!releaseQueued) {
                releaseQueued = true;
                QMetaObject::invokeMethod(
                    this,
                    [this] {
                        releaseQueued = false;
                        stream.reset();
                        platform::releaseFreedMemory();
                    },
                    Qt::QueuedConnection);
            }
        }
        return stream;
    }

private:
    static QString objectNameOfCache() { return QStringLiteral("catalogueTokens"); }

    const QTextDocument* document;
    std::shared_ptr<TokenStream> stream;
    int revision = 0;
    bool releaseQueued = false;
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
