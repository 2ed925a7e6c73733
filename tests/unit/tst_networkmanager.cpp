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
    void nmcliMessages_data();
    void nmcliMessages();
    void badInputRefused_data();
    void badInputRefused();
    void hangUpEndsBlockedDial();
    void hangUpBeforeActivationTakesItDown();
    void ownTimeLimitStopsActivation();
    void privateFolderWithoutRuntimeDir_data();
    void privateFolderWithoutRuntimeDir();
    void failureCodes_data();
    void failureCodes();
    void escapeSecret_data();
    void escapeSecret();
    void escapeEditorSecret_data();
    void escapeEditorSecret();
    void workerDialsThroughNetworkManager_data();
    void workerDialsThroughNetworkManager();

private:
    struct Call {
        QStringList arguments;
        QByteArray input;
        QString language;
        QString home;
        QString file;
        QString fileMode;
        QByteArray fileContents;
    };

    std::unique_ptr<QTemporaryDir> folder;
    std::unique_ptr<NetworkManagerBackend> backend;

    QString path(const QString& name) const { return folder->filePath(name); }
    void answer(
        const QString& verb, int exitCode, const QString& errorText = QString(), const QString& outputText = QString());
    void block(const QString& verb);
    QVector<Call> calls() const;
    QStringList endings() const;
    QStringList sequence() const;
    void verifyNoSecretOnCommandLines(const QStringList& secrets) const;
};

namespace {

const char fakeNmcli[] = R"script(#!/bin/bash
# Stands in for nmcli: logs every call and answers as the real one does
# (profile commands succeed, an activation succeeds, "down" of what is not
# active exits 10, "down" during an activation ends the pending "up" with
# exit 4), or as the test scripted in answer-VERB (exit code, then standard
# error) and answer-VERB.out (standard output).
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
record+=$'\n'"stdin"$'\t'"$(base64 -w0)"$'\n'"language"$'\t'"${LC_ALL:-}"$'\n'"home"$'\t'"${HOME:-}"$'\n'
if [ -n "$file" ]; then
    record+="file"$'\t'"$file"$'\t'"$(stat -c %a "$file")"$'\t'"$(base64 -w0 < "$file")"$'\n'
fi
printf '%s' "$record" >> "$log"
if [ -e "$here/answer-$verb" ]; then
    if [ "$verb" = down ]; then touch "$here/downed"; fi
    [ -e "$here/answer-$verb.out" ] && cat "$here/answer-$verb.out"
    tail -n +2 "$here/answer-$verb" >&2
    exit "$(head -n 1 "$here/answer-$verb")"
fi
case "$verb" in
up)
    if [ -e "$here/block-up" ]; then
        rm -f "$here/downed"
        trap 'printf "ended\tup\n" >> "$log"; rm -f "$here/activating"; exit 143' TERM
        touch "$here/activating" "$here/blocked-up"
        for _ in $(seq 600); do
            if [ -e "$here/downed" ]; then
                rm -f "$here/activating"
                echo "Error: Connection activation failed: Disconnected by user" >&2
                exit 4
            fi
            sleep 0.05
        done
    fi
    touch "$here/active"
    ;;
down)
    if [ -e "$here/active" ] || [ -e "$here/activating" ]; then
        rm -f "$here/active"
        touch "$here/downed"
        echo "Connection 'Velnor' successfully deactivated (D-Bus active path: /org/freedesktop/NetworkManager/ActiveConnection/2)"
        exit 0
    fi
    printf "Error: 'Velnor' is not an active connection.\nError: no active connection provided.\n" >&2
    exit 10
    ;;
esac
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

const QStringList editCommand = command({ "connection", "edit", "id", "Velnor" });

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

