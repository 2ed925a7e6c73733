#include "connection/openvpnprofile.h"

#include <QFile>
#include <QtTest>

namespace openvpn = connection::openvpn;

// A downloaded OpenVPN profile, read as OpenVPN 2.6 reads it, classed by the
// option table, and written out again for OpenVPN.
class OpenVpnProfileTest : public QObject {
    Q_OBJECT

private slots:
    void checkProfile_data();
    void checkProfile();
    void writtenProfile_data();
    void writtenProfile();
    void pemCertificate_data();
    void pemCertificate();
};

namespace {
QByteArray file(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// "name|argument|...", "<name>|body" for an inline block, "N:" before a line of the Nth <connection>.
QStringList described(const QVector<openvpn::Directive>& directives, bool namesOnly)
{
    QStringList result;
    for (const openvpn::Directive& d : directives) {
        QString text = d.connection ? QString::number(d.connection) + QLatin1Char(':') : QString();
        text += d.isInline ? QLatin1Char('<') + d.name + QLatin1Char('>') : d.name;
        const QStringList parts = d.isInline ? QStringList { QString::fromUtf8(d.inlineBody) } : d.arguments;
        for (const QString& part : parts)
            text += namesOnly ? QString() : QLatin1Char('|') + part;
        result << text;
    }
    return result;
}

// What refused the profile: the option's name, or what could not be read.
QString refusedBy(const openvpn::ProfileCheck& check)
{
    if (check.unreadable)
        return check.refused;
    for (const openvpn::Decision& decision : check.decisions) {
        if (decision.verdict == openvpn::Verdict::Refused)
            return decision.name;
    }
    return QString();
}
} // namespace

void OpenVpnProfileTest::checkProfile_data()
{
    QTest::addColumn<QByteArray>("profile");
    QTest::addColumn<QString>("refused");
    // What was read, for an accepted profile; only the names for a real profile.
    QTest::addColumn<QStringList>("read");
    QTest::addColumn<bool>("namesOnly");
    const auto real = [](const char* row, const QByteArray& profile, const QStringList& read) {
        QVERIFY(!profile.isEmpty());
        QTest::newRow(row) << profile << QString() << read << true;
    };
    const auto accepted = [](const char* row, const QByteArray& profile, const QStringList& read) {
        QTest::newRow(row) << profile << QString() << read << false;
    };
    const auto refused = [](const char* row, const QByteArray& profile, const QString& why) {
        QTest::newRow(row) << profile << why << QStringList() << false;
    };

    // Real profiles: OpenVPN's own sample client (its key files inline) and the demo service's.
    real("OpenVPN sample client", file(QStringLiteral(VELNOR_TEST_FIXTURES "/openvpn-sample-client.ovpn")),
        { "client", "dev", "proto", "remote", "resolv-retry", "nobind", "persist-key", "persist-tun", "<cert>", "<key>",
            "remote-cert-tls", "verb" });
    real("demo profile",
        file(QStringLiteral(VELNOR_DEMO_DATA "/openvpn/client.ovpn")).replace("{{remote}}", "192.0.2.1 1194"),
        { "client", "dev", "proto", "remote", "nobind", "remote-cert-tls", "verify-x509-name", "data-ciphers",
            "auth-user-pass", "auth-nocache", "verb", "<cert>", "<key>", "<tls-crypt>" });

    // The tokenizer.
    accepted("quotes", "\"verify-x509-name\" 'a b' name\n", { "verify-x509-name|a b|name" });
    accepted(
        "escapes in double quotes", "verify-x509-name \"a\\\"b\\\\c d\" name", { "verify-x509-name|a\"b\\c d|name" });
    accepted("none in single quotes", "verify-x509-name 'a\\b' name", { "verify-x509-name|a\\b|name" });
    accepted("escaped space", "verify-x509-name a\\ b \\ name", { "verify-x509-name|a b|name" });
    accepted("closing quote ends the word", "verify-x509-name \"a\"name", { "verify-x509-name|a|name" });
    accepted("quotes inside a word", "verify-x509-name a\"b\"'c'", { "verify-x509-name|a\"b\"'c'" });
    accepted("empty word", "verb 3 ''", { "verb|3|" });
    accepted("comments begin words only", "# plugin x\n ;daemon\nverify-x509-name a#b;c \\#d\n",
        { "verify-x509-name|a#b;c" });
    accepted("byte-order mark, CR-LF, dashes", "\xEF\xBB\xBF--client\r\n\tverb\v3\f\r\n", { "client", "verb|3" });
    accepted("inline blocks", "<ca>\n status\n</ca> x\n\"<tls-crypt>\"\nk\n </tls-crypt>\n--<key>\n</key>\n",
        { "<tls-crypt>|k\n", "<key>|" });
    accepted("connection blocks", "<connection>\nremote 192.0.2.1\n</connection>\n<connection>\nnobind\n</connection>",
        { "<connection>|remote 192.0.2.1\n", "1:remote|192.0.2.1", "<connection>|nobind\n", "2:nobind" });
    accepted("setenv opt", "setenv opt tls-version-min 1.2 or-highest\nauth-user-pass\n",
        { "tls-version-min|1.2|or-highest", "auth-user-pass" });

    // Dropped, one row per kind: they never reach OpenVPN.
    accepted("scripts and their variables", "up /tmp/x.sh\nscript-security 2\nsetenv FOO bar\nverb 3\n", { "verb|3" });
    accepted("Windows only, also under setenv opt", "route-method exe\nsetenv opt block-outside-dns\n", {});
    accepted("the CA, by name or inline: the download replaces it", "ca /etc/shadow\n<ca>\nx\n</ca>\n", {});
    accepted("credentials of its own", "auth-user-pass /etc/shadow\n<auth-user-pass>\na\nb\n</auth-user-pass>\n", {});
    accepted("unknown to OpenVPN 2.6, and forgiven",
        "ignore-unknown-option ncp-disable x\nncp-disable\nsetenv opt x 1\n", {});
    // Options in disguise.
    accepted("setenv that sets an option", "setenv PUSH_PEER_INFO\nsetenv SERVER_POLL_TIMEOUT 4\n",
        { "push-peer-info", "server-poll-timeout|4" });
    accepted("[inline] followed by its block",
        "tls-auth [inline] 1\ncert [inline]\n<tls-auth>\nk\n</tls-auth>\n<cert>\nc\n</cert>\n",
        { "key-direction|1", "<tls-auth>|k\n", "<cert>|c\n" });

    // Refused, one row per trick.
    refused("not on the list", "client\nplugin down-root.so cmd\n", "plugin");
    refused("loads a provider", "providers /tmp/certificate.crt\n", "providers");
    refused("quoted name", "\"plugin\" /tmp/certificate.crt\n", "plugin");
    refused("single-quoted name", "'pkcs11-providers' /tmp/certificate.crt\n", "pkcs11-providers");
    refused("dashes", "--daemon\n", "daemon");
    refused("byte-order mark", "\xEF\xBB\xBFplugin x\n", "plugin");
    refused("mark past line 1", "client\n\xEF\xBB\xBFverb 3\n", QChar(0xFEFF) + QStringLiteral("verb"));
    refused("CR-LF", "client\r\nlog-append /root/.bashrc\r\n", "log-append");
    refused("CR alone", "verb 3\rplugin x\n", "a CR that ends no line");
    refused("setenv opt", "setenv opt plugin x\n", "plugin");
    refused("removed from OpenVPN", "ncp-disable\n", "ncp-disable");
    refused("unknown, forgiven too late", "ncp-disable\nignore-unknown-option ncp-disable\n", "ncp-disable");
    refused("[inline] with no block", "cert [inline]\n", "cert");
    refused("[inline] saying more than its block", "tls-crypt [inline] x\n<tls-crypt>\nk\n</tls-crypt>\n", "tls-crypt");
    refused("an inline block OpenVPN does not take", "<verb>\n3\n</verb>\n", "verb");
    refused("a proxy password file", "http-proxy p.example 8080 /etc/shadow\n", "http-proxy");
    refused("in a connection block", "<connection>\nremote 192.0.2.1\n engine x\n</connection>\n", "engine");
    refused("unreadable in a connection block", "client\n<connection>\nremote '192.0.2.1\n</connection>\n",
        "line 3 cannot be read: an unclosed quote");
    // The first end tag closes the outer block, leaving the inner one open.
    refused("connection in connection", "<connection>\n<connection>\n</connection>\n</connection>\n",
        "<connection> is not closed");
    refused("unclosed block", "<ca>\nx\n", "<ca> is not closed");
    refused("closed with more text", "<ca>\n</ca>plugin\nstatus x\n", "status");
    refused("inline block not on the list", "<config>\n/tmp/x\n</config>\n", "config");
    refused("file by name", "cert /etc/shadow\n", "cert");
    refused("key file by name", "tls-auth /etc/shadow 1\n", "tls-auth");
    refused("case", "Daemon\n", "Daemon");
    refused("long line", "verb 3 " + QByteArray(248, 'x') + "\n", "line 1 is too long");
    refused("long line in a block", "<ca>\n" + QByteArray(255, 'x') + "</ca>\nplugin x\n</ca>\n", "line 2 is too long");
    refused("too many words", "verb 3 3 3 3 3 3 3 3 3 3 3 3 3 3 3\n", "line 1 has more than 15 words");
    refused("empty name", "'' x\n", "line 1 names no option");
    refused("unclosed quote", "verb \"3\n", "line 1 cannot be read: an unclosed quote");
    refused("backslash OpenVPN drops", "verb 3\nplugin \\x\n", "line 2 cannot be read: a backslash before 'x'");
    refused("NUL", QByteArray("verb 3\0plugin x\n", 16), "a NUL byte");
    refused("not UTF-8", "verify-x509-name \xff\n", "line 1 cannot be read: a word that is not UTF-8");
    // Once caught by the former deny-list.
    refused("status file", "status /etc/shadow 10\n", "status");
    refused("pid file", "writepid /etc/passwd\n", "writepid");
    refused("control port", "  management 127.0.0.1 7505\n", "management");
    refused("management option", "management-hold\n", "management-hold");
    refused("other file", "config /etc/other.conf\n", "config");
}

void OpenVpnProfileTest::checkProfile()
{
    QFETCH(QByteArray, profile);
    QFETCH(QString, refused);
    QFETCH(QStringList, read);
    QFETCH(bool, namesOnly);

    const openvpn::ProfileCheck check = openvpn::checkProfile(profile);
    QCOMPARE(refusedBy(check), refused);
    QCOMPARE(check.accepted, refused.isEmpty());
    QCOMPARE(described(check.directives, namesOnly), read);
}

void OpenVpnProfileTest::writtenProfile_data()
{
    QTest::addColumn<QByteArray>("profile");
    QTest::addColumn<QByteArray>("written");
    QTest::newRow("plain words") << QByteArray("--client\r\n  dev   tun # comment\n")
                                 << QByteArray("client\ndev tun\n");
    QTest::newRow("white space and commas") << QByteArray("verify-x509-name \"C=DE, CN=a b\" subject\n")
                                            << QByteArray("verify-x509-name 'C=DE, CN=a b' subject\n");
    QTest::newRow("a backslash") << QByteArray("verify-x509-name 'a\\b' name\n")
                                 << QByteArray("verify-x509-name 'a\\b' name\n");
    QTest::newRow("both quotes") << QByteArray("verify-x509-name \"a'\\\"b\" name\n")
                                 << QByteArray("verify-x509-name \"a'\\\"b\" name\n");
    QTest::newRow("empty, and a comment sign")
        << QByteArray("auth ''\ndhcp-option DOMAIN \"#x\"\n") << QByteArray("auth ''\ndhcp-option DOMAIN '#x'\n");
    QTest::newRow("a block keeps its own lines, less what is dropped")
        << QByteArray("<connection>\nremote a 1\nsetenv X 1\n</connection>\n<tls-crypt>\r\nk\r\n</tls-crypt>\n")
        << QByteArray("<connection>\nremote a 1\n</connection>\n<tls-crypt>\nk\r\n</tls-crypt>\n");
}

// OpenVPN reads what is written as what was checked.
void OpenVpnProfileTest::writtenProfile()
{
    QFETCH(QByteArray, profile);
    QFETCH(QByteArray, written);
    const openvpn::ProfileCheck check = openvpn::checkProfile(profile);
    QVERIFY2(check.accepted, qPrintable(check.refused));
    QCOMPARE(openvpn::writtenProfile(check.directives), written);
    QCOMPARE(described(openvpn::checkProfile(written).directives, false), described(check.directives, false));
}

void OpenVpnProfileTest::pemCertificate_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("pem");
    const QByteArray block = "-----BEGIN CERTIFICATE-----\nMIIB\n-----END CERTIFICATE-----\n";
    const QByteArray sample = file(QStringLiteral(VELNOR_TEST_FIXTURES "/openvpn-sample-client.ovpn"));
    const int ca = sample.indexOf("<ca>\n") + 5;
    QTest::newRow("demo CA") << file(QStringLiteral(VELNOR_DEMO_DATA "/openvpn/ca.crt")) << true;
    QTest::newRow("OpenVPN sample CA") << sample.mid(ca, sample.indexOf("</ca>") - ca) << true;
    QTest::newRow("two, CR-LF, white space") << "\n \n" + block + QByteArray(block).replace("\n", "\r\n") + "\t\n"
                                             << true;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("text before") << "Certificate:\n" + block << false;
    QTest::newRow("key") << QByteArray(block).replace("CERTIFICATE", "PRIVATE KEY") << false;
    QTest::newRow("not base64") << QByteArray(block).replace("MIIB", "MI.B") << false;
    QTest::newRow("unclosed") << block.left(32) << false;
    QTest::newRow("shared object") << QByteArray("\x7f"
                                                 "ELF\x02\x01\x01")
            + block << false;
}

void OpenVpnProfileTest::pemCertificate()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, pem);
    QCOMPARE(openvpn::isPemCertificate(bytes), pem);
}

QTEST_GUILESS_MAIN(OpenVpnProfileTest)
#include "tst_openvpnprofile.moc"
