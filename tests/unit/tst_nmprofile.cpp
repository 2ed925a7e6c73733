#include "connection/nmprofile.h"

#include <QtTest>

// What each downloaded directive becomes in the NetworkManager profile.
class NetworkManagerProfileTest : public QObject {
    Q_OBJECT

private slots:
    void directives_data();
    void directives();
};

namespace {
const QString base = QStringLiteral("/home/u/.local/share/velnor-vpn");
const QString include = base + QStringLiteral("/include/");
} // namespace

void NetworkManagerProfileTest::directives_data()
{
    QTest::addColumn<QByteArray>("profile");
    // After the remote and the three items every profile has; then the
    // connection's other properties, "property=value".
    QTest::addColumn<QStringList>("data");
    QTest::addColumn<QStringList>("settings");
    QTest::addColumn<QString>("refused"); // how the refusal begins

    const auto row
        = [](const char* name, const QByteArray& profile, const QStringList& data, const QStringList& settings = {}) {
              QTest::newRow(name) << profile << data << settings << QString();
          };
    const auto refused = [](const char* name, const QByteArray& profile, const char* why) {
        QTest::newRow(name) << profile << QStringList() << QStringList() << QString::fromLatin1(why);
    };

    row("the service's profile",
        "client\ndev tun\nproto udp\nremote 198.51.100.2 1194\nnobind\nauth-user-pass\nauth-nocache\nverb 3\n",
        { "remote=198.51.100.2:1194", "dev=tun" });
    row("tcp, port and protocol on the remote", "remote vpn.example.com 443 tcp-client\nproto tcp-client\n",
        { "remote=vpn.example.com:443:tcp-client", "proto-tcp=yes" });
    row("several remotes, port apart", "remote a.example.com\nremote 203.0.113.7\nport 1195\nremote-random\nfloat\n",
        { "remote=a.example.com, 203.0.113.7", "remote-random=yes", "float=yes", "port=1195" });
    row("a protocol of one family", "proto udp6\nremote a.example.com\n", { "remote=a.example.com:1194:udp6" });
    row("connection blocks, tried in turn",
        "<connection>\nremote a.example.com 1195 udp\n</connection>\n<connection>\nremote b 443 tcp\n</connection>\n",
        { "remote=a.example.com:1195:udp, b:443:tcp" });
    // As OpenVPN reads them: a block starts from what was set before it,
    // its last remote wins, and remotes outside blocks are ignored.
    row("blocks keep what came before",
        "port 1200\nproto tcp\nremote z 1\n<connection>\nremote a\nremote b\n</connection>\n",
        { "remote=b", "proto-tcp=yes", "port=1200" });
    row("ciphers and server checks",
        "remote h\ncipher AES-256-CBC\ndata-ciphers AES-256-GCM:AES-128-GCM\nauth SHA256\nremote-cert-tls server\n"
        "tls-version-min 1.2 or-highest\nns-cert-type server\nverify-x509-name \"C=DE, CN=vpn\\\\1\"\n",
        { "remote=h", "cipher=AES-256-CBC", "data-ciphers=AES-256-GCM:AES-128-GCM", "auth=SHA256",
            "remote-cert-tls=server", "tls-version-min=1.2", "tls-version-min-or-highest=yes", "ns-cert-type=server",
            "verify-x509-name=subject:C=DE, CN=vpn\\1" });
    row("timers, sizes, compression", "remote h\nkeepalive 10 60\nreneg-sec 0\ntun-mtu 1400\nmssfix\ncomp-lzo no\n",
        { "remote=h", "ping=10", "ping-restart=60", "reneg-seconds=0", "tunnel-mtu=1400", "mssfix=yes",
            "comp-lzo=no-by-default" });
    row("the downloaded certificate wins over an inline one", "remote h\n<ca>\nAA==\n</ca>\n", { "remote=h" });
    row("keys as files, the direction from key-direction",
        "remote h\n<cert>\nc\n</cert>\n<key>\nk\n</key>\n<tls-auth>\nt\n</tls-auth>\nkey-direction 1\n",
        { "remote=h", "cert=" + include + "client.crt", "key=" + include + "client.key",
            "ta=" + include + "tls-auth.key", "ta-dir=1" });
    row("a PKCS#12 bundle", "remote h\n<pkcs12>\nAAEC\n</pkcs12>\n",
        { "remote=h", "cert=" + include + "client.p12", "key=" + include + "client.p12" });
    row("routes and name servers through the IP settings",
        "remote h\nroute 198.18.5.0 255.255.255.0\nroute 198.18.6.0 255.255.255.0 198.18.0.1 5\nroute-ipv6 "
        "2001:db8::/32\n"
        "dhcp-option DNS 192.0.2.53\ndhcp-option DOMAIN example.org\ndhcp-option WINS 192.0.2.54\nredirect-gateway "
        "def1\n",
        { "remote=h" },
        { "ipv4.dns=192.0.2.53", "ipv4.dns-search=example.org", "ipv4.never-default=no",
            "ipv4.routes=198.18.5.0/24, 198.18.6.0/24 198.18.0.1 5", "ipv6.routes=2001:db8::/32" });
    row("the server's routes and resolvers ignored", "remote h\nroute-nopull\n", { "remote=h" },
        { "ipv4.ignore-auto-dns=yes", "ipv4.ignore-auto-routes=yes", "ipv4.never-default=yes",
            "ipv6.ignore-auto-dns=yes", "ipv6.ignore-auto-routes=yes" });
    row("a proxy", "remote h\nhttp-proxy proxy.example 8080\nhttp-proxy-retry\n",
        { "remote=h", "proxy-type=http", "proxy-server=proxy.example", "proxy-port=8080", "proxy-retry=yes" });

    refused("a remote that would add an item", "remote \"h,ca=/etc/shadow\"\n", "line 1: remote:");
    refused("no remote", "client\ndev tun\n", "no remote");
    refused("what the plug-in cannot filter", "remote h\npull-filter ignore route\n", "line 2: pull-filter:");
    refused("a compression the plug-in refuses", "remote h\ncompress stub-v2\n", "line 2: compress:");
    refused("a route outside the tunnel", "remote h\nroute 198.18.5.0 255.255.255.0 net_gateway\n", "line 2: route:");
    refused("a certificate without its key", "remote h\n<cert>\nc\n</cert>\n", "a client certificate without");
    refused("an option of one block", "<connection>\nremote a\ncipher AES-256-CBC\n</connection>\n", "line 3: cipher:");
}

