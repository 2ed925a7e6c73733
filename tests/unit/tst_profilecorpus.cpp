#include "connection/nmprofile.h"
#include "connection/openvpn.h"
#include "connection/openvpnprofile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace openvpn = connection::openvpn;

// Real services' profiles (tests/data/profiles, sources in its README), each
// line classed for both ways of starting OpenVPN, and what each way builds
// given to the real consumer: OpenVPN 2.6 and NetworkManager.
class ProfileCorpusTest : public QObject {
    Q_OBJECT

private slots:
    void everyLineClassed_data();
    void everyLineClassed();
    void openvpnReadsTheWrittenProfile_data();
    void openvpnReadsTheWrittenProfile();
    void networkManagerAddsWhatItsPathBuilds();
    void checkProfileCommand();
};

namespace {
const QString corpus = QStringLiteral(VELNOR_PROFILES);

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList profileNames() { return QDir(corpus).entryList({ QStringLiteral("*.ovpn") }, QDir::Files); }

QStringList words(const char* text) { return QString::fromLatin1(text).split(QLatin1Char(' '), Qt::SkipEmptyParts); }

// What every NetworkManager profile leaves to the plug-in.
const char pluginDefaults[] = "ca client nobind persist-key persist-tun resolv-retry verb ";

// The lines that may start a TLS handshake with a key: written to files for
// NetworkManager, and named in its vpn.data.
const QStringList fileOptions { "cert", "key", "tls-auth", "tls-crypt", "tls-crypt-v2", "extra-certs", "crl-verify",
    "pkcs12" };
// Items that differ from the importer's by design: the CA is the download,
// the credentials always the account's.
const QStringList ownItems { "ca", "connection-type", "password-flags" };

QString run(const QString& program, const QStringList& arguments, int* exitCode = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(30000);
    if (exitCode)
        *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
}

// The [vpn] section of a connection NetworkManager keeps, key by key.
QMap<QString, QString> storedVpnData(const QString& connection)
{
    QMap<QString, QString> data;
    bool inVpn = false;
    const QByteArray keyfile
        = contents(QStringLiteral("/etc/NetworkManager/system-connections/%1.nmconnection").arg(connection));
    for (const QByteArray& line : keyfile.split('\n')) {
        if (line.startsWith('['))
            inVpn = line == "[vpn]";
        else if (inVpn && line.contains('='))
            data.insert(
                QString::fromUtf8(line.left(line.indexOf('='))), QString::fromUtf8(line.mid(line.indexOf('=') + 1)));
    }
    data.remove(QStringLiteral("service-type"));
    return data;
}
} // namespace

void ProfileCorpusTest::everyLineClassed_data()
{
    QTest::addColumn<QString>("file");
    // Option names whose lines each way drops or refuses; every other line is carried.
    QTest::addColumn<QStringList>("directDropped");
    QTest::addColumn<QStringList>("refused");
    QTest::addColumn<QStringList>("networkManagerDropped");
    const auto row = [](const char* file, const char* direct, const char* networkManager, const char* refused = "") {
        QTest::newRow(file) << QString::fromLatin1(file) << words(direct) << words(refused)
                            << words(pluginDefaults) + words(direct) + words(networkManager);
    };
    row("airvpn.ovpn", "ca setenv", "auth-nocache data-ciphers-fallback explicit-exit-notify");
    row("angristan-tcp.ovpn", "ca block-outside-dns ignore-unknown-option", "auth-nocache tls-client");
    row("angristan-udp.ovpn", "ca block-outside-dns ignore-unknown-option",
        "auth-nocache tls-client explicit-exit-notify");
    row("ccvpn.ovpn", "ca script-security up down", "tls-client");
    row("ccvpn2.ovpn", "ca", "tls-client");
    row("ivpn.ovpn", "ca auth-user-pass", "persist-remote-ip");
    row("kylemanna.ovpn", "ca block-outside-dns", "");
    row("mullvad.ovpn", "ca auth-user-pass script-security up down", "fast-io sndbuf rcvbuf");
    row("nordvpn-udp.ovpn", "ca", "fast-io ping-timer-rem pull tun-mtu-extra");
    row("nyr.ovpn", "ca block-outside-dns ignore-unknown-option", "");
    row("openvpn-admin-plus.ovpn", "ca", "auth-nocache");
    row("openvpn-as.ovpn", "ca setenv", "sndbuf rcvbuf");
    row("openvpn-sample-client.ovpn", "ca", "");
    row("openvpn-ui.ovpn", "ca", "auth-nocache tls-client", "user group");
    row("ovpn-admin.ovpn", "ca", "tls-client");
    row("perfectprivacy.ovpn", "ca auth-user-pass route-method script-security ignore-unknown-option ncp-disable",
        "hand-window inactive mute-replay-warnings persist-remote-ip route-delay tls-timeout");
    row("pia.ovpn", "ca", "tls-client disable-occ");
    row("protonvpn-udp.ovpn", "ca setenv block-outside-dns", "fast-io pull tun-mtu-extra");
    row("surfshark-udp.ovpn", "ca", "fast-io");
    row("torguard.ovpn", "ca", "fast-io sndbuf rcvbuf tun-mtu-extra");
    row("windscribe-udp.ovpn", "ca", "mute-replay-warnings");
}

