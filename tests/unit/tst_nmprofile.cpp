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
const QString ca = QStringLiteral("/home/u/.local/share/velnor/include/certificate.crt");
const QStringList always { QStringLiteral("connection-type=password"), QStringLiteral("password-flags=2"),
    QStringLiteral("ca=") + ca };
} // namespace

void NetworkManagerProfileTest::directives_data()
{
    QTest::addColumn<QByteArray>("profile");
    QTest::addColumn<QStringList>("data"); // after the remote and the three items every profile has
    QTest::addColumn<QString>("refused");

    QTest::newRow("the service's profile") << QByteArray("client\ndev tun\nproto udp\nremote 198.51.100.2 1194\n"
                                                         "nobind\nauth-user-pass\nauth-nocache\nverb 3\n")
                                           << QStringList { "remote=198.51.100.2:1194", "dev=tun" } << QString();
    QTest::newRow("tcp, port and protocol on the remote")
        << QByteArray("remote vpn.example.com 443 tcp-client\nproto tcp-client\n")
        << QStringList { "remote=vpn.example.com:443:tcp-client", "proto-tcp=yes" } << QString();
    QTest::newRow("several remotes, port apart")
        << QByteArray("remote a.example.com\nremote 203.0.113.7\nport 1195\nremote-random\nfloat\n")
        << QStringList { "remote=a.example.com 203.0.113.7", "port=1195", "remote-random=yes", "float=yes" }
        << QString();
    QTest::newRow("ciphers and server check")
        << QByteArray("remote h\ncipher AES-256-CBC\ndata-ciphers AES-256-GCM:AES-128-GCM\nauth SHA256\n"
                      "remote-cert-tls server\ntls-version-min 1.2\n")
        << QStringList { "remote=h", "cipher=AES-256-CBC", "data-ciphers=AES-256-GCM:AES-128-GCM", "auth=SHA256",
               "remote-cert-tls=server", "tls-version-min=1.2" }
        << QString();
    QTest::newRow("timers and sizes") << QByteArray(
        "remote h\nkeepalive 10 60\nreneg-sec 0\ntun-mtu 1400\nmssfix\ncomp-lzo\n")
                                      << QStringList { "remote=h", "ping=10", "ping-restart=60", "reneg-seconds=0",
                                             "tunnel-mtu=1400", "mssfix=yes", "comp-lzo=adaptive" }
                                      << QString();
    QTest::newRow("the downloaded certificate wins over an inline one")
        << QByteArray("remote h\n<ca>\n-----BEGIN CERTIFICATE-----\nAA==\n-----END CERTIFICATE-----\n</ca>\n")
        << QStringList { "remote=h" } << QString();
    QTest::newRow("a key the plug-in needs as a file")
        << QByteArray("remote h\n<tls-auth>\n-----BEGIN OpenVPN Static key V1-----\n00\n"
                      "-----END OpenVPN Static key V1-----\n</tls-auth>\n")
        << QStringList() << QStringLiteral("tls-auth");
    QTest::newRow("a route") << QByteArray("remote h\nroute 198.18.5.0 255.255.255.0\n") << QStringList()
                             << QStringLiteral("route");
    QTest::newRow("a resolver of the profile's choice")
        << QByteArray("remote h\ndhcp-option DNS 192.0.2.53\n") << QStringList() << QStringLiteral("dhcp-option");
    QTest::newRow("a remote that would add an item")
        << QByteArray("remote \"h,ca=/etc/shadow\"\n") << QStringList() << QStringLiteral("remote");
    QTest::newRow("a device by name") << QByteArray("remote h\ndev tun7\n") << QStringList() << QStringLiteral("dev");
    QTest::newRow("no remote") << QByteArray("client\ndev tun\n") << QStringList() << QStringLiteral("remote");
    QTest::newRow("alternatives in blocks") << QByteArray("<connection>\nremote a.example.com\n</connection>\n")
                                            << QStringList() << QStringLiteral("connection");
}

void NetworkManagerProfileTest::directives()
{
    QFETCH(QByteArray, profile);
    QFETCH(QStringList, data);
    QFETCH(QString, refused);

    const connection::openvpn::ProfileCheck check = connection::openvpn::checkProfile(profile);
    QVERIFY2(check.accepted, qPrintable(check.refused));
    const connection::openvpn::NetworkManagerProfile result
        = connection::openvpn::networkManagerProfile(check.directives, ca);
    QCOMPARE(result.refused, refused);
    if (refused.isEmpty()) {
        data.insert(1, always.at(0));
        data.insert(2, always.at(1));
        data.insert(3, always.at(2));
    }
    QCOMPARE(result.data, data);
}

QTEST_APPLESS_MAIN(NetworkManagerProfileTest)
#include "tst_nmprofile.moc"
