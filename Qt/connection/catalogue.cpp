#include "connection/catalogue.h"

#include <QIODevice>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCodec>
#include <QTextDocument>

#include <algorithm>
#include <climits>
#include <cstring>

namespace catalogue {

// The document's plain text, converted block by block on demand. Joining the
// blocks' texts with line breaks and mapping the same characters gives exactly
// what QTextDocument::toPlainText() gives, without copying the whole document.
class DocumentText {
public:
    explicit DocumentText(const QTextDocument* document)
        : document(document)
        , revision(document->revision())
        , next(document->begin())
    {
    }

    bool isTextOf(const QTextDocument* other) const { return other == document && other->revision() == revision; }

    // Converts blocks until at least `size` characters are there or the
    // document ends; answers how many there are.
    int extendTo(int size)
    {
        while (converted.size() < size && next.isValid()) {
            if (!first)
                converted += QLatin1Char('\n');
            first = false;
            QString block = next.text();
            for (QChar& character : block) {
                switch (character.unicode()) {
                case 0xfdd0: // frame start and end markers
                case 0xfdd1:
                case QChar::ParagraphSeparator:
                case QChar::LineSeparator:
                    character = QLatin1Char('\n');
                    break;
                case QChar::Nbsp:
                    character = QLatin1Char(' ');
                    break;
                default:
                    break;
                }
            }
            converted += block;
            next = next.next();
        }
        return converted.size();
    }

    const QString& text() const { return converted; }

private:
    const QTextDocument* document;
    int revision;
    QTextBlock next;
    bool first = true;
    QString converted;
};

namespace {
// Only the GUI thread walks the catalogue.
std::weak_ptr<DocumentText> latestText;

QTextCodec* utf8() { return QTextCodec::codecForMib(106); }

// Hands the text to a reader as UTF-8, a chunk at a time, the way a reader
// made from the whole string encodes it.
class TextDevice : public QIODevice {
public:
    explicit TextDevice(std::shared_ptr<DocumentText> source)
        : source(std::move(source))
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }

    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        qint64 written = 0;
        while (written < maxSize) {
            if (pendingPosition == pending.size()) {
                pending = nextChunk();
                pendingPosition = 0;
                if (pending.isEmpty())
                    break;
            }
            const qint64 count = std::min<qint64>(maxSize - written, pending.size() - pendingPosition);
            std::memcpy(data + written, pending.constData() + pendingPosition, size_t(count));
            written += count;
            pendingPosition += int(count);
        }
        return written;
    }

    qint64 writeData(const char*, qint64) override { return -1; }

private:
    static constexpr int chunkCharacters = 4096;

    QByteArray nextChunk()
    {
        const int available = source->extendTo(position + chunkCharacters + 1);
        int end = std::min(position + chunkCharacters, available);
        // Never split a surrogate pair: each chunk is encoded on its own.
        if (end > position && end < available && source->text().at(end - 1).isHighSurrogate())
            ++end;
        const QByteArray bytes = utf8()->fromUnicode(source->text().constData() + position, end - position);
        position = end;
        return bytes;
    }

    std::shared_ptr<DocumentText> source;
    int position = 0;
    QByteArray pending;
    int pendingPosition = 0;
};

// A reader fed bytes guesses their encoding and follows an encoding named
// in the XML declaration, where one made from a string keeps to its text.
// Feed bytes only where both come out the same: UTF-8 is detected from the
// first four bytes and any declared encoding is UTF-8 itself.
bool readsAlikeAsBytes(DocumentText& text)
{
    constexpr int headSize = 4096;
    const int available = text.extendTo(headSize);
    if (available < 4)
        return false;
    const QStringRef head(&text.text(), 0, std::min(available, headSize));
    for (int index = 0; index < 4; ++index) {
        if (head.at(index).isNull())
            return false;
    }
    const int declaration = head.indexOf(QLatin1String("<?xml"));
    if (declaration < 0)
        return true;
    const int declarationEnd = head.indexOf(QLatin1String("?>"), declaration);
    if (declarationEnd < 0)
        return false;
    const QString attributes = head.mid(declaration, declarationEnd - declaration).toString();
    const int mentions = attributes.count(QLatin1String("encoding"));
    if (mentions == 0)
        return true;
    if (mentions > 1)
        return false;
    static const QRegularExpression encoding(QStringLiteral("encoding\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)')"));
    const QRegularExpressionMatch match = encoding.match(attributes);
    if (!match.hasMatch())
        return false;
    const QString name = match.captured(1).isEmpty() ? match.captured(2) : match.captured(1);
    return QTextCodec::codecForName(name.toLatin1()) == utf8();
}
} // namespace

DocumentReader::DocumentReader(const QTextDocument* document)
    : text(latestText.lock())
{
    if (!text || !text->isTextOf(document)) {
        text = std::make_shared<DocumentText>(document);
        latestText = text;
    }
    if (readsAlikeAsBytes(*text)) {
        device = std::make_unique<TextDevice>(text);
        reader = std::make_unique<QXmlStreamReader>(device.get());
    } else {
        text->extendTo(INT_MAX);
        reader = std::make_unique<QXmlStreamReader>(text->text());
    }
}

DocumentReader::~DocumentReader() = default;

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

bool at(const QXmlStreamReader& xml, QLatin1String name) { return xml.name() == name && !xml.hasError(); }

namespace {
// The reader stands on the text of `enabled`; only "1" itself counts.
bool valueIsOne(const QXmlStreamReader& xml) { return !xml.hasError() && xml.text() == QLatin1String("1"); }
} // namespace

bool pptpOffered(QXmlStreamReader& xml)
{
    xml.readNext();
    const auto type = xml.readNext();
    if (type == QXmlStreamReader::EndElement || !at(xml, QLatin1String("enabled")))
        return false;
    xml.readNext();
    return valueIsOne(xml);
}

bool offered(QXmlStreamReader& xml)
{
    xml.readNextStartElement();
    if (!at(xml, QLatin1String("enabled")))
        return false;
    xml.readNext();
    return valueIsOne(xml);
}

std::optional<QString> skipKey(QXmlStreamReader& xml)
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

void walkProfiles(QXmlStreamReader& xml, int chosen, const ProfileHandlers& on)
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
        if (!xml.isStartElement() || xml.name() != QLatin1String("profile"))
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

} // namespace catalogue
