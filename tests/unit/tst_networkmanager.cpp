#include "connection/pppworker.h"
#include "platform/linux/networkmanager.h"
#include "platform/rasfields.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <cstring>
#include <memory>

// The NetworkManager remote-access backend against a fake nmcli that logs
// its command line, standard input and the secrets file it is given.
class NetworkManagerTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void defaultBackendReportsNt();
    void profileCommands_data();
    void profileCommands();
    void keyRewritesProfile();
    void dialPassesSecretsPrivately_data();
    void dialPassesSecretsPrivately();
    void dialFailures_data();
    void dialFailures();
    void profileFailureReportedByDial_data();
    void profileFailureReportedByDial();
    void hangUpEndsBlockedDial();
    void ownTimeLimitStopsActivation();
    void failureCodes_data();
    void failureCodes();
    void escapeSecret_data();
    void escapeSecret();
    void workerDialsThroughNetworkManager_data();
    void workerDialsThroughNetworkManager();

private:
    struct Call {
        QStringList arguments;
        QByteArray input;
        QString language;
        QString file;
        QString fileMode;
        QByteArray fileContents;
    };

    std::unique_ptr<QTemporaryDir> folder;
    std::unique_ptr<NetworkManagerBackend> backend;

    QString path(const QString& name) const { return folder->filePath(name); }
    void answer(const QString& verb, int exitCode, const QString& errorText = QString());
    void block(const QString& verb);
    QVector<Call> calls() const;
    QStringList endings() const;
    void verifyNoSecretOnCommandLines(const QStringList& secrets) const;
};

namespace {

const char fakeNmcli[] = R"script(#!/bin/bash
# Stands in for nmcli: logs every call and answers as the test scripted.
here="$(cd "$(dirname "$0")" && pwd)"
log="$here/nmcli.log"
verb=""
previous=""
file=""
for argument in "$@"; do
    if [ "$previous" = "connection" ] && [ -z "$verb" ]; then verb="$argument"; fi
    if [ "$previous" = "passwd-file" ]; then file="$argument"; fi
    previous="$argument"
done
record="call"
for argument in "$@"; do record+=$'\t'"$argument"; done
record+=$'\n'"stdin"$'\t'"$(base64 -w0)"$'\n'"language"$'\t'"${LC_ALL:-}"$'\n'
if [ -n "$file" ]; then
    record+="file"$'\t'"$file"$'\t'"$(stat -c %a "$file")"$'\t'"$(base64 -w0 < "$file")"$'\n'
fi
printf '%s' "$record" >> "$log"
if [ -e "$here/block-$verb" ]; then
    trap 'printf "ended\t%s\n" "$verb" >> "$log"; exit 143' TERM
    touch "$here/blocked-$verb"
    for _ in $(seq 600); do sleep 0.05; done
fi
if [ -e "$here/answer-$verb" ]; then
    code="$(head -n 1 "$here/answer-$verb")"
    tail -n +2 "$here/answer-$verb" >&2
    exit "$code"
fi
exit 0
)script";

const QString gateway = QStringLiteral("203.0.113.7");

QStringList command(std::initializer_list<const char*> words)
{
    QStringList list;
    for (const char* word : words)
        list << QString::fromLatin1(word);
    return list;
}

QStringList addCommand(const QString& vpnType, const QString& neverDefault, const QString& data)
{
    return command({ "connection", "add", "type", "vpn", "con-name", "Velnor", "ifname", "*", "vpn-type" })
        << vpnType << QStringLiteral("connection.autoconnect") << QStringLiteral("no")
        << QStringLiteral("ipv4.never-default") << neverDefault << QStringLiteral("vpn.data") << data;
}

const QStringList deleteCommand = command({ "connection", "delete", "id", "Velnor" });
const QStringList downCommand = command({ "connection", "down", "id", "Velnor" });

QStringList modifyCommand(const QString& user)
{
    return command({ "connection", "modify", "id", "Velnor", "vpn.user-name" }) << user;
}

