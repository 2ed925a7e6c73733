#include "connection/monitoring.h"
#include "platform/sleep.h"
#include "windowfixture.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

#include <arpa/inet.h>
#include <netdb.h>
#include <pwd.h>
#include <unistd.h>

// The real window run by an ordinary desktop user, OpenVPN started by
// NetworkManager's plug-in, in the test world's client namespace
// (tests/support/nm-sandbox.sh --world): the tunnel, the DNS the server
// pushes, and nothing left behind.
class NetworkManagerEndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void connectsAndResolvesInsideTheTunnel();
    void wrongPasswordEndsAtTheLimit();

private:
    std::unique_ptr<WindowFixture> fixture;
    VelnorMain* window = nullptr;
    QString demo;

    void signIn(const QString& tunnelPassword);
    void verifyNothingLeft();
};

namespace {
const QString serverAddress = QStringLiteral("198.51.100.2");
const QString clientAddress = QStringLiteral("192.0.2.2");

// The first IPv4 address the system resolver gives, as every program here
// would get it; empty when the name does not resolve.
QString resolve(const QString& name)
{
    addrinfo hints {};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (::getaddrinfo(name.toUtf8().constData(), nullptr, &hints, &found) != 0 || !found)
        return QString();
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr, text, sizeof text);
    ::freeaddrinfo(found);
    return QString::fromLatin1(text);
}

// This sandbox has a PID namespace of its own: every openvpn is the client's.
QStringList openVpnOwners()
{
    QStringList owners;
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
        if (!comm.open(QIODevice::ReadOnly) || comm.readAll().trimmed() != "openvpn")
            continue;
        const passwd* owner = ::getpwuid(QFileInfo(QStringLiteral("/proc/") + pid).ownerId());
        owners << (owner ? QString::fromLocal8Bit(owner->pw_name) : pid);
    }
    return owners;
}

QString activeConnectionTypes()
{
    QProcess nmcli;
    nmcli.start(QStringLiteral("nmcli"), { "-t", "-f", "TYPE", "connection", "show", "--active" });
    nmcli.waitForFinished(10000);
    return QString::fromUtf8(nmcli.readAllStandardOutput());
}

QStringList inputFiles()
{
    // The inline blocks the plug-in took as files go with the attempt too.
    return QDir(QDir::currentPath() + QStringLiteral("/include"))
        .entryList({ "auth.conf", "certificate.crt", "config.ovpn", "client.crt", "client.key", "tls-crypt.key" },
            QDir::Files);
}

void instantPause(unsigned long) { }
} // namespace

void NetworkManagerEndToEndTest::initTestCase()
{
    demo = qEnvironmentVariable("VELNOR_WORLD_DEMO");
    if (demo.isEmpty() || qEnvironmentVariableIsEmpty("VELNOR_NM_SANDBOX"))
        QSKIP("not in the test world with NetworkManager: run through tests/support/nm-sandbox.sh --world");
    QVERIFY2(::geteuid() != 0, "the desktop user must not be root");
}

void NetworkManagerEndToEndTest::init()
{
    fixture = std::make_unique<WindowFixture>();
    qputenv("VELNOR_API_BASE", (demo + QStringLiteral("/api")).toUtf8());
    qputenv("VELNOR_SITE_BASE", (demo + QStringLiteral("/site")).toUtf8());
    qputenv("VELNOR_IP_ECHO_URL", (demo + QStringLiteral("/ip")).toUtf8());
    qunsetenv("VELNOR_OPENVPN");
    platform::setSleepFunction(instantPause);
}

void NetworkManagerEndToEndTest::cleanup()
{
    fixture.reset();
    window = nullptr;
    platform::setSleepFunction(nullptr);
    // The window's end takes the tunnel down too, without waiting for it.
    QTRY_VERIFY_WITH_TIMEOUT(!activeConnectionTypes().contains(QLatin1String("vpn")), 15000);
    QTRY_COMPARE_WITH_TIMEOUT(openVpnOwners(), QStringList(), 10000);
}

