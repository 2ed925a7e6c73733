#include "connection/errortexts.h"
#include "connection/monitoring.h"
#include "fakebackend.h"
#include "fakeras.h"
#include "mainwindow/tray.h"
#include "mainwindow/velnormain.h"
#include "windowfixture.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {
const QString ipPath = QStringLiteral("/ip");
const QString accountPath = QStringLiteral("/AppUserInfoV3");
const QString dotted = QStringLiteral("     .     .     .     ");
const QString publicAddress = QStringLiteral("203.0.113.5");

// The account document without its notice, so that no box but the one a
// test looks for opens.
QByteArray account(bool enabled)
{
    QByteArray document = testFixture(QStringLiteral("account.xml"));
    document.replace(
        QByteArrayLiteral("<notice>Maintenance on Sunday</notice>"), QByteArrayLiteral("<notice></notice>"));
    if (!enabled)
        document.replace(QByteArrayLiteral("<enabled>1</enabled>"), QByteArrayLiteral("<enabled>0</enabled>"));
    return document;
}

QByteArray echoPage(const QString& address)
{
    return QStringLiteral("<html><head><title>IP</title></head><body>Current IP Address: %1</body></html>")
        .arg(address)
        .toUtf8();
}
} // namespace

// Connecting by hand, the monitor that follows the attempt, and the public-IP
// check that confirms and watches a tunnel: the real window against a fake
// backend on 127.0.0.1 and a scripted remote-access layer.
class ConnectionTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void addressFromEchoPage_data();
    void addressFromEchoPage();
    void progressText_data();
    void progressText();
    void stagePrefix_data();
    void stagePrefix();

    void disabledAccountCannotConnect();
    void dialConfirmedAtNextTick_data();
    void dialConfirmedAtNextTick();
    void dialErrorShowsOneDialog_data();
    void dialErrorShowsOneDialog();
    void cancelSwallowsLateDialFailure();
    void attemptTimesOutOnEleventhTick();
    void disconnectResetsEverything();
    void disconnectAsksAddressOnceHungUp();
    void connectRightAfterDisconnectDials();
    void accountExpiryWhileConnected();
    void paymentPollingEveryFifteenSeconds();
    void ipCheckConfirmsAttempt();
    void ipCheckIgnoresOtherStates_data();
    void ipCheckIgnoresOtherStates();
    void failedIpCheckKeepsAddress();
    void dropReconnectsToSameServer_data();
    void dropReconnectsToSameServer();
    void sessionTime_data();
    void sessionTime();

private:
    std::unique_ptr<WindowFixture> fixture;
    FakeBackend* backend = nullptr;
    std::unique_ptr<FakeRas> ras;
    DialogDriver* dialogs = nullptr;
    VelnorMain* window = nullptr;
    DeliveredReplies* delivered = nullptr;
    QList<QPair<QString, QString>> balloons;

    template <typename T = QWidget>
    T* child(const char* name) const
    {
        return fixture->child<T>(name);
    }
    void tick() { QVERIFY(QMetaObject::invokeMethod(window, "UpdateTimer")); }
    // Ticks and, where the tick asks for an IP check, waits for its answer.
    void tickAndSettle(bool checksAddress);
    void signIn();
    void choose(const QString& server, const QString& protocol);
    void connectAndConfirm();
    void tickUntilConnected();
};

void ConnectionTest::init()
{
    fixture = std::make_unique<WindowFixture>();
    backend = &fixture->backend;
    dialogs = &fixture->dialogs;
    QVERIFY(backend->isListening());
    backend->answer(QStringLiteral("/AppServersV2"), testFixture(QStringLiteral("catalogue.xml")));
    backend->answer(accountPath, account(true));
    backend->answer(ipPath, echoPage(publicAddress));
    ras = std::make_unique<FakeRas>();
    tray::setSystemTrayAvailable(true);
    balloons.clear();
    tray::setBalloonObserver([this](const QString& title, const QString& message) {
        balloons.append({ title, message });
    });
}

void ConnectionTest::cleanup()
{
    if (ras)
        ras->releaseBlockedDials(ERROR_USER_DISCONNECTION);
    fixture->closeWindow();
    window = nullptr;
    ras.reset();
    tray::setSystemTrayAvailable(std::nullopt);
    tray::setBalloonObserver(nullptr);
    fixture.reset();
}