DWORD setEntry(DWORD strategy, const QString& address = gateway,
    DWORD options = RASEO_RemoteDefaultGateway | RASEO_SecureLocalFiles, DWORD options2 = 0,
    DWORD encryption = ET_Optional)
{
    RASENTRYW entry;
    std::memset(&entry, 0, sizeof entry);
    entry.dwSize = platform::ras::kEntryInfoSize;
    entry.dwfOptions = options;
    entry.dwfOptions2 = options2;
    entry.dwEncryptionType = encryption;
    entry.dwVpnStrategy = strategy;
    platform::ras::copyToField(entry.szLocalPhoneNumber, address);
    return RasSetEntryPropertiesW(nullptr, L"Velnor", &entry, platform::ras::kEntryInfoSize, nullptr, 0);
}

DWORD setKey(const QString& key)
{
    RASCREDENTIALSW credentials;
    std::memset(&credentials, 0, sizeof credentials);
    credentials.dwSize = platform::ras::kCredentialsSize;
    credentials.dwMask = RASCM_PreSharedKey;
    platform::ras::copyToField(credentials.szPassword, key);
    return RasSetCredentialsW(nullptr, L"Velnor", &credentials, FALSE);
}

RASDIALPARAMSW dialParameters(const QString& user, const QString& password)
{
    RASDIALPARAMSW parameters;
    std::memset(&parameters, 0, sizeof parameters);
    parameters.dwSize = platform::ras::kDialParamsSize;
    platform::ras::copyToField(parameters.szEntryName, QStringLiteral("Velnor"));
    platform::ras::copyToField(parameters.szUserName, user);
    platform::ras::copyToField(parameters.szPassword, password);
    return parameters;
}

DWORD dial(const QString& user, const QString& password, HRASCONN* handle)
{
    RASDIALPARAMSW parameters = dialParameters(user, password);
    return RasDialW(nullptr, nullptr, &parameters, 0, nullptr, handle);
}

} // namespace