void ProfileCorpusTest::everyLineClassed()
{
    QFETCH(QString, file);
    QFETCH(QStringList, directDropped);
    QFETCH(QStringList, refused);
    QFETCH(QStringList, networkManagerDropped);

    const QByteArray profile = contents(corpus + QLatin1Char('/') + file);
    QVERIFY(!profile.isEmpty());
    QTemporaryDir base;
    const openvpn::ProfileCheck direct = openvpn::checkProfile(profile, openvpn::Path::Direct);
    const openvpn::ProfileCheck networkManager = openvpn::checkNetworkManagerProfile(profile, base.path());
    for (const auto& [check, dropped] :
        { qMakePair(direct, directDropped), qMakePair(networkManager, networkManagerDropped) }) {
        QVERIFY2(!check.unreadable, qPrintable(check.refused));
        QCOMPARE(check.accepted, refused.isEmpty());
        QVERIFY(!check.decisions.isEmpty());
        for (const openvpn::Decision& decision : check.decisions) {
            const openvpn::Verdict expected = refused.contains(decision.name) ? openvpn::Verdict::Refused
                : dropped.contains(decision.name)                             ? openvpn::Verdict::Dropped
                                                                              : openvpn::Verdict::Carried;
            QVERIFY2(decision.verdict == expected, qPrintable(openvpn::describe(decision)));
        }
    }
}

void ProfileCorpusTest::openvpnReadsTheWrittenProfile_data()
{
    QTest::addColumn<QString>("file");
    for (const QString& file : profileNames())
        QTest::newRow(qPrintable(file)) << file;
}

// What the direct path writes, with the client's own command line, read by
// Debian's OpenVPN in a network namespace with no network: it gets past its
// options into showing them, with no options error.
void ProfileCorpusTest::openvpnReadsTheWrittenProfile()
{
    QFETCH(QString, file);
    if (geteuid() != 0)
        QSKIP("needs root, for a network namespace");
    if (!QFile::exists(QStringLiteral(VELNOR_REAL_OPENVPN)))
        QSKIP("needs OpenVPN (" VELNOR_REAL_OPENVPN ", scripts/deps)");
    const openvpn::ProfileCheck check = openvpn::checkProfile(contents(corpus + QLatin1Char('/') + file));
    if (!check.accepted)
        QSKIP("refused: nothing is written");

    QTemporaryDir base;
    QVERIFY(openvpn::prepareFolders(base.path()));
    QVERIFY(openvpn::writeInputFile(openvpn::configPath(base.path()), openvpn::writtenProfile(check.directives)));
    QVERIFY(openvpn::writeInputFile(
        openvpn::certificatePath(base.path()), contents(QStringLiteral(VELNOR_DEMO_DATA "/openvpn/ca.crt"))));
    QVERIFY(openvpn::writeInputFile(openvpn::credentialsPath(base.path()), openvpn::credentials("alice", "secret")));
    openvpn::Command command = openvpn::command(base.path(), QStringLiteral("unshare -n " VELNOR_REAL_OPENVPN));
    // After the profile, so that its own verb gives way.
    command.arguments << QStringLiteral("--verb") << QStringLiteral("4");
    QProcess process;
    process.setWorkingDirectory(command.workingFolder);
    process.start(command.program, command.arguments);
    const QString log = openvpn::logPath(base.path());
    QTRY_VERIFY_WITH_TIMEOUT(
        contents(log).contains("Current Parameter Settings") || process.state() == QProcess::NotRunning, 15000);
    process.kill();
    process.waitForFinished(5000);
    QVERIFY2(!contents(log).contains("Options error"), contents(log).constData());
    QVERIFY2(contents(log).contains("Current Parameter Settings"), contents(log).constData());
}