void ConnectionTest::signIn()
{
    window = fixture->openWindow();
    delivered = fixture->delivered;
    // Ticks come from the test alone.
    window->findChild<QTimer*>(QString(), Qt::FindDirectChildrenOnly)->stop();
    child<QLineEdit>("username")->setText(QStringLiteral("alice"));
    child<QLineEdit>("password")->setText(QStringLiteral("secret"));
    child<QPushButton>("login")->click();
    QTRY_COMPARE(fixture->field("user_enabled"), QStringLiteral("1"));
    QTRY_VERIFY(child<QComboBox>("servers")->count() >= 3);
    // The start-up check and the login's own one are in.
    QTRY_VERIFY(delivered->count(ipPath) >= 1);
}

void ConnectionTest::tickAndSettle(bool checksAddress)
{
    const int before = delivered->count(ipPath);
    tick();
    if (checksAddress)
        QTRY_COMPARE(delivered->count(ipPath), before + 1);
    else
        QCOMPARE(delivered->count(ipPath), before);
}

void ConnectionTest::choose(const QString& server, const QString& protocol)
{
    auto* servers = child<QComboBox>("servers");
    const int index = servers->findText(server, Qt::MatchContains);
    QVERIFY2(index >= 0, qPrintable(server));
    servers->setCurrentIndex(index);
    auto* protocols = child<QComboBox>("protocols");
    const int protocolIndex = protocols->findText(protocol, Qt::MatchEndsWith);
    QVERIFY2(protocolIndex >= 0, qPrintable(protocol));
    protocols->setCurrentIndex(protocolIndex);
    QCOMPARE(fixture->field("server_protocol"), protocol);
}

void ConnectionTest::connectAndConfirm()
{
    child<QPushButton>("connect")->click();
    QTRY_COMPARE(ras->dialCalls().size(), 1);
    QTRY_COMPARE(ras->liveConnections(), 1);
    tickUntilConnected();
}

void ConnectionTest::tickUntilConnected()
{
    // The dial has returned, but the worker may not have written its result
    // yet: tick until it is confirmed, and not once more.
    for (int attempt = 0; attempt < 50 && fixture->field("connectionStatus") != QLatin1String("connected"); ++attempt) {
        tick();
        if (fixture->field("connectionStatus") != QLatin1String("connected"))
            QTest::qWait(20);
    }
    QCOMPARE(fixture->field("connectionStatus"), QStringLiteral("connected"));
}

void ConnectionTest::addressFromEchoPage_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("address");
    QTest::newRow("sentence") << "<html><body>Current IP Address: 198.51.100.7</body></html>"
                              << "198.51.100.7";
    QTest::newRow("white space kept") << "<body>Address: 198.51.100.7\n</body>"
                                      << "198.51.100.7\n";
    QTest::newRow("first marker, last end") << "<body>Address: 1.2.3.4</body> Address: x</body>"
                                            << "1.2.3.4</body> Address: x";
    QTest::newRow("no end tag") << "Address: 9.9.9.9"
                                << "9.9.9.9";
    QTest::newRow("end before marker") << "</body>Address: 5.6.7.8"
                                       << "5.6.7.8";
    QTest::newRow("no marker") << "0123456789</body>"
                               << "89";
    QTest::newRow("empty") << ""
                           << "";
}

void ConnectionTest::addressFromEchoPage()
{
    QFETCH(QString, page);
    QFETCH(QString, address);
    QCOMPARE(connection::addressFromEchoPage(page), address);
}

void ConnectionTest::progressText_data()
{
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0 << QString();
    QTest::newRow("3") << 3 << QString();
    QTest::newRow("4") << 4 << "connection in progress - 10%";
    QTest::newRow("6") << 6 << "connection in progress - 10%";
    QTest::newRow("7") << 7 << "connection in progress - 20%";
    QTest::newRow("27") << 27 << "connection in progress - 80%";
    QTest::newRow("28") << 28 << "connection in progress - 90%";
    QTest::newRow("33") << 33 << "connection in progress - 90%";
    QTest::newRow("300") << 300 << "connection in progress - 90%";
}

void ConnectionTest::progressText()
{
    QFETCH(int, seconds);
    QFETCH(QString, text);
    QCOMPARE(connection::progressText(seconds), text);
}