void NetworkManagerTest::init()
{
    folder = std::make_unique<QTemporaryDir>();
    QVERIFY(folder->isValid());
    QFile script(path(QStringLiteral("nmcli")));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(fakeNmcli);
    script.close();
    QVERIFY(script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    QVERIFY(QDir(folder->path()).mkdir(QStringLiteral("run")));
    QFile::setPermissions(
        path(QStringLiteral("run")), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    qputenv("VELNOR_NMCLI", script.fileName().toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", path(QStringLiteral("run")).toLocal8Bit());
    backend = std::make_unique<NetworkManagerBackend>();
    platform::ras::setBackend(backend.get());
}

void NetworkManagerTest::cleanup()
{
    platform::ras::setBackend(nullptr);
    backend.reset();
    qunsetenv("VELNOR_NMCLI");
    qunsetenv("XDG_RUNTIME_DIR");
    folder.reset();
}

void NetworkManagerTest::answer(const QString& verb, int exitCode, const QString& errorText)
{
    QFile file(path(QStringLiteral("answer-") + verb));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::number(exitCode) + '\n' + errorText.toUtf8() + '\n');
}

void NetworkManagerTest::block(const QString& verb)
{
    QFile file(path(QStringLiteral("block-") + verb));
    QVERIFY(file.open(QIODevice::WriteOnly));
}

QVector<NetworkManagerTest::Call> NetworkManagerTest::calls() const
{
    QVector<Call> result;
    QFile log(path(QStringLiteral("nmcli.log")));
    if (!log.open(QIODevice::ReadOnly))
        return result;
    for (const QByteArray& line : log.readAll().split('\n')) {
        const QStringList fields = QString::fromUtf8(line).split(QLatin1Char('\t'));
        if (fields.first() == QLatin1String("call")) {
            result.append(Call { fields.mid(1), {}, {}, {}, {}, {} });
        } else if (result.isEmpty()) {
            continue;
        } else if (fields.first() == QLatin1String("stdin")) {
            result.last().input = QByteArray::fromBase64(fields.value(1).toLatin1());
        } else if (fields.first() == QLatin1String("language")) {
            result.last().language = fields.value(1);
        } else if (fields.first() == QLatin1String("file")) {
            result.last().file = fields.value(1);
            result.last().fileMode = fields.value(2);
            result.last().fileContents = QByteArray::fromBase64(fields.value(3).toLatin1());
        }
    }
    return result;
}

QStringList NetworkManagerTest::endings() const
{
    QStringList result;
    QFile log(path(QStringLiteral("nmcli.log")));
    if (log.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : log.readAll().split('\n')) {
            if (line.startsWith("ended\t"))
                result << QString::fromUtf8(line.mid(6));
        }
    }
    return result;
}

void NetworkManagerTest::verifyNoSecretOnCommandLines(const QStringList& secrets) const
{
    for (const Call& call : calls()) {
        const QString line = call.arguments.join(QLatin1Char(' '));
        for (const QString& secret : secrets)
            QVERIFY2(!line.contains(secret), qPrintable(line));
        QVERIFY(call.input.isEmpty());
    }
}

void NetworkManagerTest::defaultBackendReportsNt()
{
    platform::ras::setBackend(nullptr);
    QVERIFY(dynamic_cast<NetworkManagerBackend*>(platform::ras::backend()));

    for (DWORD size : { platform::ras::kVersionInfoExSize, platform::ras::kVersionInfoSize }) {
        OSVERSIONINFOEXW version;
        std::memset(&version, 0, sizeof version);
        version.dwOSVersionInfoSize = size;
        QVERIFY(GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&version)));
        QCOMPARE(version.dwPlatformId, VER_PLATFORM_WIN32_NT);
        // Recent enough for the current entry layout.
        QVERIFY(version.dwMajorVersion > 5);
    }
    OSVERSIONINFOW unknown;
    std::memset(&unknown, 0, sizeof unknown);
    unknown.dwOSVersionInfoSize = 100;
    QVERIFY(!GetVersionExW(&unknown));
}

void NetworkManagerTest::profileCommands_data()
{
    QTest::addColumn<int>("strategy");
    QTest::addColumn<int>("options");
    QTest::addColumn<int>("options2");
    QTest::addColumn<int>("encryption");
    QTest::addColumn<QString>("vpnType");
    QTest::addColumn<QString>("neverDefault");
    QTest::addColumn<QString>("data");

    const int dialerOptions = 0x05010010;
    const QString plain = QStringLiteral("gateway=203.0.113.7, password-flags=2");
    QTest::newRow("PPTP as dialled") << int(VS_PptpOnly) << dialerOptions << 0x44 << int(ET_Optional) << "pptp"
                                     << "no" << plain;
    QTest::newRow("L2TP as dialled") << int(VS_L2tpOnly) << dialerOptions << 0x54 << int(ET_Optional) << "l2tp"
                                     << "no" << plain + QStringLiteral(", ipsec-enabled=yes, ipsec-psk-flags=2");
    QTest::newRow("L2TP without a key") << int(VS_L2tpFirst) << dialerOptions << 0x44 << int(ET_Optional) << "l2tp"
                                        << "no" << plain;
    QTest::newRow("default strategy") << int(VS_Default) << 0 << 0 << int(ET_None) << "pptp"
                                      << "yes" << plain;
    QTest::newRow("strict") << int(VS_PptpOnly) << int(RASEO_RequireMsEncryptedPw | RASEO_RequireDataEncryption) << 0
                            << int(ET_RequireMax) << "pptp"
                            << "yes"
                            << plain
            + QStringLiteral(
                ", refuse-eap=yes, refuse-chap=yes, refuse-pap=yes, require-mppe=yes, require-mppe-128=yes");
    QTest::newRow("encrypted password") << int(VS_PptpOnly) << int(RASEO_RequireEncryptedPw) << 0 << int(ET_Require)
                                        << "pptp"
                                        << "yes" << plain + QStringLiteral(", refuse-pap=yes, require-mppe=yes");
}