// In NetworkManager's sandbox (tests/support/nm-sandbox.sh): every corpus
// profile's connection is added, vpn.data names each inline file, and every
// item agrees with what the plug-in's own importer makes of the profile.
void ProfileCorpusTest::networkManagerAddsWhatItsPathBuilds()
{
    if (qEnvironmentVariableIsEmpty("VELNOR_NM_SANDBOX"))
        QSKIP("not in NetworkManager's sandbox: run through tests/support/nm-sandbox.sh");
    // Beside the corpus, the items the corpus gives only in forms the
    // importer skips ("setenv opt", <connection> blocks) or not at all.
    QTemporaryDir probeFolder;
    QFile probe(probeFolder.filePath(QStringLiteral("probe.ovpn")));
    QVERIFY(probe.open(QIODevice::WriteOnly));
    const QByteArray ca = contents(QStringLiteral(VELNOR_DEMO_DATA "/openvpn/ca.crt"));
    probe.write("client\nremote h.example.com\nport 1195\nproto tcp\ndev-type tun\ntls-version-min 1.0 or-highest\n"
                "remote-random-hostname\nhttp-proxy proxy.example 8080\nhttp-proxy-retry\nifconfig 198.18.0.2 "
                "198.18.0.1\nallow-compression asym\nallow-pull-fqdn\nping-exit 60\nmtu-disc yes\nfloat\n<ca>\n"
        + ca + "</ca>\n<extra-certs>\n" + ca
        + "</extra-certs>\n<tls-crypt-v2>\n-----BEGIN OpenVPN tls-crypt-v2 client key-----\nAAAA\n"
          "-----END OpenVPN tls-crypt-v2 client key-----\n</tls-crypt-v2>\n");
    probe.close();
    QStringList inputs { probe.fileName() };
    for (const QString& file : profileNames())
        inputs << corpus + QLatin1Char('/') + file;

    int added = 0;
    QSet<QString> ourKeys;
    QSet<QString> importedKeys;
    for (const QString& input : std::as_const(inputs)) {
        const QString file = QFileInfo(input).fileName();
        QTemporaryDir base;
        const openvpn::ProfileCheck check = openvpn::checkNetworkManagerProfile(contents(input), base.path());
        if (!check.accepted)
            continue;
        const openvpn::NetworkManagerProfile profile = openvpn::networkManagerProfile(check.directives, base.path());
        QVERIFY(openvpn::prepareFolders(base.path()));
        for (const openvpn::NetworkManagerFile& written : profile.files)
            QVERIFY(openvpn::writeInputFile(written.path, written.bytes));
        const QString name = QStringLiteral("ours-") + QFileInfo(file).baseName();
        QStringList arguments { "connection", "add", "type", "vpn", "con-name", name, "ifname", "*", "vpn-type",
            "openvpn", "connection.autoconnect", "no", "vpn.data", openvpn::vpnDataArgument(profile.data) };
        for (const auto& setting : profile.settings)
            arguments << setting.first << setting.second;
        int exitCode = -1;
        const QString output = run(QStringLiteral("nmcli"), arguments, &exitCode);
        QVERIFY2(exitCode == 0, qPrintable(file + QLatin1String(": ") + output));
        ++added;

        const QMap<QString, QString> ours = storedVpnData(name);
        for (const openvpn::Directive& directive : check.directives) {
            if (fileOptions.contains(directive.name))
                QVERIFY2(ours.values().contains(openvpn::inlineFilePath(base.path(), directive.name)),
                    qPrintable(file + QLatin1String(": ") + directive.name));
        }
        // The importer as a second reader: where it takes the profile, each
        // item it makes is ours too, with the same value (the same bytes for
        // a file), but for the CA (the download's) and the credentials
        // (always the account's).
        QTemporaryDir importFolder;
        const QString imported = importFolder.filePath(file);
        QVERIFY(QFile::copy(input, imported));
        if (run(QStringLiteral("nmcli"), { "connection", "import", "type", "openvpn", "file", imported }, &exitCode)
                .contains(QLatin1String("successfully added"))) {
            const QMap<QString, QString> theirs = storedVpnData(QFileInfo(imported).baseName());
            for (auto item = theirs.cbegin(); item != theirs.cend(); ++item) {
                if (ownItems.contains(item.key()))
                    continue;
                QVERIFY2(ours.contains(item.key()), qPrintable(file + QLatin1String(": no ") + item.key()));
                if (item.value().startsWith(QLatin1Char('/')))
                    QCOMPARE(contents(ours.value(item.key())).trimmed(), contents(item.value()).trimmed());
                else
                    QVERIFY2(ours.value(item.key()) == item.value(),
                        qPrintable(file + QLatin1String(": ") + item.key() + QLatin1String(" = ")
                            + ours.value(item.key()) + QLatin1String(", not ") + item.value()));
            }
            importedKeys.unite(QSet<QString>(theirs.keyBegin(), theirs.keyEnd()));
        }
        ourKeys.unite(QSet<QString>(ours.keyBegin(), ours.keyEnd()));
    }
    // All but the profile that runs OpenVPN as nobody.
    QCOMPARE(added, inputs.size() - 1);
    // Every item we write is one the importer writes too: the plug-in knows it.
    const QSet<QString> unknown = ourKeys - importedKeys - QSet<QString>(ownItems.begin(), ownItems.end());
    QVERIFY2(unknown.isEmpty(), qPrintable(QStringList(unknown.begin(), unknown.end()).join(QLatin1Char(' '))));
}

