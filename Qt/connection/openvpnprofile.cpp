#include "connection/openvpnprofile.h"

#include <QSet>
#include <QTextCodec>

namespace openvpn = connection::openvpn;

namespace {

// OpenVPN reads a file in pieces of 255 bytes: a longer line is split into
// two, and in an inline block the second piece can close the block. It
// refuses such a line outside blocks; it is refused here everywhere.
constexpr int longestLine = 254;
// It keeps no more than 15 words of a line.
constexpr int mostWords = 15;

// Directives a client profile of the service needs, as OpenVPN 2.6 names
// them. Nothing that names a file, runs a program, loads code, opens a
// control channel or changes where OpenVPN writes.
const QSet<QString>& allowedDirectives()
{
    static const QSet<QString> list = {
        // role, transport and tunnel device
        "client",
        "tls-client",
        "pull",
        "dev",
        "dev-type",
        "proto",
        "topology",
        // remotes and their options
        "remote",
        "remote-random",
        "remote-random-hostname",
        "port",
        "rport",
        "lport",
        "nobind",
        "float",
        "resolv-retry",
        "persist-remote-ip",
        "persist-local-ip",
        "persist-key",
        "persist-tun",
        // retry and keep-alive timing
        "connect-retry",
        "connect-retry-max",
        "connect-timeout",
        "server-poll-timeout",
        "explicit-exit-notify",
        "keepalive",
        "ping",
        "ping-restart",
        "ping-exit",
        "ping-timer-rem",
        "inactive",
        "hand-window",
        "tran-window",
        "reneg-sec",
        "reneg-bytes",
        "reneg-pkts",
        "tls-timeout",
        // sizes on the wire
        "tun-mtu",
        "tun-mtu-extra",
        "link-mtu",
        "mssfix",
        "fragment",
        "mtu-disc",
        "sndbuf",
        "rcvbuf",
        "txqueuelen",
        // TLS and ciphers
        "cipher",
        "data-ciphers",
        "data-ciphers-fallback",
        "ncp-ciphers",
        "auth",
        "tls-cipher",
        "tls-ciphersuites",
        "tls-groups",
        "tls-version-min",
        "tls-version-max",
        "tls-cert-profile",
        "key-direction",
        "remote-cert-tls",
        "remote-cert-ku",
        "remote-cert-eku",
        "verify-x509-name",
        "auth-nocache",
        "auth-retry",
        "auth-user-pass",
        // routes and DHCP options
        "route",
        "route-ipv6",
        "route-gateway",
        "route-metric",
        "route-delay",
        "route-nopull",
        "redirect-gateway",
        "redirect-private",
        "block-ipv6",
        "dhcp-option",
        "block-outside-dns",
        "pull-filter",
        // compression OpenVPN 2.6 still reads
        "comp-lzo",
        "compress",
        "allow-compression",
        // log detail (the log file itself is the client's)
        "verb",
        "mute",
        "mute-replay-warnings",
    };
    return list;
}

// Directives that name a file: allowed only as an inline block, whose text
// is the file.
const QSet<QString>& inlineDirectives()
{
    static const QSet<QString> list = {
        "ca",
        "cert",
        "key",
        "extra-certs",
        "pkcs12",
        "tls-auth",
        "tls-crypt",
        "tls-crypt-v2",
        "crl-verify",
        "peer-fingerprint",
    };
    return list;
}

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

class Reader {
public:
    explicit Reader(openvpn::ProfileCheck& check)
        : check(check)
    {
    }

    // False when the text is refused; `check.refused` then says why. Lines
    // are numbered from `first`, so that those of a block count in the file.
    bool read(const QByteArray& text, int connection, int first)
    {
        QList<QByteArray> lines = text.split('\n');
        // The piece after a final '\n' is no line.
        if (lines.last().isEmpty())
            lines.removeLast();
        for (int i = 0; i < lines.size(); ++i) {
            const int number = first + i;
            if (lines[i].size() > longestLine)
                return unreadable(QStringLiteral("line %1 is too long").arg(number));
            QString why;
            bool failed = false;
            const QStringList line = words(lines[i] + '\n', why, failed);
            if (failed)
                return unreadable(QStringLiteral("line %1 cannot be read: %2").arg(number).arg(why));
            if (line.isEmpty())
                continue;
            if (line.size() > mostWords)
                return unreadable(QStringLiteral("line %1 has more than %2 words").arg(number).arg(mostWords));
            openvpn::Directive directive;
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
                        return unreadable(QStringLiteral("line %1 is too long").arg(first + end));
                    int start = 0;
                    while (start < lines[end].size() && isSpace(lines[end].at(start)))
                        ++start;
                    if (lines[end].mid(start).startsWith(closing))
                        break;
                    directive.inlineBody += lines[end] + '\n';
                }
                if (end == lines.size())
                    return unreadable(QStringLiteral("<%1> is not closed").arg(directive.name));
                i = end;
            } else if (directive.name == QLatin1String("setenv") && directive.arguments.value(0) == "opt") {
                // OpenVPN applies the rest of the line as a directive.
                if (directive.arguments.size() < 2)
                    return refuse(directive.name);
                directive.name = directive.arguments.at(1);
                directive.arguments = directive.arguments.mid(2);
            }
            directive.connection = connection;
            if (directive.name.isEmpty())
                return unreadable(QStringLiteral("line %1 names no directive").arg(number));
            if (!allowed(directive))
                return refuse(directive.name);
            check.directives << directive;
            if (directive.isInline && directive.name == QLatin1String("connection")) {
                if (!read(directive.inlineBody, ++connections, number + 1))
                    return false;
            }
        }
        return true;
    }

private:
    bool allowed(const openvpn::Directive& directive) const
    {
        if (directive.isInline) {
            if (directive.name == QLatin1String("connection"))
                return directive.connection == 0;
            return inlineDirectives().contains(directive.name);
        }
        if (directive.name == QLatin1String("auth-user-pass"))
            return directive.arguments.isEmpty();
        return allowedDirectives().contains(directive.name);
    }

    bool refuse(const QString& directive)
    {
        check.refused = directive;
        return false;
    }

    bool unreadable(const QString& why)
    {
        check.unreadable = true;
        return refuse(why);
    }

    openvpn::ProfileCheck& check;
    int connections = 0;
};

} // namespace

openvpn::ProfileCheck openvpn::checkProfile(const QByteArray& profile)
{
    ProfileCheck check;
    // OpenVPN reads a line up to its first NUL and drops the rest.
    if (profile.contains('\0')) {
        check.refused = QStringLiteral("a NUL byte");
        check.unreadable = true;
        return check;
    }
    // To OpenVPN a CR is white space, not a line end; other readers differ.
    for (int i = profile.indexOf('\r'); i >= 0; i = profile.indexOf('\r', i + 1)) {
        if (i + 1 == profile.size() || profile.at(i + 1) != '\n') {
            check.refused = QStringLiteral("a CR that ends no line");
            check.unreadable = true;
            return check;
        }
    }
    // OpenVPN skips a byte-order mark at the start only (it still counts
    // towards the first line's length).
    const bool mark = profile.startsWith("\xEF\xBB\xBF");
    const int firstLine = profile.indexOf('\n') < 0 ? profile.size() : profile.indexOf('\n');
    if (firstLine > longestLine) {
        check.refused = QStringLiteral("line 1 is too long");
        check.unreadable = true;
        return check;
    }
    const QByteArray text = mark ? profile.mid(3) : profile;
    Reader reader(check);
    check.accepted = reader.read(text, 0, 1);
    if (!check.accepted)
        check.directives.clear();
    return check;
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