void NetworkManagerTest::profileCommands()
{
    QFETCH(int, strategy);
    QFETCH(int, options);
    QFETCH(int, options2);
    QFETCH(int, encryption);
    QFETCH(QString, vpnType);
    QFETCH(QString, neverDefault);
    QFETCH(QString, data);

    QCOMPARE(setEntry(strategy, gateway, options, options2, encryption), DWORD(0));

    const auto made = calls();
    QCOMPARE(made.size(), 2);
    QCOMPARE(made[0].arguments, deleteCommand);
    QCOMPARE(made[1].arguments, addCommand(vpnType, neverDefault, data));
    // Untranslated, so the error texts can be recognised.
    QCOMPARE(made[1].language, QStringLiteral("C"));
}

void NetworkManagerTest::keyRewritesProfile()
{
    // No entry yet: nothing to store the key on.
    QCOMPARE(setKey(QStringLiteral("k3y")), ERROR_CANNOT_FIND_PHONEBOOK_ENTRY);
    QVERIFY(calls().isEmpty());

    QCOMPARE(setEntry(VS_L2tpOnly, gateway, RASEO_RemoteDefaultGateway, RASEO2_UsePreSharedKey), DWORD(0));
    QCOMPARE(setKey(QStringLiteral("k3y-0f-the-server")), DWORD(0));

    const auto made = calls();
    QCOMPARE(made.size(), 4);
    QCOMPARE(made[2].arguments, deleteCommand);
    QCOMPARE(made[3].arguments, made[1].arguments);
    verifyNoSecretOnCommandLines({ QStringLiteral("k3y-0f-the-server") });
}

void NetworkManagerTest::dialPassesSecretsPrivately_data()
{
    QTest::addColumn<bool>("l2tp");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QByteArray>("contents");

    QTest::newRow("PPTP") << false << "pa55word"
                          << "unused-k3y" << QByteArray("vpn.secrets.password:pa55word\n");
    QTest::newRow("L2TP") << true << "pa55word"
                          << "k3y-0f-the-server"
                          << QByteArray("vpn.secrets.password:pa55word\nvpn.secrets.ipsec-psk:k3y-0f-the-server\n");
    QTest::newRow("L2TP with an empty key")
        << true << "pa55word"
        << "" << QByteArray("vpn.secrets.password:pa55word\nvpn.secrets.ipsec-psk:\n");
    QTest::newRow("awkward characters") << true << " pa55\\word\n"
                                        << "k3y, gateway=evil "
                                        << QByteArray("vpn.secrets.password:\\040pa55\\\\word\\012\n"
                                                      "vpn.secrets.ipsec-psk:k3y, gateway=evil\\040\n");
}

void NetworkManagerTest::dialPassesSecretsPrivately()
{
    QFETCH(bool, l2tp);
    QFETCH(QString, password);
    QFETCH(QString, key);
    QFETCH(QByteArray, contents);

    QCOMPARE(setEntry(l2tp ? VS_L2tpOnly : VS_PptpOnly, gateway, RASEO_RemoteDefaultGateway,
                 l2tp ? RASEO2_UsePreSharedKey : 0),
        DWORD(0));
    QCOMPARE(setKey(key), DWORD(0));
    HRASCONN handle = nullptr;
    QCOMPARE(dial(QStringLiteral("alice"), password, &handle), DWORD(0));
    QVERIFY(handle != nullptr);

    auto made = calls();
    QCOMPARE(made.size(), 6);
    QCOMPARE(made[4].arguments, modifyCommand(QStringLiteral("alice")));
    const Call& up = made[5];
    QCOMPARE(up.arguments, command({ "--wait", "60", "connection", "up", "id", "Velnor", "passwd-file" }) << up.file);
    QCOMPARE(up.fileContents, contents);
    QCOMPARE(up.fileMode, QStringLiteral("600"));
    QCOMPARE(QFileInfo(up.file).absolutePath(), QFileInfo(path(QStringLiteral("run"))).absoluteFilePath());
    QVERIFY2(!QFile::exists(up.file), qPrintable(up.file));
    QStringList secrets { QStringLiteral("pa55") };
    if (!key.isEmpty())
        secrets << key.trimmed();
    verifyNoSecretOnCommandLines(secrets);

    // The tunnel is up until hung up, once.
    QCOMPARE(RasHangUpW(handle), DWORD(0));
    made = calls();
    QCOMPARE(made.size(), 7);
    QCOMPARE(made.last().arguments, downCommand);
    QCOMPARE(RasHangUpW(handle), ERROR_INVALID_HANDLE);
    QCOMPARE(calls().size(), 7);
}