void NetworkManagerEndToEndTest::signIn(const QString& tunnelPassword)
{
    window = fixture->openWindow();
    window->findChild<QTimer*>(QString(), Qt::FindDirectChildrenOnly)->stop();
    QTRY_COMPARE_WITH_TIMEOUT(fixture->child<QLabel>("ip")->text(), clientAddress, 10000);
    fixture->child<QLineEdit>("username")->setText(QStringLiteral("demo"));
    fixture->child<QLineEdit>("password")->setText(QStringLiteral("demo"));
    fixture->child<QPushButton>("login")->click();
    QTRY_COMPARE_WITH_TIMEOUT(fixture->field("user_enabled"), QStringLiteral("1"), 10000);
    QTRY_VERIFY(fixture->child<QComboBox>("servers")->count() > 1);
    fixture->child<QLineEdit>("password")->setText(tunnelPassword);
    auto* protocols = fixture->child<QComboBox>("protocols");
    protocols->setCurrentIndex(protocols->findText(QStringLiteral("Protocol: OpenVPN")));
    QCOMPARE(fixture->field("server_assignedIP"), serverAddress);
}

void NetworkManagerEndToEndTest::verifyNothingLeft()
{
    QTRY_VERIFY_WITH_TIMEOUT(!activeConnectionTypes().contains(QLatin1String("vpn")), 15000);
    QTRY_COMPARE_WITH_TIMEOUT(openVpnOwners(), QStringList(), 10000);
    QCOMPARE(inputFiles(), QStringList());
}

void NetworkManagerEndToEndTest::connectsAndResolvesInsideTheTunnel()
{
    const QString tunnelHost = qEnvironmentVariable("VELNOR_WORLD_TUNNEL_HOST");
    QVERIFY(resolve(tunnelHost).isEmpty());
    signIn(QStringLiteral("demo"));
    fixture->child<QPushButton>("connect")->click();

    QVERIFY(fixture->tickUntil(
        [this] { return fixture->field("connectionStatus") == QLatin1String("connected"); }, 10, 1000));
    QCOMPARE(fixture->child<QLabel>("ip")->text(), serverAddress);
    // NetworkManager started it, under its own user, not this one.
    QCOMPARE(openVpnOwners(), QStringList { QStringLiteral("nm-openvpn") });
    QVERIFY(activeConnectionTypes().contains(QLatin1String("vpn")));
    QCOMPARE(resolve(tunnelHost), qEnvironmentVariable("VELNOR_WORLD_TUNNEL_HOST_ADDRESS"));
    // The profile's inline key and certificates, as the plug-in's files, for their owner alone.
    for (const QString& name :
        { QStringLiteral("client.crt"), QStringLiteral("client.key"), QStringLiteral("tls-crypt.key") }) {
        const QFileInfo file(QDir::currentPath() + QStringLiteral("/include/") + name);
        QVERIFY2(file.exists(), qPrintable(name));
        QCOMPARE(file.permissions() & 0x0077, QFileDevice::Permissions());
    }

    QVERIFY(QMetaObject::invokeMethod(window, "on_disconnect_clicked"));
    verifyNothingLeft();
    QCOMPARE(resolve(tunnelHost), QString());
    // Asked for once NetworkManager had taken the tunnel down.
    QTRY_COMPARE_WITH_TIMEOUT(fixture->child<QLabel>("ip")->text(), clientAddress, 15000);
}

void NetworkManagerEndToEndTest::wrongPasswordEndsAtTheLimit()
{
    signIn(QStringLiteral("not-the-password"));
    fixture->child<QPushButton>("connect")->click();

    QVERIFY(fixture->tickUntil([this] { return fixture->dialogs.boxes().size() == 1; }, 14, 500));
    QCOMPARE(fixture->dialogs.last().title, QStringLiteral("Cannot connect"));
    QCOMPARE(fixture->field("connectionStatus"), QStringLiteral("disconnected"));
    verifyNothingLeft();
}

QTEST_MAIN(NetworkManagerEndToEndTest)
#include "tst_e2e_nm.moc"
