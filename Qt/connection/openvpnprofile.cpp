#include "connection/openvpnprofile.h"

#include <QHash>
#include <QSet>
#include <QTextCodec>

#include <algorithm>

namespace openvpn = connection::openvpn;

namespace {

// OpenVPN reads a file in pieces of 255 bytes: a longer line is split into
// two, and in an inline block the second piece can close the block. It
// refuses such a line outside blocks; it is refused here everywhere.
constexpr int longestLine = 254;
// It keeps no more than 15 words of a line.
constexpr int mostWords = 15;

QTextCodec* utf8()
{
    static QTextCodec* const codec = QTextCodec::codecForName("UTF-8");
    return codec;
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// One line (its '\n' included) split into words as OpenVPN does: words
// between white space, in double quotes (where a backslash escapes '\', '"'
// and white space) or in single quotes (no escapes); a '#' or ';' where a
// word would begin starts a comment, even after a backslash. Empty when the
// line cannot be read, with the reason in `why`.
QStringList words(const QByteArray& line, QString& why, bool& unreadable)
{
    enum State { Between, Plain, Double, Single };
    QStringList result;
    QByteArray word;
    State state = Between;
    bool backslash = false;
    unreadable = false;
    // A final NUL, as OpenVPN sees the end of the line.
    const QByteArray text = line + '\0';
    for (const char c : text) {
        if (!backslash && c == '\\' && state != Single) {
            backslash = true;
            continue;
        }
        // OpenVPN would keep the line end in the word; no profile needs that.
        if (backslash && (c == '\n' || c == '\r')) {
            why = QStringLiteral("a backslash at the end");
            unreadable = true;
            return {};
        }
        const bool space = isSpace(c) || c == '\0';
        char out = 0;
        bool done = false;
        switch (state) {
        case Between:
            if (space)
                break;
            if (c == '#' || c == ';')
                return result;
            if (!backslash && c == '"') {
                state = Double;
            } else if (!backslash && c == '\'') {
                state = Single;
            } else {
                out = c;
                state = Plain;
            }
            break;
        case Plain:
            if (!backslash && space)
                done = true;
            else
                out = c;
            break;
        case Double:
            if (!backslash && c == '"')
                done = true;
            else
                out = c;
            break;
        case Single:
            if (c == '\'')
                done = true;
            else
                out = c;
            break;
        }
        if (done) {
            // Not QString::fromUtf8, which drops a byte-order mark.
            const QString decoded = QTextDecoder(utf8(), QTextCodec::IgnoreHeader).toUnicode(word);
            if (decoded.toUtf8() != word) {
                why = QStringLiteral("a word that is not UTF-8");
                unreadable = true;
                return {};
            }
            result << decoded;
            word.clear();
            state = Between;
        }
        if (out) {
            word += out;
            if (backslash && !(out == '\\' || out == '"' || isSpace(out))) {
                why = QStringLiteral("a backslash before '%1'").arg(QLatin1Char(out));
                unreadable = true;
                return {};
            }
        }
        backslash = false;
    }
    if (state != Between) {
        why = state == Plain ? QStringLiteral("a backslash at the end") : QStringLiteral("an unclosed quote");
        unreadable = true;
        return {};
    }
    return result;
}

// Names that "setenv" turns into options of their own, as OpenVPN applies them.
const QHash<QString, QString>& setenvOptions()
{
    static const QHash<QString, QString> names = {
        { QStringLiteral("PUSH_PEER_INFO"), QStringLiteral("push-peer-info") },
        { QStringLiteral("REMOTE_RANDOM_HOSTNAME"), QStringLiteral("remote-random-hostname") },
        { QStringLiteral("SERVER_POLL_TIMEOUT"), QStringLiteral("server-poll-timeout") },
    };
    return names;
}

// Reads the lines into directives, as OpenVPN's parser splits them; false
// (with `why`) when OpenVPN would read the text otherwise than this does.
class Reader {
public:
    bool read(const QByteArray& text, int connection, int first)
    {
        QList<QByteArray> lines = text.split('\n');
        // The piece after a final '\n' is no line.
        if (lines.last().isEmpty())
            lines.removeLast();
        for (int i = 0; i < lines.size(); ++i) {
            const int number = first + i;
            if (lines[i].size() > longestLine)
                return fail(QStringLiteral("line %1 is too long").arg(number));
            QString problem;
            bool failed = false;
            const QStringList line = words(lines[i] + '\n', problem, failed);
            if (failed)
                return fail(QStringLiteral("line %1 cannot be read: %2").arg(number).arg(problem));
            if (line.isEmpty())
                continue;
            if (line.size() > mostWords)
                return fail(QStringLiteral("line %1 has more than %2 words").arg(number).arg(mostWords));
            openvpn::Directive directive;
            directive.line = number;
            directive.connection = connection;
            directive.name = line.first();
            directive.arguments = line.mid(1);
            if (directive.name.size() > 2 && directive.name.startsWith(QLatin1String("--")))
                directive.name.remove(0, 2);
            if (line.size() == 1 && directive.name.size() >= 2 && directive.name.startsWith(QLatin1Char('<'))
                && directive.name.endsWith(QLatin1Char('>'))) {
                directive.name = directive.name.mid(1, directive.name.size() - 2);
                directive.isInline = true;
                const QByteArray closing = "</" + directive.name.toUtf8() + '>';
                int end = i + 1;
                for (; end < lines.size(); ++end) {
                    if (lines[end].size() > longestLine)
                        return fail(QStringLiteral("line %1 is too long").arg(first + end));
                    int start = 0;
                    while (start < lines[end].size() && isSpace(lines[end].at(start)))
                        ++start;
                    if (lines[end].mid(start).startsWith(closing))
                        break;
                    directive.inlineBody += lines[end] + '\n';
                }
                if (end == lines.size())
                    return fail(QStringLiteral("<%1> is not closed").arg(directive.name));
                i = end;
            } else if (directive.name == QLatin1String("setenv") && directive.arguments.size() >= 2
                && directive.arguments.first() == QLatin1String("opt")) {
                // OpenVPN applies the rest of the line as an option, and skips
                // it when it does not know the name.
                directive.name = directive.arguments.at(1);
                directive.arguments = directive.arguments.mid(2);
                directive.forwardCompatible = true;
            } else if (directive.name == QLatin1String("setenv")
                && setenvOptions().contains(directive.arguments.value(0))) {
                directive.name = setenvOptions().value(directive.arguments.first());
                directive.arguments = directive.arguments.mid(1);
            }
            if (directive.name.isEmpty())
                return fail(QStringLiteral("line %1 names no option").arg(number));
            directives << directive;
            if (directive.isInline && directive.name == QLatin1String("connection") && connection == 0) {
                if (!read(directive.inlineBody, ++connections, number + 1))
                    return false;
            }
        }
        return true;
    }

    QVector<openvpn::Directive> directives;
    QString why;

private:
    bool fail(const QString& problem)
    {
        why = problem;
        return false;
    }

    int connections = 0;
};

// The directive as one line of a profile, words quoted where OpenVPN needs
// them quoted; empty when OpenVPN would no longer read it as one line.
QByteArray writtenLine(const openvpn::Directive& directive)
{
    const QByteArray name = directive.name.toUtf8();
    if (directive.isInline) {
        QByteArray body = directive.inlineBody;
        if (!body.isEmpty() && !body.endsWith('\n'))
            body += '\n';
        return '<' + name + ">\n" + body + "</" + name + ">\n";
    }
    QByteArray line = name;
    for (const QString& argument : directive.arguments) {
        const QByteArray word = argument.toUtf8();
        const bool plain = !word.isEmpty() && !word.startsWith('#') && !word.startsWith(';')
            && std::none_of(
                word.begin(), word.end(), [](char c) { return isSpace(c) || c == '"' || c == '\'' || c == '\\'; });
        if (plain)
            line += ' ' + word;
        else if (!word.contains('\''))
            line += " '" + word + '\'';
        else
            line += " \"" + QByteArray(word).replace('\\', "\\\\").replace('"', "\\\"") + '"';
    }
    return line.size() > longestLine ? QByteArray() : line + '\n';
}

bool isNamed(const openvpn::Directive& directive, const char* name) { return directive.name == QLatin1String(name); }

// Classes one directive. `forgiven` holds the names "ignore-unknown-option"
// has named so far.
openvpn::Decision classify(const openvpn::Directive& directive, openvpn::Path path, const QSet<QString>& forgiven)
{
    using openvpn::Form;
    using openvpn::Verdict;
    openvpn::Decision decision;
    decision.line = directive.line;
    decision.name = directive.name;
    const auto verdict = [&decision](Verdict verdict, const QString& why) {
        decision.verdict = verdict;
        decision.why = why;
        return decision;
    };
    const openvpn::OptionRule* rule = openvpn::optionRule(directive.name);
    if (!rule || rule->form == Form::Unknown) {
        const QString unknown = rule ? rule->reason(path) : QStringLiteral("OpenVPN 2.6 has no such option");
        if (directive.forwardCompatible)
            return verdict(Verdict::Dropped, unknown + QStringLiteral(", and \"setenv opt\" lets OpenVPN skip it"));
        if (forgiven.contains(directive.name))
            return verdict(Verdict::Dropped, unknown + QStringLiteral(", and \"ignore-unknown-option\" names it"));
        return verdict(Verdict::Refused, unknown);
    }
    if (isNamed(directive, "connection") && (!directive.isInline || directive.connection != 0))
        return verdict(Verdict::Refused, QStringLiteral("OpenVPN takes it only as a block, and not in another one"));
    if (directive.isInline && !isNamed(directive, "connection") && rule->form != Form::File
        && rule->form != Form::Credentials && rule->form != Form::MaybeInline)
        return verdict(Verdict::Refused, QStringLiteral("OpenVPN takes no inline block for it"));
    if (rule->verdict(path) == Verdict::Carried) {
        if (rule->form == Form::File && !directive.isInline)
            return verdict(Verdict::Refused, QStringLiteral("names a file on this computer, which no download brings"));
        if (rule->form == Form::Credentials && (directive.isInline || !directive.arguments.isEmpty()))
            return verdict(
                Verdict::Dropped, QStringLiteral("brings credentials of its own; the client gives the account's"));
        if (rule->form == Form::Proxy && directive.arguments.size() > 2)
            return verdict(Verdict::Refused, QStringLiteral("reads the proxy's password from a file or a prompt"));
    }
    return verdict(rule->verdict(path), rule->reason(path));
}

} // namespace

QVector<openvpn::Decision> openvpn::ProfileCheck::dropped() const
{
    QVector<Decision> result;
    std::copy_if(decisions.begin(), decisions.end(), std::back_inserter(result),
        [](const Decision& decision) { return decision.verdict == Verdict::Dropped; });
    return result;
}

QString openvpn::describe(const Decision& decision)
{
    return QStringLiteral("line %1: %2: %3").arg(decision.line).arg(decision.name, decision.why);
}

openvpn::ProfileCheck openvpn::checkProfile(const QByteArray& profile, Path path)
{
    ProfileCheck check;
    const auto unreadable = [&check](const QString& why) {
        check.refused = why;
        check.unreadable = true;
        return check;
    };
    // OpenVPN reads a line up to its first NUL and drops the rest.
    if (profile.contains('\0'))
        return unreadable(QStringLiteral("a NUL byte"));
    // To OpenVPN a CR is white space, not a line end; other readers differ.
    for (int i = profile.indexOf('\r'); i >= 0; i = profile.indexOf('\r', i + 1)) {
        if (i + 1 == profile.size() || profile.at(i + 1) != '\n')
            return unreadable(QStringLiteral("a CR that ends no line"));
    }
    // OpenVPN skips a byte-order mark at the start only (it still counts
    // towards the first line's length).
    const bool mark = profile.startsWith("\xEF\xBB\xBF");
    const int firstLine = profile.indexOf('\n') < 0 ? profile.size() : profile.indexOf('\n');
    if (firstLine > longestLine)
        return unreadable(QStringLiteral("line 1 is too long"));
    Reader reader;
    if (!reader.read(mark ? profile.mid(3) : profile, 0, 1))
        return unreadable(reader.why);

    QVector<Directive> read = reader.directives;
    // "NAME [inline]" followed, in the same place, by a <NAME> block reads as
    // that block; OpenVPN itself would take the later block over the file
    // "[inline]". A tls-auth direction on it becomes a key-direction.
    QHash<int, int> blockOfReference;
    for (int i = 0; i < read.size(); ++i) {
        if (read[i].isInline || read[i].arguments.value(0) != QLatin1String("[inline]"))
            continue;
        for (int j = i + 1; j < read.size(); ++j) {
            if (read[j].isInline && read[j].name == read[i].name && read[j].connection == read[i].connection) {
                blockOfReference.insert(i, j);
                break;
            }
        }
    }

    QSet<QString> forgiven;
    for (int i = 0; i < read.size(); ++i) {
        const Directive& directive = read[i];
        Decision decision;
        if (blockOfReference.contains(i)) {
            const Directive& block = read[blockOfReference.value(i)];
            decision = classify(block, path, forgiven);
            decision.line = directive.line;
            const QStringList rest = directive.arguments.mid(1);
            const bool direction = isNamed(directive, "tls-auth") && rest.size() == 1
                && (rest.first() == QLatin1String("0") || rest.first() == QLatin1String("1"));
            if (!rest.isEmpty() && !direction) {
                decision.verdict = Verdict::Refused;
                decision.why = QStringLiteral("\"[inline]\" with more than its block can say");
            } else if (decision.verdict == Verdict::Carried) {
                decision.why = QStringLiteral("read with the block on line %1").arg(block.line);
                if (direction) {
                    Directive keyDirection = directive;
                    keyDirection.name = QStringLiteral("key-direction");
                    keyDirection.arguments = rest;
                    check.directives << keyDirection;
                }
            }
        } else {
            decision = classify(directive, path, forgiven);
            if (isNamed(directive, "ignore-unknown-option"))
                forgiven.unite(QSet<QString>(directive.arguments.begin(), directive.arguments.end()));
            if (decision.verdict == Verdict::Carried) {
                if (writtenLine(directive).isEmpty()) {
                    decision.verdict = Verdict::Refused;
                    decision.why = QStringLiteral("too long once written out for OpenVPN");
                } else {
                    check.directives << directive;
                }
            }
        }
        check.decisions << decision;
        if (decision.verdict == Verdict::Refused && check.refused.isEmpty())
            check.refused = describe(decision);
    }
    check.accepted = check.refused.isEmpty();
    if (!check.accepted) {
        check.directives.clear();
        return check;
    }
    // A block's text is what goes on of its lines.
    int blocks = 0;
    for (Directive& block : check.directives) {
        if (!block.isInline || block.name != QLatin1String("connection") || block.connection != 0)
            continue;
        const int number = ++blocks;
        block.inlineBody.clear();
        for (const Directive& inner : std::as_const(check.directives)) {
            if (inner.connection == number)
                block.inlineBody += writtenLine(inner);
        }
    }
    return check;
}

QByteArray openvpn::writtenProfile(const QVector<Directive>& directives)
{
    QByteArray text;
    int blocks = 0;
    for (const Directive& directive : directives) {
        if (directive.connection != 0)
            continue;
        if (!directive.isInline || directive.name != QLatin1String("connection")) {
            text += writtenLine(directive);
            continue;
        }
        // Only what goes on of the block's own lines.
        const int block = ++blocks;
        text += "<connection>\n";
        for (const Directive& inner : directives) {
            if (inner.connection == block)
                text += writtenLine(inner);
        }
        text += "</connection>\n";
    }
    return text;
}

bool openvpn::isPemCertificate(const QByteArray& bytes)
{
    static const QByteArray begin = "-----BEGIN CERTIFICATE-----";
    static const QByteArray end = "-----END CERTIFICATE-----";
    const QList<QByteArray> lines = bytes.split('\n');
    QByteArray body;
    bool inBlock = false;
    int blocks = 0;
    for (const QByteArray& raw : lines) {
        const QByteArray line = raw.endsWith('\r') ? raw.chopped(1) : raw;
        if (!inBlock) {
            if (line == begin)
                inBlock = true;
            else if (!line.trimmed().isEmpty())
                return false;
            continue;
        }
        if (line == end) {
            const auto decoded = QByteArray::fromBase64Encoding(body, QByteArray::AbortOnBase64DecodingErrors);
            if (body.isEmpty() || !decoded)
                return false;
            body.clear();
            inBlock = false;
            ++blocks;
            continue;
        }
        body += line;
    }
    return !inBlock && blocks > 0;
}