void NetworkManagerTest::dialFailures_data()
{
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("errorText");
    QTest::addColumn<int>("code");

    QTest::newRow("login refused") << 4 << "Error: Connection activation failed: Login failed." << 691;
    QTest::newRow("secrets missing") << 4
                                     << "Error: Connection activation failed: Secrets were required, but not provided."
                                     << 691;
    QTest::newRow("nmcli waited in vain") << 3 << "Error: Timeout expired (60 seconds)" << 718;
    QTest::newRow("activation timed out")
        << 4 << "Error: Connection activation failed: The connection attempt timed out." << 718;
    QTest::newRow("NetworkManager not running") << 8 << "Error: NetworkManager is not running." << 711;
    QTest::newRow("no profile") << 10 << "Error: unknown connection 'Velnor'." << 623;
    QTest::newRow("plugin missing") << 4
                                    << "Error: Connection activation failed: The VPN service "
                                       "'org.freedesktop.NetworkManager.pptp' was not installed."
                                    << 609;
    QTest::newRow("other activation failure")
        << 4 << "Error: Connection activation failed: The base network connection was interrupted." << 800;
    QTest::newRow("unknown") << 1 << "Error: something unexpected." << 635;
}

void NetworkManagerTest::dialFailures()
{
    QFETCH(int, exitCode);
    QFETCH(QString, errorText);
    QFETCH(int, code);

    answer(QStringLiteral("up"), exitCode, errorText);
    QCOMPARE(setEntry(VS_PptpOnly), DWORD(0));
    HRASCONN handle = nullptr;
    QCOMPARE(dial(QStringLiteral("alice"), QStringLiteral("pa55word"), &handle), DWORD(code));

    // A failed dial leaves no connection to end, and nothing left behind.
    const int before = calls().size();
    QCOMPARE(RasHangUpW(handle), ERROR_INVALID_HANDLE);
    QCOMPARE(calls().size(), before);
    QVERIFY(QDir(path(QStringLiteral("run"))).isEmpty());
}

void NetworkManagerTest::profileFailureReportedByDial_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("addExit");
    QTest::addColumn<QString>("addError");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("commands");

    QTest::newRow("NetworkManager not running") << gateway << 8 << "Error: NetworkManager is not running." << 711 << 4;
    QTest::newRow("profile refused") << gateway << 2 << "Error: invalid property 'vpn.data'." << 624 << 4;
    QTest::newRow("plugin missing") << gateway << 2 << "Error: VPN plugin 'pptp' is not installed." << 609 << 4;
    // Commas would add items of our choosing to the profile's data.
    QTest::newRow("address with a comma") << "203.0.113.7, refuse-pap=no" << 0 << "" << 625 << 0;
    QTest::newRow("empty address") << "" << 0 << "" << 625 << 0;
}