void NetworkManagerTest::answer(const QString& verb, int exitCode, const QString& errorText, const QString& outputText)
{
    QFile file(path(QStringLiteral("answer-") + verb));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::number(exitCode) + '\n' + errorText.toUtf8() + '\n');
    if (!outputText.isEmpty()) {
        QFile output(file.fileName() + QStringLiteral(".out"));
        QVERIFY(output.open(QIODevice::WriteOnly));
        output.write(outputText.toUtf8() + '\n');
    }
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
            result.append(Call { fields.mid(1), {}, {}, {}, {}, {}, {} });
        } else if (result.isEmpty()) {
            continue;
        } else if (fields.first() == QLatin1String("stdin")) {
            result.last().input = QByteArray::fromBase64(fields.value(1).toLatin1());
        } else if (fields.first() == QLatin1String("language")) {
            result.last().language = fields.value(1);
        } else if (fields.first() == QLatin1String("home")) {
            result.last().home = fields.value(1);
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

// The verbs called and the runs stopped ("ended up"), in order.
QStringList NetworkManagerTest::sequence() const
{
    QStringList result;
    QFile log(path(QStringLiteral("nmcli.log")));
    if (log.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : log.readAll().split('\n')) {
            const QStringList fields = QString::fromUtf8(line).split(QLatin1Char('\t'));
            if (fields.first() == QLatin1String("ended"))
                result << QStringLiteral("ended ") + fields.value(1);
            else if (fields.first() == QLatin1String("call"))
                result << fields.value(fields.indexOf(QStringLiteral("connection")) + 1);
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
                                     << "no" << plain + QStringLiteral(", require-mppe=yes");
    QTest::newRow("L2TP as dialled") << int(VS_L2tpOnly) << dialerOptions << 0x54 << int(ET_Optional) << "l2tp"
                                     << "no" << plain + QStringLiteral(", ipsec-enabled=yes, ipsec-psk-flags=0");
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
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QByteArray>("editorInput");
    QTest::addColumn<QByteArray>("passwords");

    QTest::newRow("PPTP") << false << "alice"
                          << "pa55word"
                          << "unused-k3y" << QByteArray("set vpn.user-name alice\nsave\nquit\nyes\n")
                          << QByteArray("vpn.secrets.password:pa55word\n");
    QTest::newRow("L2TP") << true << "alice"
                          << "pa55word"
                          << "k3y-0f-the-server"
                          << QByteArray("set vpn.user-name alice\nset vpn.secrets ipsec-psk = k3y-0f-the-server\n"
                                        "save\nquit\nyes\n")
                          << QByteArray("vpn.secrets.password:pa55word\n");
    QTest::newRow("awkward characters")
        << true << "al ice\\x,y"
        << " pa55\\word\n"
        << "k3y, gateway=evil "
        << QByteArray("set vpn.user-name al ice\\x,y\n"
                      "set vpn.secrets ipsec-psk = k3y\\,\\ gateway\\=evil\\ ,\nsave\nquit\nyes\n")
        << QByteArray("vpn.secrets.password:\\040pa55\\\\word\\012\n");
}

void NetworkManagerTest::dialPassesSecretsPrivately()
{
    QFETCH(bool, l2tp);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, key);
    QFETCH(QByteArray, editorInput);
    QFETCH(QByteArray, passwords);

    QCOMPARE(setEntry(l2tp ? VS_L2tpOnly : VS_PptpOnly, gateway, RASEO_RemoteDefaultGateway,
                 l2tp ? RASEO2_UsePreSharedKey : 0),
        DWORD(0));
    QCOMPARE(setKey(key), DWORD(0));
    HRASCONN handle = nullptr;
    QCOMPARE(dial(user, password, &handle), DWORD(0));
    QVERIFY(handle != nullptr);

    auto made = calls();
    QCOMPARE(made.size(), 6);
    // The user name and key go to the editor on standard input.
    QCOMPARE(made[4].arguments, editCommand);
    QCOMPARE(made[4].input, editorInput);
    // Where the editor would keep its history, nothing can be created.
    QCOMPARE(made[4].home, QStringLiteral("/dev/null"));
    const Call& up = made[5];
    QCOMPARE(up.arguments, command({ "--wait", "60", "connection", "up", "id", "Velnor", "passwd-file" }) << up.file);
    QCOMPARE(up.fileContents, passwords);
    QCOMPARE(up.fileMode, QStringLiteral("600"));
    QCOMPARE(QFileInfo(up.file).absolutePath(), QFileInfo(path(QStringLiteral("run"))).absoluteFilePath());
    QVERIFY2(!QFile::exists(up.file), qPrintable(up.file));
    verifyNoSecretOnCommandLines({ QStringLiteral("pa55"), key.trimmed(), user });

    // The tunnel is up until hung up, once.
    QCOMPARE(RasHangUpW(handle), DWORD(0));
    made = calls();
    QCOMPARE(made.size(), 7);
    QCOMPARE(made.last().arguments, downCommand);
    QCOMPARE(RasHangUpW(handle), ERROR_INVALID_HANDLE);
    QCOMPARE(calls().size(), 7);
}

// nmcli's own messages, with its exit codes and streams, and what the user
// is told. A dial goes through "delete", "add" and "edit" of the profile and
// "up"; "down" is the hang-up of a dial that succeeded.
void NetworkManagerTest::nmcliMessages_data()
{
    QTest::addColumn<QString>("verb");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("errorText");
    QTest::addColumn<QString>("outputText");
    QTest::addColumn<int>("code");

    const QString failed = QStringLiteral("Error: Connection activation failed: ");
    QTest::newRow("no PPP in the kernel") << "up" << 4 << failed + "Unknown reason"
                                          << "" << 800;
    QTest::newRow("bad gateway or IPsec") << "up" << 4 << failed + "The VPN service failed to start"
                                          << "" << 800;
    QTest::newRow("plug-in stopped") << "up" << 4 << failed + "The VPN service stopped unexpectedly"
                                     << "" << 800;
    QTest::newRow("no valid secrets") << "up" << 4 << failed + "No valid secrets"
                                      << "" << 691;
    QTest::newRow("login refused") << "up" << 4 << failed + "Login failed."
                                   << "" << 691;
    QTest::newRow("--wait ran out") << "up" << 3 << "Error: Timeout expired (60 seconds)"
                                    << "" << 718;
    QTest::newRow("no profile") << "up" << 10 << "Error: unknown connection 'Velnor'."
                                << "" << 623;
    QTest::newRow("NetworkManager stopped") << "up" << 8 << "Error: NetworkManager is not running."
                                            << "" << 711;
    QTest::newRow("no system bus") << "up" << 1
                                   << "Error: Could not create NMClient object: Could not connect: No such file or "
                                      "directory."
                                   << "" << 711;
    QTest::newRow("plug-in removed") << "up" << 4
                                     << failed
            + "The VPN service 'org.freedesktop.NetworkManager.l2tp' was not installed."
                                     << "" << 609;
    QTest::newRow("no right to activate") << "up" << 4 << failed + "Not authorized to control networking."
                                          << "" << 649;
    QTest::newRow("no network") << "up" << 4 << failed + "Could not find source connection."
                                << "" << 1168;
    QTest::newRow("other activation failure") << "up" << 4 << failed + "The base network connection was interrupted."
                                              << "" << 800;
    QTest::newRow("unknown") << "up" << 1 << "Error: something unexpected."
                             << "" << 635;
    QTest::newRow("no right to delete") << "delete" << 7
                                        << "Error: Connection deletion failed: Insufficient privileges\n"
                                           "Error: not all connections deleted."
                                        << "" << 649;
    QTest::newRow("no right to add") << "add" << 4
                                     << "Error: Failed to add 'Velnor' connection: Insufficient privileges"
                                     << "" << 649;
    QTest::newRow("add refused") << "add" << 2 << "Error: invalid property 'vpn.data'."
                                 << "" << 624;
    QTest::newRow("no right to save, exit 0")
        << "edit" << 0 << ""
        << "nmcli> set vpn.user-name alice\nnmcli> save\nError: Failed to save 'Velnor' "
           "(0b4fd1e4-63a6-4c2d-8c0a-4b3b6a1f5f0e) connection: Insufficient privileges\nnmcli> quit"
        << 649;
    QTest::newRow("profile gone before the edit") << "edit" << 10 << "Error: Unknown connection 'Velnor'."
                                                  << "" << 623;
    QTest::newRow("hang-up refused, exit 0")
        << "down" << 0 << ""
        << "Connection 'Velnor' deactivation failed: Not authorized to deactivate connections" << 649;
    QTest::newRow("hang-up of what is not active")
        << "down" << 10 << "Error: 'Velnor' is not an active connection.\nError: no active connection provided."
        << "" << 0;
    QTest::newRow("hang-up without NetworkManager") << "down" << 8 << "Error: NetworkManager is not running."
                                                    << "" << 711;
}

void NetworkManagerTest::nmcliMessages()
{
    QFETCH(QString, verb);
    QFETCH(int, exitCode);
    QFETCH(QString, errorText);
    QFETCH(QString, outputText);
    QFETCH(int, code);

    answer(verb, exitCode, errorText, outputText);
    QCOMPARE(setEntry(VS_L2tpOnly, gateway, RASEO_RemoteDefaultGateway, RASEO2_UsePreSharedKey), DWORD(0));
    QCOMPARE(setKey(QStringLiteral("k3y")), DWORD(0));
    HRASCONN handle = nullptr;
    const DWORD dialled = dial(QStringLiteral("alice"), QStringLiteral("pa55word"), &handle);
    if (verb == QLatin1String("down")) {
        QCOMPARE(dialled, DWORD(0));
        QCOMPARE(RasHangUpW(handle), DWORD(code));
        return;
    }
    QCOMPARE(dialled, DWORD(code));
    // A failed dial leaves no connection to end, and nothing left behind.
    const int before = calls().size();
    QCOMPARE(RasHangUpW(handle), ERROR_INVALID_HANDLE);
    QCOMPARE(calls().size(), before);
    QVERIFY(QDir(path(QStringLiteral("run"))).isEmpty());
    // A profile that could not be written is not dialled.
    if (verb != QLatin1String("up"))
        QVERIFY(!sequence().contains(QStringLiteral("up")));
}

// Input that nmcli or the plug-ins cannot carry as it is is refused before
// it reaches any command.
void NetworkManagerTest::badInputRefused_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("code");

    const QString user = QStringLiteral("alice");
    const QString key = QStringLiteral("k3y");
    QTest::newRow("address taken for an option") << "-oops" << user << key << 625;
    QTest::newRow("address with a port") << "host:1723" << user << key << 625;
    QTest::newRow("address in brackets") << "[203.0.113.7]" << user << key << 625;
    QTest::newRow("IPv6 address") << "2001:db8::1" << user << key << 625;
    QTest::newRow("empty address") << "" << user << key << 625;
    // Commas would add items of our choosing to the profile's data.
    QTest::newRow("address with a comma") << "203.0.113.7, refuse-pap=no" << user << key << 625;
    QTest::newRow("user name with a line break") << gateway << "alice\nset vpn.data gateway=evil" << key << 691;
    QTest::newRow("user name with spaces at its ends") << gateway << " alice" << key << 691;
    QTest::newRow("empty user name") << gateway << "" << key << 691;
    QTest::newRow("key with a line break") << gateway << user << "k3y\nset vpn.data gateway=evil" << 625;
    QTest::newRow("no key") << gateway << user << "" << 627;
}

