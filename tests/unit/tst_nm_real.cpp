#include "connection/errortexts.h"
#include "platform/linux/networkmanager.h"
#include "platform/rasfields.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

// The NetworkManager backend against a real NetworkManager with its PPTP and
// L2TP plug-ins, run by tests/support/nm-sandbox.sh in namespaces of its
// own. The kernel here has no PPP, so no dial can finish: what can be seen
// is the profile, how far a dial gets, and what each failure becomes.
class NetworkManagerRealTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void dialKeepsSecretsOffCommandLines_data();
    void dialKeepsSecretsOffCommandLines();
    void realFailures_data();
    void realFailures();
    void hangUpLeavesNothingActive_data();
    void hangUpLeavesNothingActive();
    void hangUpWithoutRights();

private:
    std::unique_ptr<QTemporaryDir> folder;
    std::unique_ptr<NetworkManagerBackend> backend;
};

namespace {

const QString gateway = QStringLiteral("198.51.100.2");
const QString user = QStringLiteral("alice-7Hq2");
const QString password = QStringLiteral("pa55-Zr8v");
// Everything the editor treats specially.
const QString key = QStringLiteral(" k3y-Wd4m, gateway=evil\\x ");

// The real nmcli, as root: what it printed on standard output.
QString nmcli(const QStringList& arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    environment.remove(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral("nmcli"), arguments);
    process.waitForFinished(20000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// The profile's settings as "nmcli -f all connection show" gives them.
QMap<QString, QString> profile()
{
    QMap<QString, QString> fields;
    const QString text = nmcli({ QStringLiteral("-t"), QStringLiteral("-f"), QStringLiteral("all"),
        QStringLiteral("connection"), QStringLiteral("show"), QStringLiteral("Velnor") });
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const int colon = line.indexOf(QLatin1Char(':'));
        if (colon > 0)
            fields.insert(line.left(colon), line.mid(colon + 1).replace(QStringLiteral("\\:"), QStringLiteral(":")));
    }
    return fields;
}

// "activating", "activated", or empty when the profile is not active.
QString activeState()
{
    return nmcli({ QStringLiteral("-g"), QStringLiteral("GENERAL.STATE"), QStringLiteral("connection"),
        QStringLiteral("show"), QStringLiteral("Velnor") });
}

// The key as NetworkManager stored it, and the stored file's mode.
QString storedKey(QString* mode)
{
    const QString path = QStringLiteral("/etc/NetworkManager/system-connections/Velnor.nmconnection");
    *mode = QString::number(QFileInfo(path).permissions() & 0x0777, 16);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("<no profile file>");
    const QString prefix = QStringLiteral("ipsec-psk=");
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        if (!line.startsWith(prefix))
            continue;
        // Key-file escapes.
        QString value;
        const QString raw = line.mid(prefix.size());
        for (int i = 0; i < raw.size(); ++i) {
            if (raw[i] == QLatin1Char('\\') && i + 1 < raw.size()) {
                const QChar next = raw[++i];
                value += next == QLatin1Char('s') ? QChar(' ') : next;
            } else {
                value += raw[i];
            }
        }
        return value;
    }
    return QString();
}

bool isNmcli(const QByteArray& commandLine)
{
    const QByteArray program = commandLine.left(commandLine.indexOf(' '));
    return program == "nmcli" || program.endsWith("/nmcli");
}

// Whether the L2TP plug-in or its IPsec helpers are still running. One still
// stopping would stop the next dial's. The plug-in counts too: it starts
// IPsec again after a short gap in which no helper runs.
bool l2tpStillRunning()
{
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& pid : entries) {
        QFile file(QStringLiteral("/proc/") + pid + QStringLiteral("/cmdline"));
        if (!pid.front().isDigit() || !file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = file.readAll().replace('\0', ' ');
        if (line.contains("/ipsec ") || line.contains("charon") || line.contains("starter") || line.contains("xl2tpd")
            || line.contains("nm-l2tp-service"))
            return true;
    }
    return false;
}

// Every command line seen in the sandbox while it runs, and whether the
// L2TP plug-in got as far as IPsec.
class ProcessWatch {
public:
    ProcessWatch()
        : thread([this] {
            while (!stopping) {
                look();
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        })
    {
    }
    ~ProcessWatch() { stop(); }
    void stop()
    {
        stopping = true;
        if (thread.joinable())
            thread.join();
    }
    QSet<QByteArray> commandLines() const
    {
        std::lock_guard<std::mutex> guard(lock);
        return seen;
    }
    bool reachedIpsec() const { return ipsec; }

private:
    void look()
    {
        const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString& pid : entries) {
            if (!pid.front().isDigit())
                continue;
            QFile file(QStringLiteral("/proc/") + pid + QStringLiteral("/cmdline"));
            if (!file.open(QIODevice::ReadOnly))
                continue;
            QByteArray line = file.readAll();
            line.replace('\0', ' ');
            if (line.contains("/ipsec ") || line.contains("charon"))
                ipsec = true;
            std::lock_guard<std::mutex> guard(lock);
            seen.insert(line);
        }
    }