void NetworkManagerTest::profileFailureReportedByDial()
{
    QFETCH(QString, address);
    QFETCH(int, addExit);
    QFETCH(QString, addError);
    QFETCH(int, code);
    QFETCH(int, commands);

    answer(QStringLiteral("add"), addExit, addError);
    QCOMPARE(setEntry(VS_PptpOnly, address), DWORD(0));
    HRASCONN handle = nullptr;
    QCOMPARE(dial(QStringLiteral("alice"), QStringLiteral("pa55word"), &handle), DWORD(code));

    // The dial tried the profile once more and went no further.
    const auto made = calls();
    QCOMPARE(made.size(), commands);
    for (const Call& call : made)
        QVERIFY(!call.arguments.contains(QStringLiteral("up")));
}

void NetworkManagerTest::hangUpEndsBlockedDial()
{
    block(QStringLiteral("up"));
    QCOMPARE(setEntry(VS_PptpOnly), DWORD(0));

    HRASCONN handle = nullptr;
    DWORD result = 0;
    std::unique_ptr<QThread> dialler(QThread::create(
        [&handle, &result] { result = dial(QStringLiteral("alice"), QStringLiteral("pa55word"), &handle); }));
    dialler->start();
    QTRY_VERIFY(QFile::exists(path(QStringLiteral("blocked-up"))));

    const HRASCONN published = platform::ras::loadHandle(&handle);
    QVERIFY(published != nullptr);
    QCOMPARE(RasHangUpW(published), DWORD(0));
    QVERIFY(dialler->wait(10000));

    QCOMPARE(result, ERROR_USER_DISCONNECTION);
    QCOMPARE(endings(), QStringList { QStringLiteral("up") });
    const auto made = calls();
    QCOMPARE(made.last().arguments, downCommand);
    QVERIFY(!QFile::exists(made[3].file));
}

void NetworkManagerTest::ownTimeLimitStopsActivation()
{
    backend->setTimeLimits(1, 1000);
    block(QStringLiteral("up"));
    QCOMPARE(setEntry(VS_PptpOnly), DWORD(0));

    HRASCONN handle = nullptr;
    QCOMPARE(dial(QStringLiteral("alice"), QStringLiteral("pa55word"), &handle), DWORD(718));

    const auto made = calls();
    QCOMPARE(made[3].arguments.mid(0, 2), command({ "--wait", "1" }));
    QCOMPARE(endings(), QStringList { QStringLiteral("up") });
    // NetworkManager may still be activating: it is told to stop.
    QCOMPARE(made.last().arguments, downCommand);
}

void NetworkManagerTest::failureCodes_data()
{
    using platform::networkmanager::Outcome;
    using platform::networkmanager::Step;
    QTest::addColumn<int>("step");
    QTest::addColumn<bool>("started");
    QTest::addColumn<bool>("timedOut");
    QTest::addColumn<bool>("cancelled");
    QTest::addColumn<bool>("crashed");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("errorText");
    QTest::addColumn<int>("code");

    const int write = int(Step::WriteProfile);
    const int dial = int(Step::Dial);
    const int hangUp = int(Step::HangUp);
    QTest::newRow("nmcli missing") << write << false << false << false << false << 0 << "" << 633;
    QTest::newRow("our bound ran out") << dial << true << true << false << false << 0 << "" << 718;
    QTest::newRow("hung up") << dial << true << false << true << false << 0 << "" << 631;
    QTest::newRow("crashed") << write << true << false << false << true << 0 << "" << 635;
    QTest::newRow("write refused") << write << true << false << false << false << 2 << "Error: invalid value" << 624;
    QTest::newRow("write without NetworkManager")
        << write << true << false << false << false << 1 << "Error: Could not create NMClient object." << 711;
    QTest::newRow("modify of no profile") << write << true << false << false << false << 10 << "" << 623;
    QTest::newRow("nothing to take down")
        << hangUp << true << false << false << false << 10 << "Error: 'Velnor' is not an active connection." << 0;
    QTest::newRow("taking down failed") << hangUp << true << false << false << false << 6 << "Error: failed" << 635;
    QTest::newRow("hang-up without NetworkManager") << hangUp << true << false << false << false << 8 << "" << 711;
}