void NetworkManagerTest::badInputRefused()
{
    QFETCH(QString, address);
    QFETCH(QString, user);
    QFETCH(QString, key);
    QFETCH(int, code);

    QCOMPARE(setEntry(VS_L2tpOnly, address, RASEO_RemoteDefaultGateway, RASEO2_UsePreSharedKey), DWORD(0));
    QCOMPARE(setKey(key), DWORD(0));
    HRASCONN handle = nullptr;
    QCOMPARE(dial(user, QStringLiteral("pa55word"), &handle), DWORD(code));

    const QStringList verbs = sequence();
    QVERIFY2(!verbs.contains(QStringLiteral("edit")) && !verbs.contains(QStringLiteral("up")),
        qPrintable(verbs.join(QLatin1Char(' '))));
    if (code == 625 && key == QLatin1String("k3y"))
        QVERIFY2(verbs.isEmpty(), qPrintable(verbs.join(QLatin1Char(' '))));
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
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path(QStringLiteral("blocked-up"))), 20000);

    const HRASCONN published = platform::ras::loadHandle(&handle);
    QVERIFY(published != nullptr);
    QCOMPARE(RasHangUpW(published), DWORD(0));
    QVERIFY(dialler->wait(10000));

    QCOMPARE(result, ERROR_USER_DISCONNECTION);
    const auto made = calls();
    QCOMPARE(made.last().arguments, downCommand);
    QVERIFY(!QFile::exists(made[3].file));
    QVERIFY(!QFile::exists(path(QStringLiteral("activating"))));
}