    mutable std::mutex lock;
    QSet<QByteArray> seen;
    std::atomic<bool> stopping { false };
    std::atomic<bool> ipsec { false };
    std::thread thread;
};

DWORD setEntry(DWORD strategy)
{
    RASENTRYW entry;
    std::memset(&entry, 0, sizeof entry);
    entry.dwSize = platform::ras::kEntryInfoSize;
    // As the dialer writes it.
    entry.dwfOptions = 0x05010010 | RASEO_RemoteDefaultGateway;
    entry.dwfOptions2 = strategy == VS_L2tpOnly ? 0x54 : 0x44;
    entry.dwEncryptionType = ET_Optional;
    entry.dwVpnStrategy = strategy;
    platform::ras::copyToField(entry.szLocalPhoneNumber, gateway);
    return RasSetEntryPropertiesW(nullptr, L"Velnor", &entry, platform::ras::kEntryInfoSize, nullptr, 0);
}

DWORD setKey()
{
    RASCREDENTIALSW credentials;
    std::memset(&credentials, 0, sizeof credentials);
    credentials.dwSize = platform::ras::kCredentialsSize;
    credentials.dwMask = RASCM_PreSharedKey;
    platform::ras::copyToField(credentials.szPassword, key);
    return RasSetCredentialsW(nullptr, L"Velnor", &credentials, FALSE);
}

DWORD dial(HRASCONN* handle)
{
    RASDIALPARAMSW parameters;
    std::memset(&parameters, 0, sizeof parameters);
    parameters.dwSize = platform::ras::kDialParamsSize;
    platform::ras::copyToField(parameters.szEntryName, QStringLiteral("Velnor"));
    platform::ras::copyToField(parameters.szUserName, user);
    platform::ras::copyToField(parameters.szPassword, password);
    return RasDialW(nullptr, nullptr, &parameters, 0, nullptr, handle);
}

// A dial on a thread of its own, as the dialer runs it.
struct BackgroundDial {
    HRASCONN handle = nullptr;
    std::atomic<DWORD> result { 0xffffffff };
    std::unique_ptr<QThread> thread;

    BackgroundDial()
        : thread(QThread::create([this] { result = dial(&handle); }))
    {
        thread->start();
    }
    ~BackgroundDial() { thread->wait(30000); }
};

} // namespace

void NetworkManagerRealTest::initTestCase()
{
    if (qgetenv("VELNOR_NM_SANDBOX") != "1")
        QSKIP("runs only inside tests/support/nm-sandbox.sh, which ctest starts as root");
    QCOMPARE(nmcli({ QStringLiteral("-g"), QStringLiteral("RUNNING"), QStringLiteral("general") }),
        QStringLiteral("running"));
}