void NetworkManagerTest::failureCodes()
{
    QFETCH(int, step);
    QFETCH(bool, started);
    QFETCH(bool, timedOut);
    QFETCH(bool, cancelled);
    QFETCH(bool, crashed);
    QFETCH(int, exitCode);
    QFETCH(QString, errorText);
    QFETCH(int, code);

    platform::networkmanager::Outcome outcome;
    outcome.started = started;
    outcome.timedOut = timedOut;
    outcome.cancelled = cancelled;
    outcome.crashed = crashed;
    outcome.exitCode = exitCode;
    outcome.errorText = errorText;
    QCOMPARE(
        platform::networkmanager::errorCode(static_cast<platform::networkmanager::Step>(step), outcome), DWORD(code));
}

void NetworkManagerTest::escapeSecret_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("escaped");

    QTest::newRow("plain") << "s3cret"
                           << "s3cret";
    QTest::newRow("inner space and separators") << "a b:c=d,e"
                                                << "a b:c=d,e";
    QTest::newRow("backslash") << "a\\b"
                               << "a\\\\b";
    QTest::newRow("spaces at the ends") << "  ab  "
                                        << "\\040 ab \\040";
    QTest::newRow("single space") << " "
                                  << "\\040";
    QTest::newRow("line breaks and tab") << "a\nb\r\tc"
                                         << "a\\012b\\015\\011c";
    QTest::newRow("non-ASCII") << QStringLiteral("p\u00e4ss\u20ac") << QStringLiteral("p\u00e4ss\u20ac");
    QTest::newRow("empty") << ""
                           << "";
}

void NetworkManagerTest::escapeSecret()
{
    QFETCH(QString, value);
    QFETCH(QString, escaped);
    QCOMPARE(platform::networkmanager::escapeSecret(value), escaped);
}

void NetworkManagerTest::workerDialsThroughNetworkManager_data()
{
    QTest::addColumn<bool>("nmcliPresent");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("errorCode");

    QTest::newRow("connects") << true << "connected"
                              << "0";
    // A machine without NetworkManager's tool gets an error it can read,
    // not a silent time-out.
    QTest::newRow("nmcli missing") << false << "error"
                                   << "633";
}

void NetworkManagerTest::workerDialsThroughNetworkManager()
{
    QFETCH(bool, nmcliPresent);
    QFETCH(QString, status);
    QFETCH(QString, errorCode);

    if (!nmcliPresent)
        qputenv("VELNOR_NMCLI", path(QStringLiteral("no-such-nmcli")).toLocal8Bit());
    PPPWorker worker;
    worker.setDialInputs({ QStringLiteral("L2TP"), QStringLiteral("k3y-0f-the-server"), gateway,
        QStringLiteral("alice"), QStringLiteral("pa55word"), QStringLiteral("Frankfurt") });
    worker.VPNStart();

    QCOMPARE(worker.statusText(), status);
    QCOMPARE(worker.errorCodeText(), errorCode);
    if (!nmcliPresent)
        return;
    const auto made = calls();
    QCOMPARE(made.size(), 6);
    QCOMPARE(made[1].arguments,
        addCommand(QStringLiteral("l2tp"), QStringLiteral("no"),
            QStringLiteral("gateway=203.0.113.7, password-flags=2, ipsec-enabled=yes, ipsec-psk-flags=2")));
    QCOMPARE(
        made[5].fileContents, QByteArray("vpn.secrets.password:pa55word\nvpn.secrets.ipsec-psk:k3y-0f-the-server\n"));
    verifyNoSecretOnCommandLines({ QStringLiteral("pa55word"), QStringLiteral("k3y-0f-the-server") });
    QCOMPARE(RasHangUpW(worker.connectionHandle()), DWORD(0));
}

QTEST_GUILESS_MAIN(NetworkManagerTest)
#include "tst_networkmanager.moc"
