#include "connection/monitoring.h"
#include "mainwindow/tray.h"
#include "platform/sleep.h"
#include "windowfixture.h"

#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

// The real window, the real demo service and the real OpenVPN, in the test
// world's client namespace (scripts/world run): what a user of the client sees
// of a real tunnel.
class EndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void connectShowsTheServersAddress();
    void wrongPasswordEndsAtTheLimit();
    void dropIsNoticedAndReconnected();
    void quickConnectFallsThroughToOpenVpn();
    void connectionBlocksFallThroughToTheLiveRemote();

private:
    std::unique_ptr<WindowFixture> fixture;
    VelnorMain* window = nullptr;
    QString demo;
    QStringList balloons;

    template <typename T = QWidget>
    T* child(const char* name) const
    {
        return fixture->child<T>(name);
    }
    QString include(const char* name) const { return QDir::currentPath() + QStringLiteral("/include/") + name; }
    void signIn();
    void chooseOpenVpnOn(int server);
    bool connected() const { return fixture->field("connectionStatus") == QLatin1String("connected"); }
    static void world(const QString& command);
    // The address the demo's IP echo sees for a request of this test.
    QString publicAddress() const;
    static QByteArray download(const QString& url);
};

namespace {
const QString serverAddress = QStringLiteral("198.51.100.2");
const QString clientAddress = QStringLiteral("192.0.2.2");
const QString demoLog = QStringLiteral("/run/velnor-world/demo.log");

// The addresses the demo's IP echo answered after the first `from` bytes of
// its log.
QStringList echoedSince(qint64 from)
{
    QFile log(demoLog);
    if (!log.open(QIODevice::ReadOnly) || !log.seek(from))
        return { QStringLiteral("unreadable log") };
    QStringList addresses;
    const QByteArray marker = "IP echo for ";
    for (const QByteArray& line : log.readAll().split('\n')) {
        if (line.startsWith(marker))
            addresses.append(QString::fromUtf8(line.mid(marker.size())));
    }
    return addresses;
}

// The "net:[inode]" a process's network namespace link names.
QString networkNamespaceOf(const QString& pid)
{
    return QFile::symLinkTarget(QStringLiteral("/proc/%1/ns/net").arg(pid)).section(QLatin1Char('/'), -1);
}

// openvpn processes in this network namespace (the server's runs in another).
int openVpnProcessesHere()
{
    const QString ownNamespace = networkNamespaceOf(QStringLiteral("self"));
    int count = 0;
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
        if (!comm.open(QIODevice::ReadOnly) || comm.readAll().trimmed() != "openvpn")
            continue;
        if (networkNamespaceOf(pid) == ownNamespace)
            ++count;
    }
    return count;
}

void instantPause(unsigned long) { }
} // namespace

void EndToEndTest::initTestCase()
{
    demo = qEnvironmentVariable("VELNOR_WORLD_DEMO");
    if (demo.isEmpty())
        QSKIP("not in the test world: run through scripts/world run --demo BIN");
}

void EndToEndTest::init()
{
    fixture = std::make_unique<WindowFixture>();
    // The world's demo service instead of the fixture's fake backend.
    qputenv("VELNOR_API_BASE", (demo + QStringLiteral("/api")).toUtf8());
    qputenv("VELNOR_SITE_BASE", (demo + QStringLiteral("/site")).toUtf8());
    qputenv("VELNOR_IP_ECHO_URL", (demo + QStringLiteral("/ip")).toUtf8());
    qputenv("VELNOR_OPENVPN", "openvpn");
    platform::setSleepFunction(instantPause);
    tray::setSystemTrayAvailable(true);
    balloons.clear();
    tray::setBalloonObserver([this](const QString& title, const QString&) { balloons.append(title); });
}

void EndToEndTest::cleanup()
{
    fixture.reset();
    window = nullptr;
    world(QStringLiteral("restore"));
    platform::setSleepFunction(nullptr);
    tray::setSystemTrayAvailable(std::nullopt);
    tray::setBalloonObserver(nullptr);
    // Whatever the case did, no tunnel process outlives the window.
    QTRY_COMPARE_WITH_TIMEOUT(openVpnProcessesHere(), 0, 10000);
}

void EndToEndTest::world(const QString& command)
{
    const int status
        = QProcess::execute(QStringLiteral("bash"), { QStringLiteral(VELNOR_SOURCE_DIR "/scripts/world"), command });
    if (status != 0)
        qWarning("scripts/world %s ended with %d", qPrintable(command), status);
}