// The hang-up's "down" came before NetworkManager began activating, so it
// found nothing to take down: the dial takes down what "up" started.
void NetworkManagerTest::hangUpBeforeActivationTakesItDown()
{
    block(QStringLiteral("up"));
    answer(QStringLiteral("down"), 10, QStringLiteral("Error: 'Velnor' is not an active connection."));
    QCOMPARE(setEntry(VS_PptpOnly), DWORD(0));

    HRASCONN handle = nullptr;
    DWORD result = 0;
    std::unique_ptr<QThread> dialler(QThread::create(
        [&handle, &result] { result = dial(QStringLiteral("alice"), QStringLiteral("pa55word"), &handle); }));
    dialler->start();
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path(QStringLiteral("blocked-up"))), 20000);
    QCOMPARE(RasHangUpW(platform::ras::loadHandle(&handle)), DWORD(0));
    QVERIFY(dialler->wait(10000));

    QCOMPARE(result, ERROR_USER_DISCONNECTION);
    const QStringList verbs = sequence();
    QCOMPARE(verbs.count(QStringLiteral("down")), 2);
    QVERIFY2(verbs.lastIndexOf(QStringLiteral("down")) > verbs.indexOf(QStringLiteral("ended up")),
        qPrintable(verbs.join(QLatin1Char(' '))));
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

