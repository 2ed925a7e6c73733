#pragma once

#include <QLatin1String>
#include <QString>
#include <QStringRef>
#include <QXmlStreamReader>

#include <functional>
#include <memory>
#include <optional>

class QIODevice;
class QTextDocument;

// Reading the server catalogue. The walkers read the document token by token
// with a fixed number of reads at some points, so the service's layout
// (including some white space) is part of the format; each step below leaves
// the reader exactly where the next rule of the walkers expects it.
namespace catalogue {

class DocumentText;

// A reader over the plain text of a text document that yields the same tokens
// as one over toPlainText(), but converts the text only as far as the walk
// reads: a walk that stops at the first servers of a large catalogue stays
// cheap. Readers made while another one over the same unchanged document is
// alive (the walks nested in a list fill) share the text converted so far.
class DocumentReader {
public:
    explicit DocumentReader(const QTextDocument* document);
    ~DocumentReader();

    DocumentReader(const DocumentReader&) = delete;
    DocumentReader& operator=(const DocumentReader&) = delete;

    QXmlStreamReader& xml() { return *reader; }

private:
    std::shared_ptr<DocumentText> text;
    std::unique_ptr<QIODevice> device;
    std::unique_ptr<QXmlStreamReader> reader;
};

// Resource path of the flag shown for a server's country code.
QString flagPath(const QString& country);

// A number in the catalogue: decimal text, 0 when it is not a number.
int number(const QStringRef& text);

// Whether the reader stands on an element (start or end tag) of that name.
// Nothing matches once the reader has met an error.
bool at(const QXmlStreamReader& xml, QLatin1String name);

// From a `pptp` start tag: exactly one token (the indentation) is expected
// before `enabled`; the protocol is offered when its text is exactly "1".
bool pptpOffered(QXmlStreamReader& xml);

// From an `l2tp` or `openvpn` start tag: the next start element must be
// `enabled` with the text exactly "1".
bool offered(QXmlStreamReader& xml);

// The step over an L2TP key that follows the `l2tp` test. Gives the key when
// it stood where expected.
std::optional<QString> skipKey(QXmlStreamReader& xml);

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
void walkProfiles(QXmlStreamReader& xml, int chosen, const ProfileHandlers& on);

// The loops every walker shares. Each `server` start tag met at the outer
// level begins a pass that reads token by token until the end of the document,
// the first error or a text token "server"; `rule` runs after every read of
// that pass that lands on a named token, with the type of that token. Since
// only such a text ends a pass early, one pass normally covers every server to
// the end. `finished` lets a walker stop once nothing later in the document
// can change its result.
template <typename Rule, typename Finished>
void walkServers(QXmlStreamReader& xml, Rule&& rule, Finished&& finished)
{
    while (!xml.atEnd() && !xml.hasError() && !finished()) {
        xml.readNext();
        if (!xml.isStartElement() || xml.name() != QLatin1String("server"))
            continue;
        while (!xml.atEnd() && !xml.hasError() && xml.text() != QLatin1String("server") && !finished()) {
            const auto type = xml.readNext();
            // Every rule is keyed by a name: a token without one (text,
            // mostly) can move nothing.
            if (!xml.name().isEmpty())
                rule(type);
        }
    }
}

} // namespace catalogue
