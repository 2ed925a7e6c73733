#include "connection/nmprofile.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

using connection::openvpn::Directive;

// vpn.data separates items with "," and key from value with "="; the plug-in
// splits remotes at spaces and ":". A value is therefore one plain word.
bool isPlainWord(const QString& value)
{
    static const QRegularExpression word(QStringLiteral("^[A-Za-z0-9_][A-Za-z0-9._-]*$"));
    return word.match(value).hasMatch();
}

bool isNumber(const QString& value, int lowest, int highest)
{
    bool ok = false;
    const int number = value.toInt(&ok);
    return ok && number >= lowest && number <= highest && value == QString::number(number);
}

bool isPort(const QString& value) { return isNumber(value, 1, 65535); }

bool isCipherList(const QString& value)
{
    const QStringList ciphers = value.split(QLatin1Char(':'));
    return std::all_of(ciphers.begin(), ciphers.end(), isPlainWord);
}

// Directives the plug-in applies by itself (client mode, the pulled
// options, no cached password, asking again on a refused password, its own
// logging), that only tune retries and buffers, or that the certificate
// download overrides, as on the executable's command line.
const QStringList& ignoredDirectives()
{
    static const QStringList list { QStringLiteral("client"), QStringLiteral("tls-client"), QStringLiteral("pull"),
        QStringLiteral("topology"), QStringLiteral("nobind"), QStringLiteral("persist-key"),
        QStringLiteral("persist-tun"), QStringLiteral("persist-remote-ip"), QStringLiteral("persist-local-ip"),
        QStringLiteral("resolv-retry"), QStringLiteral("connect-retry"), QStringLiteral("connect-retry-max"),
        QStringLiteral("server-poll-timeout"), QStringLiteral("ping-timer-rem"), QStringLiteral("hand-window"),
        QStringLiteral("tran-window"), QStringLiteral("tls-timeout"), QStringLiteral("sndbuf"),
        QStringLiteral("rcvbuf"), QStringLiteral("txqueuelen"), QStringLiteral("auth-user-pass"),
        QStringLiteral("auth-nocache"), QStringLiteral("auth-retry"), QStringLiteral("verb"), QStringLiteral("mute"),
        QStringLiteral("mute-replay-warnings"), QStringLiteral("explicit-exit-notify"),
        QStringLiteral("redirect-gateway"), QStringLiteral("block-outside-dns"), QStringLiteral("ca") };
    return list;
}

bool isTunOrTap(const QString& value) { return value == QLatin1String("tun") || value == QLatin1String("tap"); }

bool isTlsVersion(const QString& value)
{
    return value == QLatin1String("1.0") || value == QLatin1String("1.1") || value == QLatin1String("1.2")
        || value == QLatin1String("1.3");
}

bool isSeconds(const QString& value) { return isNumber(value, 1, 3600); }

// A directive whose one argument becomes the item `key` when `valid` holds.
struct SingleValue {
    const char* directive;
    const char* key;
    bool (*valid)(const QString&);
};

const SingleValue singleValues[] = {
    { "cipher", "cipher", isPlainWord },
    { "data-ciphers", "data-ciphers", isCipherList },
    { "ncp-ciphers", "data-ciphers", isCipherList },
    { "data-ciphers-fallback", "data-ciphers-fallback", isPlainWord },
    { "auth", "auth", isPlainWord },
    { "tls-cipher", "tls-cipher", isCipherList },
    { "tls-version-min", "tls-version-min", isTlsVersion },
    { "tls-version-max", "tls-version-max", isTlsVersion },
    { "remote-cert-tls", "remote-cert-tls", [](const QString& v) { return v == QLatin1String("server"); } },
    { "reneg-sec", "reneg-seconds", [](const QString& v) { return isNumber(v, 0, 604800); } },
    { "tun-mtu", "tunnel-mtu", [](const QString& v) { return isNumber(v, 576, 65535); } },
    { "fragment", "fragment-size", [](const QString& v) { return isNumber(v, 68, 65535); } },
    { "mtu-disc", "mtu-disc",
        [](const QString& v) {
            return v == QLatin1String("no") || v == QLatin1String("maybe") || v == QLatin1String("yes");
        } },
    { "ping", "ping", isSeconds },
    { "ping-restart", "ping-restart", isSeconds },
    { "ping-exit", "ping-exit", isSeconds },
    { "connect-timeout", "connect-timeout", isSeconds },
    { "port", "port", isPort },
    { "dev-type", "dev-type", isTunOrTap },
    { "dev", "dev", isTunOrTap },
};

