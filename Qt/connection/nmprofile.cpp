#include "connection/nmprofile.h"

#include "connection/openvpn.h"

#include <QHash>
#include <QHostAddress>
#include <QMap>
#include <QRegularExpression>

#include <algorithm>
#include <functional>

namespace openvpn = connection::openvpn;

namespace {

using openvpn::Directive;

bool matches(const QString& value, const char* pattern)
{
    const QRegularExpression expression(QStringLiteral("^(?:%1)$").arg(QLatin1String(pattern)));
    return expression.match(value).hasMatch();
}

// A name as OpenVPN names digests, ciphers and devices.
bool isWord(const QString& value) { return matches(value, "[A-Za-z0-9_][A-Za-z0-9._-]*"); }

bool isNumber(const QString& value, int lowest, int highest)
{
    bool ok = false;
    const int number = value.toInt(&ok);
    return ok && number >= lowest && number <= highest && value == QString::number(number);
}

bool isPort(const QString& value) { return isNumber(value, 1, 65535); }
bool isSeconds(const QString& value) { return isNumber(value, 0, 100000000); }
bool isIpv4(const QString& value)
{
    return matches(value, "[0-9]{1,3}(\\.[0-9]{1,3}){3}")
        && QHostAddress(value).protocol() == QAbstractSocket::IPv4Protocol;
}
bool isIpv6(const QString& value) { return QHostAddress(value).protocol() == QAbstractSocket::IPv6Protocol; }
// A host name or IPv4 address the plug-in's remote list can hold (it splits
// entries at ':' and white space).
bool isHost(const QString& value) { return matches(value, "[A-Za-z0-9_][A-Za-z0-9._-]*"); }
bool isCipherList(const QString& value) { return matches(value, "[A-Za-z0-9._+!@=-]+(:[A-Za-z0-9._+!@=-]+)*"); }

const QStringList& protocols()
{
    static const QStringList list { QStringLiteral("udp"), QStringLiteral("udp4"), QStringLiteral("udp6"),
        QStringLiteral("tcp"), QStringLiteral("tcp4"), QStringLiteral("tcp6"), QStringLiteral("tcp-client"),
        QStringLiteral("tcp4-client"), QStringLiteral("tcp6-client") };
    return list;
}

// The prefix length of a netmask, or -1.
int prefixLength(const QString& mask)
{
    if (!isIpv4(mask))
        return -1;
    const quint32 bits = QHostAddress(mask).toIPv4Address();
    int length = 0;
    while (length < 32 && (bits & (0x80000000u >> length)))
        ++length;
    return bits == (length == 0 ? 0u : ~0u << (32 - length)) ? length : -1;
}

// A server as OpenVPN tries it: a remote line, or a <connection> block.
struct Remote {
    QString host;
    QString port;
    QString protocol;
    bool portGiven = false;
    bool protocolGiven = false;
    int line = 0;
};

class Converter {
public:
    explicit Converter(const QString& base)
        : base(base)
    {
    }

    // The item `key` takes `value`; a later directive wins, as in OpenVPN.
    void set(const QString& key, const QString& value)
    {
        for (auto& item : items) {
            if (item.first == key) {
                item.second = value;
                return;
            }
        }
        items << qMakePair(key, value);
    }
    void setting(const QString& property, const QString& value) { settings[property] = value; }
    void append(const QString& property, const QString& value)
    {
        QString& list = settings[property];
        list += (list.isEmpty() ? QString() : QStringLiteral(", ")) + value;
    }
    QString file(const Directive& directive, const QByteArray& bytes)
    {
        const QString path = openvpn::inlineFilePath(base, directive.name);
        files.erase(std::remove_if(files.begin(), files.end(),
                        [&path](const openvpn::NetworkManagerFile& file) { return file.path == path; }),
            files.end());
        files << openvpn::NetworkManagerFile { path, bytes };
        return path;
    }