void ConnectionTest::stagePrefix_data()
{
    QTest::addColumn<QString>("stage");
    QTest::addColumn<QString>("servers");
    QTest::addColumn<QString>("prefix");
    QTest::newRow("no quick connect") << "0"
                                      << "a|b" << QString();
    QTest::newRow("empty stage") << ""
                                 << "a|b" << QString();
    QTest::newRow("not a number") << "two"
                                  << "a|b" << QString();
    QTest::newRow("stage 2 of 5") << "2"
                                  << "a|b|c|d|e"
                                  << "Stage 2/5: ";
    QTest::newRow("empty entries count") << "1"
                                         << "a||"
                                         << "Stage 1/3: ";
    QTest::newRow("empty list") << "1"
                                << ""
                                << "Stage 1/1: ";
}

void ConnectionTest::stagePrefix()
{
    QFETCH(QString, stage);
    QFETCH(QString, servers);
    QFETCH(QString, prefix);
    QCOMPARE(connection::stagePrefix(stage, servers), prefix);
}

void ConnectionTest::disabledAccountCannotConnect()
{
    signIn();
    fixture->setField("user_enabled", QStringLiteral("0"));
    child<QPushButton>("connect")->click();
    QCOMPARE(dialogs->boxes().size(), 1);
    QCOMPARE(dialogs->last().title, QStringLiteral("Your account is disabled"));
    QCOMPARE(dialogs->last().icon, QMessageBox::Critical);
    QCOMPARE(int(dialogs->last().flags), 0x2041003);
    QVERIFY(!dialogs->last().hasParent);
    QVERIFY(dialogs->last().text.endsWith(QStringLiteral(" \nFor more details please visit our site.")));
    QVERIFY(!child("WingetConnected")->isHidden());
    QVERIFY(child("WidgetConnectingVPN")->isHidden());
    QVERIFY(ras->calls().isEmpty() || !ras->calls().contains(QStringLiteral("dial")));
}

void ConnectionTest::dialConfirmedAtNextTick_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("key");
    QTest::newRow("PPTP") << "Frankfurt"
                          << "PPTP"
                          << "10.8.0.11" << QString();
    QTest::newRow("L2TP") << "Zurich"
                          << "L2TP"
                          << "10.8.0.12"
                          << "zrh-shared-key";
}

void ConnectionTest::dialConfirmedAtNextTick()
{
    QFETCH(QString, server);
    QFETCH(QString, protocol);
    QFETCH(QString, address);
    QFETCH(QString, key);
    signIn();
    choose(server, protocol);

    child<QPushButton>("connect")->click();
    QVERIFY(!child("WidgetConnectingVPN")->isHidden());
    QCOMPARE(fixture->label("connecting_message"), protocol + " connection to " + server + "\nis in progress");
    QCOMPARE(fixture->label("connecting_title"), "Connecting to " + server);
    QCOMPARE(child<QPushButton>("connect")->text(), QStringLiteral("Connecting..."));
    QCOMPARE(fixture->field("ipCurrent"), QStringLiteral("updating..."));

    QTRY_COMPARE(ras->dialCalls().size(), 1);
    const FakeRas::DialCall dial = ras->dialCalls().first();
    QCOMPARE(QString::fromWCharArray(dial.parameters.szEntryName), QStringLiteral("Velnor"));
    QCOMPARE(QString::fromWCharArray(dial.parameters.szUserName), QStringLiteral("alice"));
    QCOMPARE(QString::fromWCharArray(dial.parameters.szPassword), QStringLiteral("secret"));
    QCOMPARE(QString::fromWCharArray(ras->entryCalls().first().entry.szLocalPhoneNumber), address);
    QCOMPARE(ras->credentialsCalls().size(), protocol == QLatin1String("L2TP") ? 1 : 0);
    if (!key.isNull())
        QCOMPARE(QString::fromWCharArray(ras->credentialsCalls().first().credentials.szPassword), key);
    QTRY_COMPARE(ras->liveConnections(), 1);

    // A dial that finished between two ticks is confirmed at the next one.
    tick();
    QCOMPARE(fixture->field("connectionStatus"), QStringLiteral("connected"));
    QVERIFY(!child("WidgetConnectedVPN")->isHidden());
    QVERIFY(child("WidgetConnectingVPN")->isHidden());
    QCOMPARE(fixture->label("authstatus"), QStringLiteral("connected"));
    QCOMPARE(fixture->label("connected_message"),
        "You are now connected to\n" + server + " Location.\n Your connection is now secured.");
    QCOMPARE(fixture->label("connection_status"), QStringLiteral("connected"));
    QCOMPARE(child<QLabel>("connection_status_icon")->styleSheet(),
        QStringLiteral("background:url(:/resources/connected_icon.png); "));
    QVERIFY(window->windowState() & Qt::WindowMinimized);
    QCOMPARE(balloons.size(), 1);
    QCOMPARE(balloons.last().first, QStringLiteral("Velnor VPN is now connected!"));
    QCOMPARE(balloons.last().second, "You are now connected to " + server + ".");
    QVERIFY(!child("servers")->isEnabled());
    QVERIFY(child("logout")->isHidden());
    QVERIFY(child("disconnect")->isEnabled());

    tick();
    QCOMPARE(fixture->field("seconds"), QStringLiteral("3"));
    QCOMPARE(fixture->label("authstatus"), QStringLiteral("Session time: 0 minutes"));
}