void NetworkManagerRealTest::init()
{
    folder = std::make_unique<QTemporaryDir>();
    QVERIFY(folder->isValid());
    QVERIFY(QDir(folder->path()).mkdir(QStringLiteral("run")));
    QVERIFY(QFile::setPermissions(folder->filePath(QStringLiteral("run")),
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    qputenv("XDG_RUNTIME_DIR", folder->filePath(QStringLiteral("run")).toLocal8Bit());
    // As an ordinary user without the right to control networking.
    QFile unprivileged(folder->filePath(QStringLiteral("nmcli-as-nobody")));
    QVERIFY(unprivileged.open(QIODevice::WriteOnly));
    unprivileged.write("#!/bin/sh\nexec setpriv --reuid=nobody --regid=nogroup --clear-groups nmcli \"$@\"\n");
    unprivileged.close();
    QVERIFY(unprivileged.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    backend = std::make_unique<NetworkManagerBackend>();
    platform::ras::setBackend(backend.get());
}

void NetworkManagerRealTest::cleanup()
{
    platform::ras::setBackend(nullptr);
    backend.reset();
    qunsetenv("VELNOR_NMCLI");
    qunsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    // No secret file left behind, and no editor history holding the key.
    QVERIFY(QDir(folder->filePath(QStringLiteral("run"))).isEmpty());
    QVERIFY(!QFile::exists(QDir::home().filePath(QStringLiteral(".nmcli-history"))));
    folder.reset();
    nmcli({ QStringLiteral("connection"), QStringLiteral("down"), QStringLiteral("Velnor") });
    nmcli({ QStringLiteral("connection"), QStringLiteral("delete"), QStringLiteral("Velnor") });
    QTRY_VERIFY_WITH_TIMEOUT(!l2tpStillRunning(), 30000);
}

void NetworkManagerRealTest::dialKeepsSecretsOffCommandLines_data()
{
    QTest::addColumn<bool>("l2tp");
    QTest::newRow("PPTP") << false;
    QTest::newRow("L2TP") << true;
}

void NetworkManagerRealTest::dialKeepsSecretsOffCommandLines()
{
    QFETCH(bool, l2tp);

    QCOMPARE(setEntry(l2tp ? VS_L2tpOnly : VS_PptpOnly), DWORD(0));
    QCOMPARE(setKey(), DWORD(0));
    ProcessWatch watch;
    HRASCONN handle = nullptr;
    const DWORD code = dial(&handle);
    watch.stop();

    const auto fields = profile();
    QCOMPARE(fields.value(QStringLiteral("vpn.service-type")),
        QStringLiteral("org.freedesktop.NetworkManager.") + (l2tp ? "l2tp" : "pptp"));
    QCOMPARE(fields.value(QStringLiteral("connection.autoconnect")), QStringLiteral("no"));
    QCOMPARE(fields.value(QStringLiteral("ipv4.never-default")), QStringLiteral("no"));
    QCOMPARE(fields.value(QStringLiteral("vpn.user-name")), user);
    QCOMPARE(fields.value(QStringLiteral("vpn.data")),
        QStringLiteral("gateway = 198.51.100.2, ") + (l2tp ? "ipsec-enabled = yes, ipsec-psk-flags = 0, " : "")
            + QStringLiteral("password-flags = 2") + (l2tp ? "" : ", require-mppe = yes"));
    if (l2tp) {
        // The key is stored exactly, for root alone, and NetworkManager took
        // it: the dial went past the secrets to IPsec.
        QString mode;
        QCOMPARE(storedKey(&mode), key);
        QCOMPARE(mode, QStringLiteral("600"));
        QVERIFY(watch.reachedIpsec());
        QCOMPARE(code, DWORD(800));
    } else {
        // No PPP in this kernel.
        QCOMPARE(code, DWORD(800));
    }

    // The PPTP plug-in itself hands the user name to pppd on its command
    // line; ours carry none.
    QVERIFY(!watch.commandLines().isEmpty());
    for (const QByteArray& line : watch.commandLines()) {
        for (const QString& secret : { password, key.trimmed().left(8) })
            QVERIFY2(!line.contains(secret.toUtf8()), line.constData());
        if (isNmcli(line))
            QVERIFY2(!line.contains(user.toUtf8()), line.constData());
    }
}

void NetworkManagerRealTest::realFailures_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("l2tp");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("told");

    QTest::newRow("no PPP in the kernel") << "" << false << 800 << "The VPN server may be unreachable";
    QTest::newRow("no network under the VPN") << "no base" << true << 1168 << "active internet connection";
    QTest::newRow("no right to control networking")
        << "nobody" << true << 649 << "does not have Remote Access permission";
    QTest::newRow("NetworkManager not running") << "other bus" << true << 711 << "RasMan";
    QTest::newRow("no system bus") << "no bus" << true << 711 << "RasMan";
    QTest::newRow("--wait ran out") << "wait 1" << true << 718 << "PPP timeout";
    QTest::newRow("profile gone") << "no profile" << true << 623 << "phone book entry";
}

void NetworkManagerRealTest::realFailures()
{
    QFETCH(QString, fault);
    QFETCH(bool, l2tp);
    QFETCH(int, code);
    QFETCH(QString, told);

    QProcess otherBus;
    if (fault == QLatin1String("nobody")) {
        qputenv("VELNOR_NMCLI", folder->filePath(QStringLiteral("nmcli-as-nobody")).toLocal8Bit());
    } else if (fault == QLatin1String("wait 1")) {
        backend->setTimeLimits(1, 20000);
    }
    QCOMPARE(setEntry(l2tp ? VS_L2tpOnly : VS_PptpOnly), DWORD(0));
    QCOMPARE(setKey(), DWORD(0));
    if (fault == QLatin1String("no base")) {
        nmcli({ QStringLiteral("connection"), QStringLiteral("down"), QStringLiteral("velnor-base") });
    } else if (fault == QLatin1String("no profile")) {
        nmcli({ QStringLiteral("connection"), QStringLiteral("delete"), QStringLiteral("Velnor") });
    } else if (fault == QLatin1String("no bus")) {
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/bus");
    } else if (fault == QLatin1String("other bus")) {
        // A bus of its own, where no NetworkManager is.
        const QString address = QStringLiteral("unix:path=") + folder->filePath(QStringLiteral("bus"));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        otherBus.setProcessEnvironment(environment);
        otherBus.start(QStringLiteral("dbus-daemon"),
            { QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--address=") + address,
                QStringLiteral("--print-address=1") });
        QVERIFY(otherBus.waitForReadyRead(5000));
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", address.toLocal8Bit());
    }

    HRASCONN handle = nullptr;
    const DWORD result = dial(&handle);

    if (fault == QLatin1String("no base")) {
        nmcli({ QStringLiteral("--wait"), QStringLiteral("10"), QStringLiteral("connection"), QStringLiteral("up"),
            QStringLiteral("velnor-base") });
    }
    if (otherBus.state() != QProcess::NotRunning) {
        otherBus.kill();
        otherBus.waitForFinished(2000);
    }
    QCOMPARE(result, DWORD(code));
    QVERIFY2(connection::pppErrorText(code).contains(told), qPrintable(connection::pppErrorText(code)));
    QVERIFY(activeState().isEmpty());
}

void NetworkManagerRealTest::hangUpLeavesNothingActive_data()
{
    QTest::addColumn<bool>("downCameFirst");
    QTest::newRow("at the IPsec stage") << false;
    // The hang-up's "down" came before NetworkManager began activating and
    // found nothing to take down: the dial must take down what "up" began.
    QTest::newRow("down before the activation began") << true;
}

void NetworkManagerRealTest::hangUpLeavesNothingActive()
{
    QFETCH(bool, downCameFirst);

    if (downCameFirst) {
        QFile early(folder->filePath(QStringLiteral("nmcli-down-too-early")));
        QVERIFY(early.open(QIODevice::WriteOnly));
        early.write("#!/bin/sh\n"
                    "here=$(dirname \"$0\")\n"
                    "case \" $* \" in *\" down \"*)\n"
                    "    if [ ! -e \"$here/down-seen\" ]; then\n"
                    "        touch \"$here/down-seen\"\n"
                    "        echo \"Error: 'Velnor' is not an active connection.\" >&2\n"
                    "        exit 10\n"
                    "    fi\n"
                    "esac\n"
                    "exec nmcli \"$@\"\n");
        early.close();
        QVERIFY(early.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        qputenv("VELNOR_NMCLI", early.fileName().toLocal8Bit());
    }
    QCOMPARE(setEntry(VS_L2tpOnly), DWORD(0));
    QCOMPARE(setKey(), DWORD(0));
    ProcessWatch watch;
    BackgroundDial dialling;
    QTRY_VERIFY_WITH_TIMEOUT(watch.reachedIpsec(), 30000);
    QCOMPARE(activeState(), QStringLiteral("activating"));
    QCOMPARE(RasHangUpW(platform::ras::loadHandle(&dialling.handle)), DWORD(0));
    QVERIFY(dialling.thread->wait(20000));

    QCOMPARE(dialling.result.load(), ERROR_USER_DISCONNECTION);
    // NetworkManager accepts the "down" at once and ends the activation as
    // its plug-in stops, which a loaded machine may take a while to do.
    QTRY_COMPARE_WITH_TIMEOUT(activeState(), QString(), 30000);
}

void NetworkManagerRealTest::hangUpWithoutRights()
{
    QCOMPARE(setEntry(VS_L2tpOnly), DWORD(0));
    QCOMPARE(setKey(), DWORD(0));
    ProcessWatch watch;
    BackgroundDial dialling;
    QTRY_VERIFY_WITH_TIMEOUT(watch.reachedIpsec(), 30000);

    // nmcli exits 0 here, and says on standard output that it failed.
    qputenv("VELNOR_NMCLI", folder->filePath(QStringLiteral("nmcli-as-nobody")).toLocal8Bit());
    QCOMPARE(RasHangUpW(platform::ras::loadHandle(&dialling.handle)), DWORD(649));
    QCOMPARE(activeState(), QStringLiteral("activating"));
    QVERIFY(dialling.thread->wait(20000));
    QCOMPARE(dialling.result.load(), ERROR_USER_DISCONNECTION);
    qunsetenv("VELNOR_NMCLI");
}

QTEST_GUILESS_MAIN(NetworkManagerRealTest)
#include "tst_nm_real.moc"