    QString base;
    QVector<QPair<QString, QString>> items;
    QMap<QString, QString> settings;
    QVector<openvpn::NetworkManagerFile> files;
    // The remote lines outside blocks, and the <connection> blocks, which
    // start from the port and protocol set before them.
    QVector<Remote> remotes;
    QVector<Remote> blocks;
    QString port;
    QString protocol;
    QString keyDirection;
    bool tlsAuth = false;
    bool certificate = false;
    bool privateKey = false;
    bool routesPulled = true;
    bool defaultRoute = false;
    QVector<openvpn::Decision> dropped;
};

// Handles one directive; returns why it cannot be carried, or nothing.
using Handler = std::function<QString(Converter&, const Directive&)>;

const QString wrongValue = QStringLiteral("a value the plug-in cannot carry");

// One argument, checked, as the item `key`.
Handler single(const char* key, std::function<bool(const QString&)> valid)
{
    return [key, valid](Converter& profile, const Directive& directive) {
        if (directive.arguments.size() != 1 || !valid(directive.arguments.first()))
            return wrongValue;
        profile.set(QLatin1String(key), directive.arguments.first());
        return QString();
    };
}

// A switch, as the item `key` set to "yes".
Handler flag(const char* key)
{
    return [key](Converter& profile, const Directive& directive) {
        if (!directive.arguments.isEmpty())
            return wrongValue;
        profile.set(QLatin1String(key), QStringLiteral("yes"));
        return QString();
    };
}

// An inline block, written to a file named by the item `key`.
Handler inlineFile(const char* key)
{
    return [key](Converter& profile, const Directive& directive) {
        if (!directive.isInline)
            return wrongValue;
        profile.set(QLatin1String(key), profile.file(directive, directive.inlineBody));
        return QString();
    };
}

QString remote(Converter& profile, const Directive& directive)
{
    const QStringList& arguments = directive.arguments;
    if (arguments.isEmpty() || arguments.size() > 3 || !isHost(arguments.at(0)))
        return QStringLiteral("a server the plug-in's remote list cannot hold");
    if ((arguments.size() >= 2 && !isPort(arguments.at(1)))
        || (arguments.size() == 3 && !protocols().contains(arguments.at(2))))
        return wrongValue;
    // In a block the last remote line wins, as do its port and protocol.
    Remote& entry
        = directive.connection == 0 ? (profile.remotes << Remote()).last() : profile.blocks[directive.connection - 1];
    entry.host = arguments.at(0);
    entry.line = directive.line;
    if (arguments.size() >= 2) {
        entry.port = arguments.at(1);
        entry.portGiven = true;
    }
    if (arguments.size() == 3) {
        entry.protocol = arguments.at(2);
        entry.protocolGiven = true;
    }
    return QString();
}

QString port(Converter& profile, const Directive& directive)
{
    if (directive.arguments.size() != 1 || !isPort(directive.arguments.first()))
        return wrongValue;
    if (directive.connection == 0) {
        profile.port = directive.arguments.first();
    } else {
        profile.blocks[directive.connection - 1].port = directive.arguments.first();
        profile.blocks[directive.connection - 1].portGiven = true;
    }
    return QString();
}

QString proto(Converter& profile, const Directive& directive)
{
    if (directive.arguments.size() != 1 || !protocols().contains(directive.arguments.first()))
        return wrongValue;
    if (directive.connection == 0) {
        profile.protocol = directive.arguments.first();
    } else {
        profile.blocks[directive.connection - 1].protocol = directive.arguments.first();
        profile.blocks[directive.connection - 1].protocolGiven = true;
    }
    return QString();
}

// A <connection> block starts from what was set before it.
QString connectionBlock(Converter& profile, const Directive&)
{
    Remote block;
    block.port = profile.port;
    block.protocol = profile.protocol;
    profile.blocks << block;
    return QString();
}

QString compLzo(Converter& profile, const Directive& directive)
{
    static const QHash<QString, QString> values { { QString(), QStringLiteral("adaptive") },
        { QStringLiteral("yes"), QStringLiteral("yes") }, { QStringLiteral("no"), QStringLiteral("no-by-default") },
        { QStringLiteral("adaptive"), QStringLiteral("adaptive") } };
    const QString value = directive.arguments.value(0);
    if (directive.arguments.size() > 1 || !values.contains(value))
        return wrongValue;
    profile.set(QStringLiteral("comp-lzo"), values.value(value));
    return QString();
}

QString compress(Converter& profile, const Directive& directive)
{
    const QString value = directive.arguments.value(0);
    if (directive.arguments.size() > 1
        || !(value.isEmpty() || value == QLatin1String("lzo") || value == QLatin1String("lz4")
            || value == QLatin1String("lz4-v2")))
        return wrongValue;
    profile.set(QStringLiteral("compress"), value.isEmpty() ? QStringLiteral("yes") : value);
    return QString();
}

QString keepalive(Converter& profile, const Directive& directive)
{
    const QStringList& arguments = directive.arguments;
    if (arguments.size() != 2 || !isSeconds(arguments.at(0)) || !isSeconds(arguments.at(1)))
        return wrongValue;
    profile.set(QStringLiteral("ping"), arguments.at(0));
    profile.set(QStringLiteral("ping-restart"), arguments.at(1));
    return QString();
}

QString mssfix(Converter& profile, const Directive& directive)
{
    const QString value = directive.arguments.value(0);
    if (directive.arguments.size() > 1 || !(value.isEmpty() || isNumber(value, 0, 65535)))
        return wrongValue;
    profile.set(QStringLiteral("mssfix"), value.isEmpty() ? QStringLiteral("yes") : value);
    return QString();
}

QString tlsVersionMin(Converter& profile, const Directive& directive)
{
    const QStringList& arguments = directive.arguments;
    if (arguments.isEmpty() || arguments.size() > 2 || !matches(arguments.at(0), "1\\.[0-3]")
        || (arguments.size() == 2 && arguments.at(1) != QLatin1String("or-highest")))
        return wrongValue;
    profile.set(QStringLiteral("tls-version-min"), arguments.at(0));
    if (arguments.size() == 2)
        profile.set(QStringLiteral("tls-version-min-or-highest"), QStringLiteral("yes"));
    return QString();
}

QString verifyX509Name(Converter& profile, const Directive& directive)
{
    const QStringList& arguments = directive.arguments;
    const QString type = arguments.value(1, QStringLiteral("subject"));
    if (arguments.isEmpty() || arguments.size() > 2 || arguments.at(0).isEmpty()
        || arguments.at(0).trimmed() != arguments.at(0)
        || !(type == QLatin1String("subject") || type == QLatin1String("name") || type == QLatin1String("name-prefix")))
        return wrongValue;
    profile.set(QStringLiteral("verify-x509-name"), type + QLatin1Char(':') + arguments.at(0));
    return QString();
}

QString proxy(Converter& profile, const Directive& directive)
{
    const QStringList& arguments = directive.arguments;
    const bool http = directive.name == QLatin1String("http-proxy");
    if (arguments.isEmpty() || arguments.size() > 2 || !isHost(arguments.at(0))
        || (arguments.size() == 2 && !isPort(arguments.at(1))) || (http && arguments.size() != 2))
        return wrongValue;
    profile.set(QStringLiteral("proxy-type"), http ? QStringLiteral("http") : QStringLiteral("socks"));
    profile.set(QStringLiteral("proxy-server"), arguments.at(0));
    profile.set(QStringLiteral("proxy-port"), arguments.value(1, QStringLiteral("1080")));
    return QString();
}

QString keyDirection(Converter& profile, const Directive& directive)
{
    if (directive.arguments.size() != 1
        || !(directive.arguments.first() == QLatin1String("0") || directive.arguments.first() == QLatin1String("1")))
        return wrongValue;
    profile.keyDirection = directive.arguments.first();
    return QString();
}

QString tlsAuth(Converter& profile, const Directive& directive)
{
    profile.tlsAuth = true;
    return inlineFile("ta")(profile, directive);
}

QString certificate(Converter& profile, const Directive& directive)
{
    profile.certificate = true;
    return inlineFile("cert")(profile, directive);
}

QString privateKey(Converter& profile, const Directive& directive)
{
    profile.privateKey = true;
    return inlineFile("key")(profile, directive);
}

// The bundle is base64 inline; the plug-in takes it as both certificate and key.
QString pkcs12(Converter& profile, const Directive& directive)
{
    const auto bundle = QByteArray::fromBase64Encoding(
        QByteArray(directive.inlineBody).replace('\n', "").replace('\r', ""), QByteArray::AbortOnBase64DecodingErrors);
    if (!directive.isInline || !bundle || bundle.decoded.isEmpty())
        return QStringLiteral("a PKCS#12 bundle that is not base64");
    const QString path = profile.file(directive, bundle.decoded);
    profile.set(QStringLiteral("cert"), path);
    profile.set(QStringLiteral("key"), path);
    profile.certificate = profile.privateKey = true;
    return QString();
}

QString ifconfig(Converter& profile, const Directive& directive)
{
    const QStringList& arguments = directive.arguments;
    if (arguments.size() != 2 || !isIpv4(arguments.at(0)) || !isIpv4(arguments.at(1)))
        return wrongValue;
    profile.set(QStringLiteral("local-ip"), arguments.at(0));
    profile.set(QStringLiteral("remote-ip"), arguments.at(1));
    return QString();
}

// "route NETWORK [MASK [GATEWAY [METRIC]]]" as an entry of ipv4.routes.
QString route(Converter& profile, const Directive& directive)
{
    const QStringList& arguments = directive.arguments;
    const QString mask = arguments.value(1, QStringLiteral("255.255.255.255"));
    QString gateway = arguments.value(2);
    const QString metric = arguments.value(3);
    if (arguments.isEmpty() || arguments.size() > 4 || !isIpv4(arguments.at(0)) || prefixLength(mask) < 0)
        return QStringLiteral("a route the connection's IP settings cannot hold");
    if (gateway == QLatin1String("vpn_gateway") || gateway == QLatin1String("default"))
        gateway.clear();
    if ((!gateway.isEmpty() && !isIpv4(gateway))
        || !(metric.isEmpty() || metric == QLatin1String("default") || isNumber(metric, 0, 0x7fffffff)))
        return QStringLiteral("a route outside the tunnel, which the connection's IP settings cannot hold");
    QString entry = arguments.at(0) + QLatin1Char('/') + QString::number(prefixLength(mask));
    if (!metric.isEmpty() && metric != QLatin1String("default"))
        entry
            += QLatin1Char(' ') + (gateway.isEmpty() ? QStringLiteral("0.0.0.0") : gateway) + QLatin1Char(' ') + metric;
    else if (!gateway.isEmpty())
        entry += QLatin1Char(' ') + gateway;
    profile.append(QStringLiteral("ipv4.routes"), entry);
    return QString();
}

QString routeIpv6(Converter& profile, const Directive& directive)
{
    const QStringList& arguments = directive.arguments;
    const QString network = arguments.value(0).section(QLatin1Char('/'), 0, 0);
    const QString bits = arguments.value(0).section(QLatin1Char('/'), 1);
    QString gateway = arguments.value(1);
    if (gateway == QLatin1String("vpn_gateway") || gateway == QLatin1String("default"))
        gateway.clear();
    if (arguments.isEmpty() || arguments.size() > 3 || !isIpv6(network) || !(bits.isEmpty() || isNumber(bits, 0, 128))
        || (!gateway.isEmpty() && !isIpv6(gateway))
        || !(arguments.value(2).isEmpty() || isNumber(arguments.value(2), 0, 0x7fffffff)))
        return QStringLiteral("a route the connection's IP settings cannot hold");
    QString entry = network + QLatin1Char('/') + (bits.isEmpty() ? QStringLiteral("128") : bits);
    if (!arguments.value(2).isEmpty())
        entry += QLatin1Char(' ') + (gateway.isEmpty() ? QStringLiteral("::") : gateway) + QLatin1Char(' ')
            + arguments.value(2);
    else if (!gateway.isEmpty())
        entry += QLatin1Char(' ') + gateway;
    profile.append(QStringLiteral("ipv6.routes"), entry);
    return QString();
}

// Name servers and domains go to the connection's IP settings; Windows'
// name service and proxy settings mean nothing here.
QString dhcpOption(Converter& profile, const Directive& directive)
{
    static const QStringList windowsOnly { QStringLiteral("WINS"), QStringLiteral("NBDD"), QStringLiteral("NTP"),
        QStringLiteral("NBT"), QStringLiteral("NBS"), QStringLiteral("DISABLE-NBT"), QStringLiteral("PROXY_HTTP"),
        QStringLiteral("PROXY_HTTPS"), QStringLiteral("PROXY_AUTO_CONFIG_URL"), QStringLiteral("PROXY_BYPASS"),
        QStringLiteral("ADAPTER_DOMAIN_SUFFIX") };
    const QString type = directive.arguments.value(0);
    const QString value = directive.arguments.value(1);
    if (windowsOnly.contains(type)) {
        profile.dropped << openvpn::Decision { directive.line, directive.name, openvpn::Verdict::Dropped,
            QStringLiteral("%1 is a Windows setting").arg(type) };
        return QString();
    }
    if (directive.arguments.size() != 2)
        return wrongValue;
    if (type == QLatin1String("DNS") && isIpv4(value))
        profile.append(QStringLiteral("ipv4.dns"), value);
    else if ((type == QLatin1String("DNS") || type == QLatin1String("DNS6")) && isIpv6(value))
        profile.append(QStringLiteral("ipv6.dns"), value);
    else if ((type == QLatin1String("DOMAIN") || type == QLatin1String("DOMAIN-SEARCH")) && isHost(value))
        profile.append(QStringLiteral("ipv4.dns-search"), value);
    else
        return QStringLiteral("an option the connection's IP settings cannot hold");
    return QString();
}

QString redirectGateway(Converter& profile, const Directive& directive)
{
    if (!directive.arguments.contains(QStringLiteral("!ipv4")))
        profile.defaultRoute = true;
    if (directive.arguments.contains(QStringLiteral("ipv6")))
        profile.setting(QStringLiteral("ipv6.never-default"), QStringLiteral("no"));
    return QString();
}

QString routeNopull(Converter& profile, const Directive& directive)
{
    if (!directive.arguments.isEmpty())
        return wrongValue;
    profile.routesPulled = false;
    return QString();
}

const QHash<QString, Handler>& handlers()
{
    static const QHash<QString, Handler> table = {
        { QStringLiteral("allow-compression"),
            single("allow-compression", [](const QString& v) { return matches(v, "yes|no|asym"); }) },
        { QStringLiteral("allow-pull-fqdn"), flag("allow-pull-fqdn") },
        { QStringLiteral("auth"), single("auth", isWord) },
        // The account's credentials come with every activation.
        { QStringLiteral("auth-user-pass"), [](Converter&, const Directive&) { return QString(); } },
        { QStringLiteral("cert"), certificate },
        { QStringLiteral("cipher"), single("cipher", isWord) },
        { QStringLiteral("comp-lzo"), compLzo },
        { QStringLiteral("compress"), compress },
        { QStringLiteral("connect-timeout"), single("connect-timeout", isSeconds) },
        // Each block is one entry of the plug-in's remote list.
        { QStringLiteral("connection"), connectionBlock },
        { QStringLiteral("crl-verify"), inlineFile("crl-verify-file") },
        { QStringLiteral("data-ciphers"), single("data-ciphers", isCipherList) },
        { QStringLiteral("dev"), single("dev", isWord) },
        { QStringLiteral("dev-type"), single("dev-type", [](const QString& v) { return matches(v, "tun|tap"); }) },
        { QStringLiteral("dhcp-option"), dhcpOption },
        { QStringLiteral("extra-certs"), inlineFile("extra-certs") },
        { QStringLiteral("float"), flag("float") },
        { QStringLiteral("fragment"),
            single("fragment-size", [](const QString& v) { return isNumber(v, 68, 65535); }) },
        { QStringLiteral("http-proxy"), proxy },
        { QStringLiteral("http-proxy-retry"), flag("proxy-retry") },
        { QStringLiteral("ifconfig"), ifconfig },
        { QStringLiteral("keepalive"), keepalive },
        { QStringLiteral("key"), privateKey },
        { QStringLiteral("key-direction"), keyDirection },
        { QStringLiteral("mssfix"), mssfix },
        { QStringLiteral("mtu-disc"), single("mtu-disc", [](const QString& v) { return matches(v, "no|maybe|yes"); }) },
        { QStringLiteral("ncp-ciphers"), single("data-ciphers", isCipherList) },
        { QStringLiteral("ns-cert-type"),
            single("ns-cert-type", [](const QString& v) { return matches(v, "server|client"); }) },
        { QStringLiteral("ping"), single("ping", isSeconds) },
        { QStringLiteral("ping-exit"), single("ping-exit", isSeconds) },
        { QStringLiteral("ping-restart"), single("ping-restart", isSeconds) },
        { QStringLiteral("pkcs12"), pkcs12 },
        { QStringLiteral("port"), port },
        { QStringLiteral("proto"), proto },
        { QStringLiteral("push-peer-info"), flag("push-peer-info") },
        { QStringLiteral("redirect-gateway"), redirectGateway },
        { QStringLiteral("remote"), remote },
        { QStringLiteral("remote-cert-tls"),
            single("remote-cert-tls", [](const QString& v) { return matches(v, "server|client"); }) },
        { QStringLiteral("remote-random"), flag("remote-random") },
        { QStringLiteral("remote-random-hostname"), flag("remote-random-hostname") },
        { QStringLiteral("reneg-sec"), single("reneg-seconds", isSeconds) },
        { QStringLiteral("route"), route },
        { QStringLiteral("route-ipv6"), routeIpv6 },
        { QStringLiteral("route-nopull"), routeNopull },
        { QStringLiteral("rport"), port },
        { QStringLiteral("server-poll-timeout"), single("connect-timeout", isSeconds) },
        { QStringLiteral("socks-proxy"), proxy },
        { QStringLiteral("socks-proxy-retry"), flag("proxy-retry") },
        { QStringLiteral("tls-auth"), tlsAuth },
        { QStringLiteral("tls-cipher"), single("tls-cipher", isCipherList) },
        { QStringLiteral("tls-crypt"), inlineFile("tls-crypt") },
        { QStringLiteral("tls-crypt-v2"), inlineFile("tls-crypt-v2") },
        { QStringLiteral("tls-version-max"),
            single("tls-version-max", [](const QString& v) { return matches(v, "1\\.[0-3]"); }) },
        { QStringLiteral("tls-version-min"), tlsVersionMin },
        { QStringLiteral("tun-ipv6"), flag("tun-ipv6") },
        { QStringLiteral("tun-mtu"), single("tunnel-mtu", [](const QString& v) { return isNumber(v, 68, 65535); }) },
        { QStringLiteral("verify-x509-name"), verifyX509Name },
    };
    return table;
}

// Within a <connection> block only the server, its port and its protocol
// can differ: the plug-in has one set of options for its whole list.
bool mayDifferPerBlock(const QString& name)
{
    return name == QLatin1String("remote") || name == QLatin1String("port") || name == QLatin1String("rport")
        || name == QLatin1String("proto");
}

// The plug-in's remote list: each server as OpenVPN would try it, its port
// and protocol spelt out where it has them, and wherever the plug-in's own
// defaults (the port item, proto-tcp) would lead elsewhere.
QString remoteList(const Converter& profile)
{
    const auto transport = [](const QString& protocol) {
        return protocol.startsWith(QLatin1String("tcp")) ? QStringLiteral("tcp") : QStringLiteral("udp");
    };
    const QString defaultPort = profile.port.isEmpty() ? QStringLiteral("1194") : profile.port;
    const QString defaultProtocol = transport(profile.protocol);
    QStringList entries;
    for (const Remote& remote : profile.blocks.isEmpty() ? profile.remotes : profile.blocks) {
        // A block keeps what was set before it; a remote line outside blocks
        // takes what holds at the end.
        const bool block = !profile.blocks.isEmpty();
        const QString port = !remote.port.isEmpty() ? remote.port : block ? QStringLiteral("1194") : defaultPort;
        const QString protocol = !remote.protocol.isEmpty() ? remote.protocol
            : block                                         ? QStringLiteral("udp")
                                                            : profile.protocol;
        const bool withProtocol = remote.protocolGiven || transport(protocol) != defaultProtocol
            || protocol.contains(QLatin1Char('4')) || protocol.contains(QLatin1Char('6'));
        const bool withPort = withProtocol || remote.portGiven || port != defaultPort;
        QString entry = remote.host;
        if (withPort)
            entry += QLatin1Char(':') + port;
        if (withProtocol)
            entry += QLatin1Char(':') + protocol;
        entries << entry;
    }
    return entries.join(QStringLiteral(", "));
}

} // namespace