void ConnectionTest::dialErrorShowsOneDialog_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("linuxCause");
    QTest::newRow("password refused: nothing to add") << 691 << QString();
    QTest::newRow("no NetworkManager: named after the Windows text")
        << 711 << "\n\nNetworkManager is not running: start it (systemctl start NetworkManager).";
}

void ConnectionTest::dialErrorShowsOneDialog()
{
    QFETCH(int, code);
    QFETCH(QString, linuxCause);
    signIn();
    choose(QStringLiteral("Frankfurt"), QStringLiteral("PPTP"));
    ras->queueDial(DWORD(code));
    child<QPushButton>("connect")->click();
    QTRY_COMPARE(ras->dialCalls().size(), 1);

    for (int attempt = 0; attempt < 50 && dialogs->boxes().isEmpty(); ++attempt) {
        tick();
        QTest::qWait(20);
    }
    QCOMPARE(dialogs->last().title, QStringLiteral("Velnor | PPP Error Code %1").arg(code));
    QCOMPARE(dialogs->last().text,
        connection::pppErrorText(code)
            + " \nTry to connect again. \n\nIf this problem persists, choose to connect using another protocol on "
              "Frankfurt server or/and another server."
            + linuxCause);
    QCOMPARE(dialogs->last().icon, QMessageBox::Information);
    QCOMPARE(int(dialogs->last().flags), 0x2041003);
    QCOMPARE(fixture->field("connectionStatus"), QStringLiteral("disconnected"));
    QVERIFY(!child("WingetConnected")->isHidden());

    tick();
    tick();
    QCOMPARE(dialogs->boxes().size(), 1);
}

void ConnectionTest::cancelSwallowsLateDialFailure()
{
    signIn();
    choose(QStringLiteral("Frankfurt"), QStringLiteral("PPTP"));
    ras->queueBlockingDial(691);
    child<QPushButton>("connect")->click();
    QVERIFY(ras->waitForBlockedDial());
    tick();
    QCOMPARE(fixture->field("connectionStatus"), QStringLiteral("in progress"));

    child<QPushButton>("cancel")->click();
    QVERIFY(!ras->hangUps().isEmpty());
    QTRY_COMPARE(ras->liveConnections(), 0);
    for (int i = 0; i < 4; ++i)
        tick();
    QVERIFY(dialogs->boxes().isEmpty());
    QCOMPARE(fixture->field("connectionStatus"), QStringLiteral("disconnected"));
    QVERIFY(!child("WingetConnected")->isHidden());
    QVERIFY(balloons.isEmpty());
}