// velnor-vpn --check-profile, the real program, beside a copy that looks alive.
void ProfileCorpusTest::checkProfileCommand()
{
    QTemporaryDir config;
    QFile settings(config.filePath(QStringLiteral("Velnor/Velnor VPN.conf")));
    QVERIFY(QDir(config.path()).mkpath(QStringLiteral("Velnor")) && settings.open(QIODevice::WriteOnly));
    settings.write("[General]\nvlrunning=" + QByteArray::number(QDateTime::currentMSecsSinceEpoch() + 600000) + '\n');
    settings.close();
    const auto check = [&config](const QStringList& files, int& exitCode) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(VELNOR_EXECUTABLE), QStringList { "--check-profile" } + files);
        process.waitForFinished(30000);
        exitCode = process.exitCode();
        return QString::fromUtf8(process.readAllStandardOutput());
    };
    int exitCode = -1;
    const QString accepted = check({ corpus + QStringLiteral("/nyr.ovpn") }, exitCode);
    QCOMPARE(exitCode, 0);
    QCOMPARE(
        accepted.split(QLatin1Char('\n')).filter(QRegularExpression(QStringLiteral("^direct: dropped line "))).size(),
        3);
    QVERIFY(accepted.contains(QLatin1String("\ndirect: accepted, 3 lines dropped\n")));
    QVERIFY(accepted.contains(QLatin1String("\nnetworkmanager: accepted, ")));
    const QString refused
        = check({ corpus + QStringLiteral("/nyr.ovpn"), corpus + QStringLiteral("/openvpn-ui.ovpn") }, exitCode);
    QCOMPARE(exitCode, 1);
    QVERIFY(refused.contains(QLatin1String("\ndirect: refused: line 6: user: changes OpenVPN's user\n")));
    QVERIFY(refused.contains(QLatin1String("\nnetworkmanager: refused: line 6: user: ")));
    check({ corpus + QStringLiteral("/openvpn-ui.ovpn"), corpus + QStringLiteral("/missing.ovpn") }, exitCode);
    QCOMPARE(exitCode, 2);
}

QTEST_GUILESS_MAIN(ProfileCorpusTest)
#include "tst_profilecorpus.moc"