// Without a private runtime folder of ours the passwd-file goes to a private
// folder of the user's, which the next start clears.
void NetworkManagerTest::privateFolderWithoutRuntimeDir_data()
{
    QTest::addColumn<bool>("openRuntimeFolder");
    QTest::newRow("none") << false;
    QTest::newRow("open to others") << true;
}

void NetworkManagerTest::privateFolderWithoutRuntimeDir()
{
    QFETCH(bool, openRuntimeFolder);
    qunsetenv("XDG_RUNTIME_DIR");
    if (openRuntimeFolder) {
        QVERIFY(QFile::setPermissions(path(QStringLiteral("run")),
            QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
                | QFileDevice::ExeOther));
        qputenv("XDG_RUNTIME_DIR", path(QStringLiteral("run")).toLocal8Bit());
    }
    qputenv("XDG_CACHE_HOME", path(QStringLiteral("cache")).toLocal8Bit());
    const QString folder = platform::networkmanager::secretsFolder();
    QVERIFY(folder.startsWith(path(QStringLiteral("cache"))));
    QVERIFY(QDir().mkpath(folder));
    QFile leftover(folder + QStringLiteral("/velnor-nmcli-AbC123"));
    QVERIFY(leftover.open(QIODevice::WriteOnly));
    leftover.close();

    platform::ras::setBackend(nullptr);
    backend = std::make_unique<NetworkManagerBackend>();
    platform::ras::setBackend(backend.get());
    QVERIFY(!leftover.exists());

    QCOMPARE(setEntry(VS_PptpOnly), DWORD(0));
    HRASCONN handle = nullptr;
    QCOMPARE(dial(QStringLiteral("alice"), QStringLiteral("pa55word"), &handle), DWORD(0));
    const Call up = calls().last();
    QCOMPARE(QFileInfo(up.file).absolutePath(), QFileInfo(folder).absoluteFilePath());
    QCOMPARE(up.fileContents, QByteArray("vpn.secrets.password:pa55word\n"));
    QCOMPARE(QFileInfo(folder).permissions() & 0x0777, QFileDevice::Permissions(0x0700));
    QVERIFY(QDir(folder).isEmpty());
    qunsetenv("XDG_CACHE_HOME");
}

// How a run ended, apart from what nmcli said.
void NetworkManagerTest::failureCodes_data()
{
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
    QTest::newRow("a warning is no failure")
        << write << true << false << false << false << 0 << "Warning: /dev/null/.nmcli-history parse error" << 0;
    QTest::newRow("taking down failed") << hangUp << true << false << false << false << 6 << "Error: failed" << 635;
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

void NetworkManagerTest::escapeEditorSecret_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("escaped");

    QTest::newRow("plain") << "s3cret"
                           << "s3cret";
    QTest::newRow("separators") << "a,b=c"
                                << "a\\,b\\=c";
    QTest::newRow("backslash") << "a\\b"
                               << "a\\\\b";
    QTest::newRow("spaces") << " a b "
                            << "\\ a\\ b\\ ,";
    QTest::newRow("non-ASCII") << QStringLiteral("p\u00e4ss\u20ac") << QStringLiteral("p\u00e4ss\u20ac");
}

void NetworkManagerTest::escapeEditorSecret()
{
    QFETCH(QString, value);
    QFETCH(QString, escaped);
    QCOMPARE(platform::networkmanager::escapeEditorSecret(value), escaped);
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
            QStringLiteral("gateway=203.0.113.7, password-flags=2, ipsec-enabled=yes, ipsec-psk-flags=0")));
    QVERIFY(made[4].input.contains("set vpn.secrets ipsec-psk = k3y-0f-the-server\n"));
    QCOMPARE(made[5].fileContents, QByteArray("vpn.secrets.password:pa55word\n"));
    verifyNoSecretOnCommandLines(
        { QStringLiteral("pa55word"), QStringLiteral("k3y-0f-the-server"), QStringLiteral("alice") });
    QCOMPARE(RasHangUpW(worker.connectionHandle()), DWORD(0));
}

QTEST_GUILESS_MAIN(NetworkManagerTest)
#include "tst_networkmanager.moc"