void NetworkManagerProfileTest::directives()
{
    QFETCH(QByteArray, profile);
    QFETCH(QStringList, data);
    QFETCH(QStringList, settings);
    QFETCH(QString, refused);

    const connection::openvpn::ProfileCheck check = connection::openvpn::checkNetworkManagerProfile(profile, base);
    QVERIFY2(
        check.refused.startsWith(refused) && !check.refused.isEmpty() == !refused.isEmpty(), qPrintable(check.refused));
    if (!refused.isEmpty())
        return;
    const connection::openvpn::NetworkManagerProfile result
        = connection::openvpn::networkManagerProfile(check.directives, base);
    data.insert(1,
        QStringLiteral("connection-type=")
            + (data.filter(QStringLiteral("key=")).isEmpty() ? "password" : "password-tls"));
    data.insert(2, QStringLiteral("password-flags=2"));
    data.insert(3, QStringLiteral("ca=") + include + QStringLiteral("certificate.crt"));
    QCOMPARE(result.data, data);
    QStringList properties;
    for (const auto& setting : result.settings)
        properties << setting.first + QLatin1Char('=') + setting.second;
    QCOMPARE(properties, settings);
}

QTEST_APPLESS_MAIN(NetworkManagerProfileTest)
#include "tst_nmprofile.moc"