void ConnectionTest::attemptTimesOutOnEleventhTick()
{
    signIn();
    choose(QStringLiteral("Frankfurt"), QStringLiteral("PPTP"));
    ras->queueBlockingDial();
    child<QPushButton>("connect")->click();
    QVERIFY(ras->waitForBlockedDial());

    QStringList texts;
    for (int i = 1; i <= 10; ++i) {
        tick();
        texts.append(fixture->label("authstatus"));
    }
    QCOMPARE(texts.first(), QStringLiteral("Connecting..."));
    QCOMPARE(texts.at(1), QStringLiteral("connection in progress - 10%"));
    QCOMPARE(texts.at(5), QStringLiteral("connection in progress - 50%"));
    QCOMPARE(texts.last(), QStringLiteral("connection in progress - 90%"));
    QVERIFY(dialogs->boxes().isEmpty());

    tick();
    QCOMPARE(dialogs->boxes().size(), 1);
    QCOMPARE(dialogs->last().title, QStringLiteral("Cannot connect"));
    QCOMPARE(dialogs->last().text,
        QStringLiteral("Cannot connect to this server. You can try again to connect using another available "
                       "configuration for this server or can use another one."));
    QCOMPARE(fixture->label("authstatus"), QStringLiteral("cannot establish connection"));
    QCOMPARE(fixture->field("connectionStatus"), QStringLiteral("disconnected"));
    // The blocked dial was abandoned.
    QTRY_COMPARE(ras->liveConnections(), 0);
}

void ConnectionTest::disconnectResetsEverything()
{
    signIn();
    choose(QStringLiteral("Zurich"), QStringLiteral("L2TP"));
    connectAndConfirm();
    const int accountRequests = backend->requests(accountPath).size();

    child<QPushButton>("disconnect")->click();
    QCOMPARE(fixture->field("connectionStatus"), QStringLiteral("disconnected"));
    QCOMPARE(fixture->label("authstatus"), QStringLiteral("Ready!"));
    QVERIFY(!child("WingetConnected")->isHidden());
    QCOMPARE(child<QTabWidget>("WingetConnected")->currentIndex(), 0);
    QVERIFY(child("WidgetConnectedVPN")->isHidden());
    QCOMPARE(child<QComboBox>("servers")->currentIndex(), 0);
    QCOMPARE(fixture->label("ip"), dotted);
    QCOMPARE(fixture->label("connection_status"), QStringLiteral("not connected"));
    QCOMPARE(fixture->field("quick_stage"), QStringLiteral("0"));
    QVERIFY(child("disconnect")->isHidden());
    QVERIFY(!child("connect")->isHidden());
    QVERIFY(!child("connect")->isEnabled());
    QCOMPARE(child<QPushButton>("connect")->text(), QStringLiteral("Connect"));
    QVERIFY(child("logout")->isEnabled());
    QVERIFY(child("servers")->isEnabled());
    // The hang-up runs off the GUI thread.
    QTRY_VERIFY(!ras->hangUps().isEmpty());
    QTRY_COMPARE(backend->requests(accountPath).size(), accountRequests + 1);

    // The monitor gives the buttons back on its second tick.
    tick();
    QVERIFY(!child("connect")->isEnabled());
    tick();
    QVERIFY(child("connect")->isEnabled());
    QVERIFY(child("quickConnect")->isEnabled());
}

// Through a tunnel still up, the echo page would answer with the server's
// address.
void ConnectionTest::disconnectAsksAddressOnceHungUp()
{
    signIn();
    choose(QStringLiteral("Zurich"), QStringLiteral("L2TP"));
    connectAndConfirm();
    ras->setHangUpDelay(500);
    QList<int> hangUpsWhenAsked;
    connect(backend, &FakeBackend::requested, this, [this, &hangUpsWhenAsked](const QString& path) {
        if (path == ipPath)
            hangUpsWhenAsked.append(ras->hangUps().size());
    });

    child<QPushButton>("disconnect")->click();
    // Checks asked for before the disconnect may still come in meanwhile.
    QTRY_VERIFY(hangUpsWhenAsked.contains(1));
    QTRY_COMPARE(fixture->label("ip"), publicAddress);
}

void ConnectionTest::connectRightAfterDisconnectDials()
{
    signIn();
    choose(QStringLiteral("Frankfurt"), QStringLiteral("PPTP"));
    connectAndConfirm();
    // A reconnect disconnects and connects at once; the dialer thread may
    // still be finishing its last run.
    child<QPushButton>("disconnect")->click();
    QVERIFY(QMetaObject::invokeMethod(window, "on_connect_clicked"));
    QTRY_COMPARE(ras->dialCalls().size(), 2);
    tickUntilConnected();
}