QByteArray EndToEndTest::download(const QString& url)
{
    QNetworkAccessManager manager;
    QNetworkRequest request { QUrl(url) };
    request.setTransferTimeout(2000);
    QNetworkReply* reply = manager.get(request);
    QEventLoop loop;
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    reply->deleteLater();
    return reply->error() == QNetworkReply::NoError ? reply->readAll() : QByteArray();
}

QString EndToEndTest::publicAddress() const
{
    return connection::addressFromEchoPage(QString::fromUtf8(download(demo + QStringLiteral("/ip"))));
}

void EndToEndTest::signIn()
{
    window = fixture->openWindow();
    // The monitor's clock is driven by the test; the tunnel runs in real time.
    window->findChild<QTimer*>(QString(), Qt::FindDirectChildrenOnly)->stop();
    QTRY_COMPARE_WITH_TIMEOUT(child<QLabel>("ip")->text(), clientAddress, 10000);
    child<QLineEdit>("username")->setText(QStringLiteral("demo"));
    child<QLineEdit>("password")->setText(QStringLiteral("demo"));
    child<QPushButton>("login")->click();
    QTRY_COMPARE_WITH_TIMEOUT(fixture->field("user_enabled"), QStringLiteral("1"), 10000);
    QTRY_VERIFY(child<QComboBox>("servers")->count() > 1);
}

void EndToEndTest::chooseOpenVpnOn(int server)
{
    child<QComboBox>("servers")->setCurrentIndex(server);
    auto* protocols = child<QComboBox>("protocols");
    protocols->setCurrentIndex(protocols->findText(QStringLiteral("Protocol: OpenVPN")));
    QCOMPARE(fixture->field("server_protocol"), QStringLiteral("OpenVPN"));
    QCOMPARE(fixture->field("server_assignedIP"), serverAddress);
}

