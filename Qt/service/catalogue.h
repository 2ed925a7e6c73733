#pragma once

#include <QLatin1String>
#include <QString>
#include <QStringRef>
#include <QXmlStreamReader>

#include <functional>
#include <memory>
#include <optional>

class QTextDocument;

// Reading the server catalogue. The walkers read the document token by token
// with a fixed number of reads at some points, so the service's layout
// (including some white space) is part of the format; each step below leaves
// the reader exactly where the next rule of the walkers expects it.
namespace service::catalogue {

// A reader over a text document's plain text, exactly as toPlainText() gives it.
class DocumentReader {
public:
    explicit DocumentReader(const QTextDocument* document);

    QXmlStreamReader& xml() { return reader; }

private:
    QXmlStreamReader reader;
};

class TokenStream;

// What a QXmlStreamReader shows after one read. Its name and then its text
// stand from `start` in a string that all tokens share, so a large catalogue
// costs no allocation per token.
struct Token {
    quint8 type; // QXmlStreamReader::TokenType
    quint8 error; // QXmlStreamReader::Error
    bool atEnd;
    int start;
    int nameSize;
    int textSize;
};

// Reads the catalogue like a fresh QXmlStreamReader over the document's plain
// text: the same tokens in the same order, with the same name, text, error and
// end state after every read, also after an error or past the end. Every
// selection change walks the catalogue from the start several times, so the
// text is parsed once per content of the document (tracked through its
// revision) and later readers replay what the first one read.
class TokenReader {
public:
    explicit TokenReader(QTextDocument* document);
    ~TokenReader();

    TokenReader(const TokenReader&) = delete;
    TokenReader& operator=(const TokenReader&) = delete;

    QXmlStreamReader::TokenType readNext()
    {
        ++position;
        if (++current == known)
            fetch();
        return tokenType();
    }
    // As QXmlStreamReader's: true on a start element, false on an end element
    // or an error.
    bool readNextStartElement();

    QXmlStreamReader::TokenType tokenType() const { return QXmlStreamReader::TokenType(current->type); }
    bool isStartElement() const { return tokenType() == QXmlStreamReader::StartElement; }
    bool isEndElement() const { return tokenType() == QXmlStreamReader::EndElement; }
    bool atEnd() const { return current->atEnd; }
    bool hasError() const { return error() != QXmlStreamReader::NoError; }
    QXmlStreamReader::Error error() const { return QXmlStreamReader::Error(current->error); }
    QStringRef name() const { return QStringRef(strings, current->start, current->nameSize); }
    QStringRef text() const { return QStringRef(strings, current->start + current->nameSize, current->textSize); }

    // Exact comparisons, the length first: the walkers ask these of nearly
    // every token.
    bool nameIs(QLatin1String expected) const { return current->nameSize == expected.size() && name() == expected; }
    bool textIs(QLatin1String expected) const { return current->textSize == expected.size() && text() == expected; }

private:
    void fetch();

    std::shared_ptr<TokenStream> stream;
    const QString* strings;
    int position = 0;
    // The current token, and the end of those read so far that follow it
    // in memory.
    const Token* current = nullptr;
    const Token* known = nullptr;
};

// Resource path of the flag shown for a server's country code.
QString flagPath(const QString& country);

// A number in the catalogue: decimal text, 0 when it is not a number.
int number(const QStringRef& text);

// Whether the reader stands on an element (start or end tag) of that name.
// Nothing matches once the reader has met an error.
inline bool at(const TokenReader& xml, QLatin1String name) { return xml.nameIs(name) && !xml.hasError(); }

// From a `pptp` start tag: exactly one token (the indentation) is expected
// before `enabled`; the protocol is offered when its text is exactly "1".
bool pptpOffered(TokenReader& xml);

// From an `l2tp` or `openvpn` start tag: the next start element must be
// `enabled` with the text exactly "1".
bool offered(TokenReader& xml);

// The step over an L2TP key that follows the `l2tp` test. Gives the key when
// it stood where expected.
std::optional<QString> skipKey(TokenReader& xml);

// What the walk over one server's OpenVPN profiles reports. `name` hears every
// profile name; `config` and `certificate` only those of the chosen profile.
// Any of them may be left empty.
struct ProfileHandlers {
    std::function<void(const QString&)> name;
    std::function<void(const QString&)> config;
    std::function<void(const QString&)> certificate;
};

// From the text of `openvpn`'s `enabled`: walks `profiles`, visiting as many
// positions as its `count` says. `chosen` is the position whose addresses are
// reported (-1 for none).
void walkProfiles(TokenReader& xml, int chosen, const ProfileHandlers& on);

// The loops every walker shares. Each `server` start tag met at the outer
// level begins a pass that reads token by token until the end of the document,
// the first error or a text token "server"; `rule` runs after every read of
// that pass that lands on a named token, with the type of that token. Since
// only such a text ends a pass early, one pass normally covers every server to
// the end. `finished` lets a walker stop once nothing later in the document
// can change its result.
template <typename Rule, typename Finished>
void walkServers(TokenReader& xml, Rule&& rule, Finished&& finished)
{
    while (!xml.atEnd() && !xml.hasError() && !finished()) {
        xml.readNext();
        if (!xml.isStartElement() || !xml.nameIs(QLatin1String("server")))
            continue;
        while (!xml.atEnd() && !xml.hasError() && !xml.textIs(QLatin1String("server")) && !finished()) {
            const auto type = xml.readNext();
            // Every rule is keyed by a name: a token without one (text,
            // mostly) can move nothing.
            if (!xml.name().isEmpty())
                rule(type);
        }
    }
}

} // namespace service::catalogue