openvpn::NetworkManagerProfile openvpn::networkManagerProfile(const QVector<Directive>& directives, const QString& base)
{
    NetworkManagerProfile profile;
    Converter converter(base);
    for (const Directive& directive : directives) {
        const Handler handler = handlers().value(directive.name);
        QString why;
        if (!handler)
            why = QStringLiteral("the plug-in has no key for it");
        else if (directive.connection != 0 && !mayDifferPerBlock(directive.name))
            why = QStringLiteral("differs per <connection> block, which the plug-in cannot say");
        else
            why = handler(converter, directive);
        if (!why.isEmpty()) {
            profile.refused = describe(Decision { directive.line, directive.name, Verdict::Refused, why });
            return profile;
        }
    }
    const bool blocks = !converter.blocks.isEmpty();
    for (const Remote& block : converter.blocks) {
        if (block.host.isEmpty()) {
            profile.refused = QStringLiteral("a <connection> block without a remote");
            return profile;
        }
    }
    if (converter.remotes.isEmpty() && !blocks) {
        profile.refused = QStringLiteral("no remote: the plug-in needs a server");
        return profile;
    }
    // OpenVPN itself takes only the blocks when there are any.
    for (const Remote& remote : blocks ? converter.remotes : QVector<Remote>()) {
        converter.dropped << Decision { remote.line, QStringLiteral("remote"), Verdict::Dropped,
            QStringLiteral("OpenVPN ignores it beside <connection> blocks") };
    }
    if (converter.certificate != converter.privateKey) {
        profile.refused = QStringLiteral("a client certificate without its key, or a key without its certificate");
        return profile;
    }
    if (converter.protocol.startsWith(QLatin1String("tcp")))
        converter.set(QStringLiteral("proto-tcp"), QStringLiteral("yes"));
    if (!converter.port.isEmpty())
        converter.set(QStringLiteral("port"), converter.port);
    if (converter.tlsAuth && !converter.keyDirection.isEmpty())
        converter.set(QStringLiteral("ta-dir"), converter.keyDirection);
    if (!converter.routesPulled) {
        for (const char* family : { "ipv4", "ipv6" }) {
            converter.setting(QLatin1String(family) + QStringLiteral(".ignore-auto-routes"), QStringLiteral("yes"));
            converter.setting(QLatin1String(family) + QStringLiteral(".ignore-auto-dns"), QStringLiteral("yes"));
        }
    }
    if (converter.defaultRoute)
        converter.setting(QStringLiteral("ipv4.never-default"), QStringLiteral("no"));
    else if (!converter.routesPulled)
        converter.setting(QStringLiteral("ipv4.never-default"), QStringLiteral("yes"));

    profile.data << QStringLiteral("remote=") + remoteList(converter)
                 << QStringLiteral("connection-type=")
            + (converter.certificate ? QStringLiteral("password-tls") : QStringLiteral("password"))
                 << QStringLiteral("password-flags=2") << QStringLiteral("ca=") + certificatePath(base);
    for (const auto& item : converter.items)
        profile.data << item.first + QLatin1Char('=') + item.second;
    for (auto setting = converter.settings.cbegin(); setting != converter.settings.cend(); ++setting)
        profile.settings << qMakePair(setting.key(), setting.value());
    profile.files = converter.files;
    profile.dropped = converter.dropped;
    return profile;
}

openvpn::ProfileCheck openvpn::checkNetworkManagerProfile(const QByteArray& bytes, const QString& base)
{
    ProfileCheck check = checkProfile(bytes, Path::NetworkManager);
    if (!check.accepted)
        return check;
    const NetworkManagerProfile profile = networkManagerProfile(check.directives, base);
    // What the plug-in leaves out of a carried line is reported on that line.
    for (const Decision& drop : profile.dropped) {
        for (Decision& decision : check.decisions) {
            if (decision.line == drop.line && decision.verdict == Verdict::Carried)
                decision = drop;
        }
    }
    if (!profile.refused.isEmpty()) {
        check.accepted = false;
        check.refused = profile.refused;
        check.directives.clear();
    }
    return check;
}

QString openvpn::vpnDataArgument(const QStringList& data)
{
    QStringList escaped;
    for (const QString& item : data) {
        QString text = item;
        escaped
            << text.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char(','), QStringLiteral("\\,"));
    }
    return escaped.join(QStringLiteral(", "));
}