// "remote HOST [PORT [PROTO]]" as the plug-in's "HOST:PORT:PROTO".
QString remoteItem(const QStringList& arguments)
{
    static const QStringList protocols { QStringLiteral("udp"), QStringLiteral("udp4"), QStringLiteral("udp6"),
        QStringLiteral("tcp"), QStringLiteral("tcp4"), QStringLiteral("tcp6"), QStringLiteral("tcp-client") };
    if (arguments.isEmpty() || arguments.size() > 3 || !isPlainWord(arguments.at(0)))
        return QString();
    if (arguments.size() >= 2 && !isPort(arguments.at(1)))
        return QString();
    if (arguments.size() == 3 && !protocols.contains(arguments.at(2)))
        return QString();
    return arguments.join(QLatin1Char(':'));
}

} // namespace

connection::openvpn::NetworkManagerProfile connection::openvpn::networkManagerProfile(
    const QVector<Directive>& directives, const QString& caPath)
{
    NetworkManagerProfile profile;
    QStringList remotes;
    QStringList items;
    const auto refuse = [&profile](const QString& name) {
        profile.refused = name;
        profile.data.clear();
        return profile;
    };
    for (const Directive& directive : directives) {
        const QString& name = directive.name;
        const QStringList& arguments = directive.arguments;
        // Alternatives in <connection> blocks have no place in one profile.
        if (directive.connection != 0)
            return refuse(QStringLiteral("connection"));
        if (ignoredDirectives().contains(name))
            continue;
        if (name == QLatin1String("remote")) {
            const QString remote = remoteItem(arguments);
            if (remote.isEmpty())
                return refuse(name);
            remotes << remote;
            continue;
        }
        if (name == QLatin1String("proto")) {
            if (arguments.size() != 1 || !arguments.at(0).startsWith(QLatin1String("udp"))) {
                if (arguments.size() != 1 || !arguments.at(0).startsWith(QLatin1String("tcp")))
                    return refuse(name);
                items << QStringLiteral("proto-tcp=yes");
            }
            continue;
        }
        if (name == QLatin1String("keepalive")) {
            if (arguments.size() != 2 || !isSeconds(arguments.at(0)) || !isSeconds(arguments.at(1)))
                return refuse(name);
            items << QStringLiteral("ping=") + arguments.at(0) << QStringLiteral("ping-restart=") + arguments.at(1);
            continue;
        }
        // Switches, or an optional word the plug-in takes as its value.
        if (name == QLatin1String("comp-lzo") || name == QLatin1String("compress") || name == QLatin1String("mssfix")) {
            if (arguments.size() > 1 || (arguments.size() == 1 && !isPlainWord(arguments.at(0))))
                return refuse(name);
            const QString fallback
                = name == QLatin1String("comp-lzo") ? QStringLiteral("adaptive") : QStringLiteral("yes");
            items << name + QLatin1Char('=') + (arguments.isEmpty() ? fallback : arguments.at(0));
            continue;
        }
        if (name == QLatin1String("float") || name == QLatin1String("remote-random")
            || name == QLatin1String("remote-random-hostname")) {
            if (!arguments.isEmpty())
                return refuse(name);
            items << name + QStringLiteral("=yes");
            continue;
        }
        const auto single = std::find_if(std::begin(singleValues), std::end(singleValues),
            [&name](const SingleValue& row) { return name == QLatin1String(row.directive); });
        if (single == std::end(singleValues) || arguments.size() != 1 || !single->valid(arguments.at(0)))
            return refuse(name);
        items << QLatin1String(single->key) + QLatin1Char('=') + arguments.at(0);
    }
    if (remotes.isEmpty())
        return refuse(QStringLiteral("remote"));
    // The certificate's folder is the client's own, so its path is a plain
    // one; anything else could not be carried in vpn.data.
    if (caPath.contains(QLatin1Char(',')) || caPath.contains(QLatin1Char('=')) || caPath.trimmed() != caPath)
        return refuse(QStringLiteral("ca"));
    profile.data << QStringLiteral("remote=") + remotes.join(QLatin1Char(' '))
                 << QStringLiteral("connection-type=password") << QStringLiteral("password-flags=2")
                 << QStringLiteral("ca=") + caPath << items;
    return profile;
}