void ConnectionTest::accountExpiryWhileConnected()
{
    signIn();
    choose(QStringLiteral("Frankfurt"), QStringLiteral("PPTP"));
    connectAndConfirm();
    QVERIFY(window->isMinimized());

    fixture->setField("user_enabled", QStringLiteral("0"));
    tick();
    QCOMPARE(fixture->field("connectionStatus"), QStringLiteral("disconnected"));
    QVERIFY(window->isVisible());
    QVERIFY(!window->isMinimized());
    QCOMPARE(balloons.last().first, QStringLiteral("Velnor VPN - Account Expired"));
    QCOMPARE(balloons.last().second,
        QStringLiteral("Your account has expired! In order to continue using our services, you need to update your "
                       "subscription."));
    QVERIFY(!child("WingetConnected")->isHidden());
}

void ConnectionTest::paymentPollingEveryFifteenSeconds()
{
    signIn();
    // A disconnect starts the counter from 0 and asks for the account once.
    child<QPushButton>("cancel")->click();
    QTRY_VERIFY(delivered->count(accountPath) >= 2);
    const int before = backend->requests(accountPath).size();
    // Still unpaid: an enabled account would end the payment at the first poll.
    backend->answer(accountPath, account(false));
    fixture->setField("paymentInProgress", QStringLiteral("1"));

    for (int i = 1; i <= 4; ++i)
        tick();
    QTest::qWait(50);
    QCOMPARE(backend->requests(accountPath).size(), before);
    tick(); // 15 s
    QTRY_COMPARE(backend->requests(accountPath).size(), before + 1);
    for (int i = 6; i <= 10; ++i)
        tick(); // 30 s
    QTRY_COMPARE(backend->requests(accountPath).size(), before + 2);

    fixture->setField("paymentInProgress", QStringLiteral("0"));
    for (int i = 11; i <= 15; ++i)
        tick(); // 45 s
    QTest::qWait(50);
    QCOMPARE(backend->requests(accountPath).size(), before + 2);
}

void ConnectionTest::ipCheckConfirmsAttempt()
{
    signIn();
    choose(QStringLiteral("Frankfurt"), QStringLiteral("PPTP"));
    ras->queueBlockingDial();
    child<QPushButton>("connect")->click();
    QVERIFY(ras->waitForBlockedDial());
    tickAndSettle(true);
    QCOMPARE(fixture->field("ipCurrent"), publicAddress);
    QCOMPARE(fixture->field("connectionStatus"), QStringLiteral("in progress"));

    backend->answer(ipPath, echoPage(QStringLiteral("198.51.100.11")));
    tickAndSettle(true);
    QCOMPARE(fixture->field("connectionStatus"), QStringLiteral("connected"));
    QCOMPARE(fixture->label("authstatus"), QStringLiteral("Connected! IP: 198.51.100.11"));
    QCOMPARE(fixture->label("ip"), QStringLiteral("198.51.100.11"));
    QCOMPARE(fixture->label("connected_title"), QStringLiteral("Connected to Frankfurt Server!"));
    QCOMPARE(fixture->label("connected_message"),
        QStringLiteral("You are now connected to Frankfurt Server.\n Your connection is now secured."));
    QVERIFY(!child("WidgetConnectedVPN")->isHidden());
    QCOMPARE(fixture->field("quick_stage"), QStringLiteral("0"));
    QCOMPARE(fixture->field("seconds"), QStringLiteral("6"));
    tick();
    QCOMPARE(fixture->field("seconds"), QStringLiteral("3"));
}

void ConnectionTest::ipCheckIgnoresOtherStates_data()
{
    QTest::addColumn<QString>("state");
    QTest::newRow("empty") << QString();
    QTest::newRow("disconnected") << QStringLiteral("disconnected");
    QTest::newRow("connected") << QStringLiteral("connected");
}

void ConnectionTest::ipCheckIgnoresOtherStates()
{
    QFETCH(QString, state);
    signIn();
    fixture->setField("server_assignedIP", QStringLiteral("198.51.100.11"));
    fixture->setField("connectionStatus", state);
    backend->answer(ipPath, echoPage(QStringLiteral("198.51.100.11")));
    const int before = delivered->count(ipPath);
    QVERIFY(QMetaObject::invokeMethod(window, "GetCurrentIP"));
    QTRY_COMPARE(delivered->count(ipPath), before + 1);
    QCOMPARE(fixture->label("ip"), QStringLiteral("198.51.100.11"));
    QCOMPARE(fixture->field("connectionStatus"), state);
    QVERIFY(child("WidgetConnectedVPN")->isHidden());
}