void EndToEndTest::connectShowsTheServersAddress()
{
    signIn();
    chooseOpenVpnOn(2);
    child<QPushButton>("connect")->click();

    QVERIFY(fixture->tickUntil([this] { return connected(); }, 10, 1000));
    QVERIFY(!child("WidgetConnectedVPN")->isHidden());
    QCOMPARE(child<QLabel>("ip")->text(), serverAddress);
    QCOMPARE(publicAddress(), serverAddress);
    // The credentials are on disk only while the tunnel is up, and only
    // for their owner.
    QCOMPARE(QFileInfo(include("auth.conf")).permissions() & 0x0077, QFileDevice::Permissions());
    QCOMPARE(openVpnProcessesHere(), 1);
    // No command line of any process carries the password's digest, and the
    // folders holding secrets are owner-only.
    const QByteArray digest = QCryptographicHash::hash("demo", QCryptographicHash::Md5).toHex();
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile commandLine(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (commandLine.open(QIODevice::ReadOnly))
            QVERIFY2(!commandLine.readAll().contains(digest), qPrintable(pid));
    }
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
        | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    QCOMPARE(
        QFileInfo(QDir::currentPath() + QStringLiteral("/include")).permissions() & others, QFileDevice::Permissions());
    QCOMPARE(QFileInfo(QSettings().fileName()).permissions() & others, QFileDevice::Permissions());

    const qint64 echoesBefore = QFileInfo(demoLog).size();
    QVERIFY(QMetaObject::invokeMethod(window, "on_disconnect_clicked"));
    QVERIFY(!QFile::exists(include("auth.conf")));
    QFile log(include("openvpn.log"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    // The profile makes OpenVPN check that it talks to a server certificate
    // of that name.
    const QByteArray lines = log.readAll();
    QVERIFY(lines.contains("VERIFY EKU OK"));
    QVERIFY(lines.contains("VERIFY X509NAME OK: CN=velnor-world-server"));
    QTRY_COMPARE_WITH_TIMEOUT(openVpnProcessesHere(), 0, 10000);
    // Asked for once the tunnel had gone, so the echo saw the client itself.
    QTRY_COMPARE_WITH_TIMEOUT(child<QLabel>("ip")->text(), clientAddress, 15000);
    QCOMPARE(echoedSince(echoesBefore), QStringList { clientAddress });
    // Traffic leaves from the client's own address again.
    QTRY_COMPARE_WITH_TIMEOUT(publicAddress(), clientAddress, 15000);
}

void EndToEndTest::wrongPasswordEndsAtTheLimit()
{
    signIn();
    chooseOpenVpnOn(0);
    // Signed in, then the password the tunnel is given is not the account's.
    child<QLineEdit>("password")->setText(QStringLiteral("not-the-password"));
    child<QPushButton>("connect")->click();

    QVERIFY(fixture->tickUntil([this] { return fixture->dialogs.boxes().size() == 1; }, 14, 500));
    QCOMPARE(fixture->dialogs.last().title, QStringLiteral("Cannot connect"));
    QCOMPARE(fixture->field("connectionStatus"), QStringLiteral("disconnected"));
    QVERIFY(!QFile::exists(include("auth.conf")));
    QTRY_COMPARE_WITH_TIMEOUT(openVpnProcessesHere(), 0, 10000);
    QFile log(include("openvpn.log"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(log.readAll().contains("AUTH_FAILED"));
}

void EndToEndTest::dropIsNoticedAndReconnected()
{
    signIn();
    chooseOpenVpnOn(4);
    const QString server = fixture->field("server_name");
    child<QPushButton>("connect")->click();
    QVERIFY(fixture->tickUntil([this] { return connected(); }, 10, 1000));

    world(QStringLiteral("drop"));
    // OpenVPN gives the dead link up after its keepalive; the next IP check
    // past 30 s sees the client's own address and reconnects.
    QVERIFY(fixture->tickUntil(
        [this] { return balloons.contains(QStringLiteral("Velnor VPN connection dropped")); }, 40, 1000));
    QCOMPARE(fixture->field("server_name"), server);
    world(QStringLiteral("restore"));
    QVERIFY(fixture->tickUntil([this] { return connected(); }, 10, 3000));
    QCOMPARE(fixture->field("server_name"), server);
    QCOMPARE(child<QLabel>("ip")->text(), serverAddress);
}

void EndToEndTest::quickConnectFallsThroughToOpenVpn()
{
    signIn();
    // PPTP cannot dial here (no dial-up support), so stage 2 is the tunnel.
    child<QLineEdit>("quick_servers")
        ->setText(QStringLiteral("Toronto^203.0.113.11^PPTP|Frankfurt^") + serverAddress + QStringLiteral("^OpenVPN^")
            + demo + QStringLiteral("/openvpn/ca.crt^") + demo + QStringLiteral("/openvpn/3.ovpn"));
    child<QPushButton>("quickConnect")->click();

    QVERIFY(fixture->tickUntil([this] { return connected(); }, 20, 1000));
    QVERIFY(balloons.contains(QStringLiteral("Velnor VPN is now connected!")));
    QCOMPARE(child<QLabel>("ip")->text(), serverAddress);
    QCOMPARE(fixture->field("quick_stage"), QStringLiteral("0"));
}

// The demo's profile with its server as the second of two <connection>
// blocks, the first leading where nothing answers: OpenVPN gives the first
// up and connects by the second.
void EndToEndTest::connectionBlocksFallThroughToTheLiveRemote()
{
    signIn();
    chooseOpenVpnOn(1);
    QByteArray profile = download(fixture->field("server_config"));
    const QByteArray remote = "remote " + serverAddress.toUtf8() + " 1194\n";
    QVERIFY2(profile.contains(remote), profile.constData());
    profile.replace(remote,
        "server-poll-timeout 4\n<connection>\nremote " + serverAddress.toUtf8() + " 1195 udp\n</connection>\n"
            + "<connection>\nremote " + serverAddress.toUtf8() + " 1194 udp\n</connection>\n");
    fixture->backend.answer(QStringLiteral("/profiles/blocks.ovpn"), profile);
    fixture->setField("server_config", fixture->backend.baseUrl() + QStringLiteral("/profiles/blocks.ovpn"));
    child<QPushButton>("connect")->click();

    // Nine monitor ticks stay under its limit; two seconds apart they give
    // OpenVPN three times what it needs.
    QVERIFY(fixture->tickUntil([this] { return connected(); }, 9, 2000));
    QCOMPARE(child<QLabel>("ip")->text(), serverAddress);
    QFile log(include("openvpn.log"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray lines = log.readAll();
    QVERIFY2(lines.indexOf(":1195") >= 0 && lines.indexOf(":1195") < lines.indexOf(":1194"), lines.constData());
}

QTEST_MAIN(EndToEndTest)
#include "tst_e2e.moc"