void ConnectionTest::failedIpCheckKeepsAddress()
{
    signIn();
    QTRY_COMPARE(fixture->label("ip"), publicAddress);
    backend->answer(ipPath, QByteArrayLiteral("gone"), 500);
    const int before = delivered->count(ipPath);
    QVERIFY(QMetaObject::invokeMethod(window, "GetCurrentIP"));
    QTRY_COMPARE(delivered->count(ipPath), before + 1);
    QCOMPARE(fixture->label("ip"), publicAddress);
    QCOMPARE(fixture->field("ipCurrent"), publicAddress);
}

void ConnectionTest::dropReconnectsToSameServer_data()
{
    QTest::addColumn<int>("ticks");
    QTest::addColumn<bool>("reconnects");
    QTest::newRow("30 s") << 10 << false;
    QTest::newRow("33 s") << 11 << true;
}

void ConnectionTest::dropReconnectsToSameServer()
{
    QFETCH(int, ticks);
    QFETCH(bool, reconnects);
    signIn();
    // Not the first server, so a reconnect to the first one would show.
    choose(QStringLiteral("Zurich"), QStringLiteral("L2TP"));
    backend->answer(ipPath, echoPage(QStringLiteral("198.51.100.12")));
    connectAndConfirm();
    // Let the checks asked for so far reach the server and be answered.
    QTest::qWait(100);
    QTRY_COMPARE(delivered->count(ipPath), backend->requests(ipPath).size());

    // The tunnel drops: the public address is no longer the assigned one.
    backend->answer(ipPath, echoPage(publicAddress));
    for (int i = 1; i <= ticks; ++i)
        tickAndSettle(i % 5 == 0);
    QCOMPARE(fixture->field("connectionStatus"), QStringLiteral("connected"));
    QCOMPARE(ras->dialCalls().size(), 1);

    // An IP check now, at 30 or 33 s.
    QVERIFY(QMetaObject::invokeMethod(window, "GetCurrentIP"));
    QTRY_COMPARE(delivered->count(ipPath), backend->requests(ipPath).size());
    if (!reconnects) {
        QCOMPARE(balloons.size(), 1); // only the one of the connection
        QCOMPARE(fixture->field("connectionStatus"), QStringLiteral("connected"));
        QCOMPARE(ras->dialCalls().size(), 1);
        return;
    }
    QTRY_COMPARE(ras->dialCalls().size(), 2);
    QCOMPARE(balloons.at(1).first, QStringLiteral("Velnor VPN connection dropped"));
    QCOMPARE(balloons.at(1).second, QStringLiteral("Trying to reconnect on Zurich."));
    QCOMPARE(fixture->field("server_name"), QStringLiteral("Zurich"));
    QCOMPARE(fixture->field("server_protocol"), QStringLiteral("L2TP"));
    QCOMPARE(QString::fromWCharArray(ras->entryCalls().last().entry.szLocalPhoneNumber), QStringLiteral("10.8.0.12"));
    QCOMPARE(fixture->label("connecting_message"), QStringLiteral("L2TP connection to Zurich\nis in progress"));
    QVERIFY(child<QComboBox>("servers")->currentText().contains(QStringLiteral("Zurich")));
}

void ConnectionTest::sessionTime_data()
{
    QTest::addColumn<int>("ticks");
    QTest::addColumn<QString>("text");
    QTest::newRow("117 s") << 39 << "Session time: 1 minutes";
    QTest::newRow("120 s") << 40 << "Session time: 2 minutes";
}

void ConnectionTest::sessionTime()
{
    QFETCH(int, ticks);
    QFETCH(QString, text);
    signIn();
    choose(QStringLiteral("Frankfurt"), QStringLiteral("PPTP"));
    backend->answer(ipPath, echoPage(QStringLiteral("198.51.100.11")));
    connectAndConfirm();
    for (int i = 0; i < ticks; ++i)
        tick();
    QCOMPARE(fixture->label("authstatus"), text);
}

QTEST_MAIN(ConnectionTest)
#include "tst_connection.moc"
