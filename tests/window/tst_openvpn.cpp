#include "fakebackend.h"
#include "fakeras.h"
#include "mainwindow/tray.h"
#include "mainwindow/velnormain.h"
#include "platform/sleep.h"
#include "windowfixture.h"

#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

namespace {
const QString certificatePath = QStringLiteral("/profiles/ca.crt");
const QString configPath = QStringLiteral("/profiles/client.ovpn");
const QByteArray certificate = QByteArrayLiteral("-----BEGIN CERTIFICATE-----\nMIIB\n-----END CERTIFICATE-----\n");
// Bytes that a text-mode or locale-dependent write would change.
const QByteArray configuration = QByteArrayLiteral("client\r\ndev tun\nremote 198.51.100.20 1194\n# caf\xc3\xa9\n");
// What OpenVPN is given of it: the profile written out again from what goes on.
const QByteArray written = QByteArrayLiteral("client\ndev tun\nremote 198.51.100.20 1194\n");
constexpr DWORD authenticationFailure = 691;
const QString connectionError = QStringLiteral("Connection Error");

QByteArray account()
{
    QByteArray document = testFixture(QStringLiteral("account.xml"));
    return document.replace(
        QByteArrayLiteral("<notice>Maintenance on Sunday</notice>"), QByteArrayLiteral("<notice></notice>"));
}

// The window under test, for the pause that presses cancel.
QPointer<VelnorMain> pausedWindow;
int pauses = 0;
void cancelDuringPause(unsigned long)
{
    ++pauses;
    // Delivered by the pending-event call that follows the pause.
    QMetaObject::invokeMethod(pausedWindow, "on_cancel_clicked", Qt::QueuedConnection);
}
void instantPause(unsigned long) { ++pauses; }
} // namespace

// OpenVPN connections and quick connect: the real window against a fake
// backend on 127.0.0.1, a scripted remote-access layer and a fake OpenVPN
// executable that records what it was given.
class OpenVpnTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void connectStartsOpenVpn_data();
    void connectStartsOpenVpn();
    void failedDownloadStartsNothing_data();
    void failedDownloadStartsNothing();
    void refusedProfileEndsAtOnce_data();
    void refusedProfileEndsAtOnce();
    void staleReplyAfterDisconnect();
    void openVpnIgnoringTerminateIsKilled();

    void quickConnectTriesEveryEntry();
    void quickConnectListEdges_data();
    void quickConnectListEdges();
    void quickConnectDisabledAccount();
    void quickConnectStopsAtSuccess();
    void cancelDuringPauseDialsNothing();

private:
    std::unique_ptr<WindowFixture> fixture;
    FakeBackend* backend = nullptr;
    std::unique_ptr<FakeRas> ras;
    DialogDriver* dialogs = nullptr;
    VelnorMain* window = nullptr;
    QString recordFile;

    template <typename T = QWidget>
    T* child(const char* name) const
    {
        return fixture->child<T>(name);
    }
    void tick() { QVERIFY(QMetaObject::invokeMethod(window, "UpdateTimer")); }
    void signIn();
    // Ticks, giving the dialer time between ticks, until `done` holds; never
    // once more.
    bool tickUntil(const std::function<bool()>& done)
    {
        for (int i = 0; i < 50 && !done(); ++i) {
            tick();
            if (!done())
                QTest::qWait(30);
        }
        return done();
    }
    QString url(const QString& path) const { return backend->baseUrl() + path; }
    QString openVpnEntry(const QString& name) const
    {
        return name + QStringLiteral("^198.51.100.30^OpenVPN^") + url(certificatePath) + QLatin1Char('^')
            + url(configPath);
    }
    QStringList record() const;
    QString include(const QString& name) const
    {
        return fixture->environment.workFolder() + QStringLiteral("/include/") + name;
    }
    QStringList boxTitles() const;
    QString dialledAddress() const
    {
        return QString::fromWCharArray(ras->entryCalls().last().entry.szLocalPhoneNumber);
    }
};

void OpenVpnTest::init()
{
    fixture = std::make_unique<WindowFixture>();
    backend = &fixture->backend;
    dialogs = &fixture->dialogs;
    QVERIFY(backend->isListening());
    backend->answer(QStringLiteral("/AppServersV2"), testFixture(QStringLiteral("catalogue.xml")));
    backend->answer(QStringLiteral("/AppUserInfoV3"), account());
    backend->answer(certificatePath, certificate);
    backend->answer(configPath, configuration);
    ras = std::make_unique<FakeRas>();
    tray::setSystemTrayAvailable(true);
    recordFile = fixture->environment.workFolder() + QStringLiteral("/openvpn-record");
    qputenv("VELNOR_OPENVPN", QByteArrayLiteral(VELNOR_FAKE_OPENVPN));
    qputenv("FAKE_OPENVPN_RECORD", recordFile.toUtf8());
    qunsetenv("FAKE_OPENVPN_IGNORE_TERM");
    pauses = 0;
    platform::setSleepFunction(instantPause);
}

void OpenVpnTest::cleanup()
{
    if (ras)
        ras->releaseBlockedDials(ERROR_USER_DISCONNECTION);
    fixture->closeWindow();
    window = nullptr;
    ras.reset();
    platform::setSleepFunction(nullptr);
    tray::setSystemTrayAvailable(std::nullopt);
    qunsetenv("VELNOR_OPENVPN");
    qunsetenv("FAKE_OPENVPN_RECORD");
    qunsetenv("FAKE_OPENVPN_IGNORE_TERM");
    qunsetenv("VELNOR_NMCLI");
    fixture.reset();
}

void OpenVpnTest::signIn()
{
    window = fixture->openWindow();
    pausedWindow = window;
    // Ticks come from the test alone.
    window->findChild<QTimer*>(QString(), Qt::FindDirectChildrenOnly)->stop();
    child<QLineEdit>("username")->setText(QStringLiteral("Alice"));
    child<QLineEdit>("password")->setText(QStringLiteral("s\u00fcper secret"));
    child<QPushButton>("login")->click();
    QTRY_COMPARE(fixture->field("user_enabled"), QStringLiteral("1"));
    QTRY_VERIFY(child<QComboBox>("servers")->count() >= 3);
}

QStringList OpenVpnTest::record() const
{
    QFile file(recordFile);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QStringList OpenVpnTest::boxTitles() const
{
    QStringList titles;
    for (const auto& box : dialogs->boxes())
        titles << box.title;
    return titles;
}

void OpenVpnTest::connectStartsOpenVpn_data()
{
    QTest::addColumn<bool>("quick");
    QTest::addColumn<QString>("certificateText");
    QTest::addColumn<QString>("startText");
    QTest::newRow("manual") << false << "downloading OpenVPN certificate..."
                            << "starting connection";
    // Three entries and a trailing "|" make four stages.
    QTest::newRow("quick stage 3") << true << "Stage 3/4 downloading OpenVPN certificate..."
                                   << "Stage 3/4: starting connection";
}

void OpenVpnTest::connectStartsOpenVpn()
{
    QFETCH(bool, quick);
    QFETCH(QString, certificateText);
    QFETCH(QString, startText);

    FakeBackend::Response slow;
    slow.body = certificate;
    slow.delayMs = 300;
    backend->setResponse(certificatePath, slow);
    signIn();
    if (quick) {
        fixture->setField("quick_servers",
            QStringLiteral("North^198.51.100.1^PPTP|East^198.51.100.2^L2TP^key|") + openVpnEntry(QStringLiteral("West"))
                + QLatin1Char('|'));
        fixture->setField("quick_stage", QStringLiteral("2"));
        QVERIFY(QMetaObject::invokeMethod(window, "QuickConnectNextStage"));
    } else {
        fixture->setField("server_protocol", QStringLiteral("OpenVPN"));
        fixture->setField("server_certificate", url(certificatePath));
        fixture->setField("server_config", url(configPath));
        child<QPushButton>("connect")->click();
    }
    QCOMPARE(fixture->label("authstatus"), certificateText);
    QVERIFY(!child<QPushButton>("cancel")->isEnabled());
    QTRY_COMPARE(fixture->label("authstatus"), startText);
    QTRY_VERIFY_WITH_TIMEOUT(record().contains(QStringLiteral("end")), 20000);
    QVERIFY(child<QPushButton>("cancel")->isEnabled());

    const QString work = fixture->environment.workFolder();
    const QStringList lines = record();
    QStringList arguments;
    for (const QString& line : lines) {
        if (line.startsWith(QStringLiteral("arg=")))
            arguments << line.mid(4);
    }
    const QStringList expected { "--config", work + "/include/config.ovpn", "--script-security", "1", "--ca",
        work + "/include/certificate.crt", "--auth-user-pass", work + "/include/auth.conf", "--log",
        work + "/include/openvpn.log" };
    QCOMPARE(arguments, expected);
    QCOMPARE(lines.first(), QStringLiteral("cwd=") + work + QStringLiteral("/openvpn"));
    const auto content = [&lines](const QString& path) {
        for (const QString& line : lines) {
            if (line.startsWith(QStringLiteral("content=")) && line.endsWith(QLatin1Char(' ') + path))
                return QByteArray::fromBase64(line.mid(8).section(QLatin1Char(' '), 0, 0).toLatin1());
        }
        return QByteArray("missing");
    };
    QCOMPARE(content(work + "/include/auth.conf"), QByteArray("alice\ns\xc3\xbcper secret"));
    QCOMPARE(content(work + "/include/config.ovpn"), written);
    QCOMPARE(content(work + "/include/certificate.crt"), certificate);
    QVERIFY(lines.contains(QStringLiteral("mode=600 ") + work + "/include/auth.conf"));
    QCOMPARE(QFileInfo(work + "/include").permissions() & 0x0777, QFileDevice::Permissions(0x0700));

    QVERIFY(QMetaObject::invokeMethod(window, "on_disconnect_clicked"));
    // Stopped by a terminate, so it could restore its routes; the window
    // does not wait for it.
    QTRY_VERIFY_WITH_TIMEOUT(record().contains(QStringLiteral("terminated")), 20000);
    QVERIFY(!QFile::exists(include("auth.conf")));
    QVERIFY(!QFile::exists(include("certificate.crt")));
    QVERIFY(!QFile::exists(include("config.ovpn")));
    QVERIFY(QFile::exists(include("openvpn.log")));
}

void OpenVpnTest::failedDownloadStartsNothing_data()
{
    QTest::addColumn<int>("certificateStatus");
    QTest::addColumn<QByteArray>("config");
    QTest::addColumn<int>("configRequests");
    QTest::addColumn<bool>("starts");
    QTest::addColumn<QByteArray>("given"); // to OpenVPN, when it starts
    QTest::newRow("certificate 404") << 404 << configuration << 0 << false << QByteArray();
    QTest::newRow("config 500") << 200 << QByteArray() << 1 << false << QByteArray();
    QTest::newRow("plug-in") << 200 << QByteArray("client\nplugin /usr/lib/openvpn/down-root.so \"sh -c x\"\n") << 1
                             << false << QByteArray();
    QTest::newRow("management") << 200 << QByteArray("client\n  management 127.0.0.1 7505\n") << 1 << false
                                << QByteArray();
    QTest::newRow("pid file") << 200 << QByteArray("client\n--writepid /etc/passwd\n") << 1 << false << QByteArray();
    const QByteArray block = "client\n<tls-auth>\nstatus\ndaemon\n</tls-auth>\n";
    QTest::newRow("directive names in an inline block") << 200 << block << 1 << true << block;
    QTest::newRow("behind a redirect") << 200 << configuration << 1 << true << written;
    QTest::newRow("a script dropped") << 200 << QByteArray("--client\nup \"/bin/sh -c x\"\nverb '3'\n") << 1 << true
                                      << QByteArray("client\nverb 3\n");
}

void OpenVpnTest::failedDownloadStartsNothing()
{
    QFETCH(int, certificateStatus);
    QFETCH(QByteArray, config);
    QFETCH(int, configRequests);
    QFETCH(bool, starts);
    QFETCH(QByteArray, given);

    // One log line names each line left out.
    if (QByteArray(QTest::currentDataTag()) == "a script dropped")
        QTest::ignoreMessage(QtInfoMsg,
            "OpenVPN profile: dropped line 2: up: feeds a script, which never runs: the client gives --script-security "
            "1 last");
    backend->answer(certificatePath, certificate, certificateStatus);
    if (QByteArray(QTest::currentDataTag()) == "behind a redirect") {
        FakeBackend::Response moved;
        moved.status = 302;
        moved.body = QByteArrayLiteral("<html>moved</html>");
        moved.location = url(QStringLiteral("/real.ovpn")).toUtf8();
        backend->setResponse(configPath, moved);
        backend->answer(QStringLiteral("/real.ovpn"), config);
    } else {
        backend->answer(configPath, config, config.isEmpty() ? 500 : 200);
    }
    signIn();
    fixture->setField("server_protocol", QStringLiteral("OpenVPN"));
    fixture->setField("server_certificate", url(certificatePath));
    fixture->setField("server_config", url(configPath));
    child<QPushButton>("connect")->click();

    if (starts) {
        QTRY_VERIFY_WITH_TIMEOUT(record().contains(QStringLiteral("end")), 20000);
        QCOMPARE(fixture->label("authstatus"), QStringLiteral("starting connection"));
        QFile file(include("config.ovpn"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), given);
        return;
    }
    // The full disconnect ran (its "Ready!" then gives way to the account's text).
    QTRY_VERIFY(child<QWidget>("WidgetConnectingVPN")->isHidden());
    QCOMPARE(fixture->field("connectionStatus"), QStringLiteral("disconnected"));
    QCOMPARE(backend->requests(configPath).size(), configRequests);
    QTest::qWait(300);
    QVERIFY(record().isEmpty());
    QVERIFY(!QFile::exists(include("auth.conf")));
}

void OpenVpnTest::refusedProfileEndsAtOnce_data()
{
    QTest::addColumn<bool>("networkManager");
    QTest::addColumn<QByteArray>("config");
    QTest::addColumn<bool>("quick");
    QTest::addColumn<QString>("why"); // in include/openvpn.log
    const QByteArray code = "client\nremote h.example\nplugin /tmp/x.so\n";
    const QByteArray filter = "client\nremote h.example\npull-filter ignore route\n";
    QTest::newRow("direct: code") << false << code << false << "line 3: plugin: loads code into OpenVPN";
    QTest::newRow("NetworkManager: code") << true << code << false << "line 3: plugin: loads code into OpenVPN";
    QTest::newRow("NetworkManager: what the plug-in cannot carry")
        << true << filter << false << "line 3: pull-filter: the plug-in cannot filter what the server pushes";
    QTest::newRow("NetworkManager: a value the plug-in cannot carry")
        << true << QByteArray("client\nremote h.example\ncompress stub-v2\n") << false
        << "line 3: compress: a value the plug-in cannot carry";
    QTest::newRow("NetworkManager: the next quick-connect stage")
        << true << filter << true << "line 3: pull-filter: the plug-in cannot filter what the server pushes";
}

// Whichever way OpenVPN starts, a refused profile ends the attempt as soon
// as it is downloaded, as a failed download does, and the log says why.
void OpenVpnTest::refusedProfileEndsAtOnce()
{
    QFETCH(bool, networkManager);
    QFETCH(QByteArray, config);
    QFETCH(bool, quick);
    QFETCH(QString, why);

    const QString nmcli = fixture->environment.workFolder() + QStringLiteral("/nmcli");
    if (networkManager) {
        // NetworkManager runs here, with its OpenVPN plug-in; every call is logged.
        QFile script(nmcli);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\necho \"$*\" >> \"$0.log\"\ncase \"$*\" in *RUNNING*) echo running ;; esac\n");
        script.close();
        QVERIFY(script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
        if (!QFile::exists(QStringLiteral("/usr/lib/NetworkManager/VPN/nm-openvpn-service.name")))
            QSKIP("needs NetworkManager's OpenVPN plug-in (scripts/deps)");
        qunsetenv("VELNOR_OPENVPN");
        qputenv("VELNOR_NMCLI", nmcli.toUtf8());
    }
    backend->answer(configPath, config);
    signIn();
    QTest::ignoreMessage(QtWarningMsg, qPrintable(QStringLiteral("refusing an OpenVPN configuration: ") + why));
    if (quick) {
        fixture->setField(
            "quick_servers", openVpnEntry(QStringLiteral("West")) + QStringLiteral("|North^198.51.100.1^PPTP"));
        child<QPushButton>("quickConnect")->click();
        QTRY_COMPARE(fixture->field("quick_stage"), QStringLiteral("2"));
        QTRY_COMPARE(ras->entryCalls().size(), 1);
        QCOMPARE(dialledAddress(), QStringLiteral("198.51.100.1"));
    } else {
        fixture->setField("server_protocol", QStringLiteral("OpenVPN"));
        fixture->setField("server_certificate", url(certificatePath));
        fixture->setField("server_config", url(configPath));
        child<QPushButton>("connect")->click();
        // No tick of the monitor: the download's reply alone ends it.
        QTRY_VERIFY(child<QWidget>("WidgetConnectingVPN")->isHidden());
        QCOMPARE(fixture->field("connectionStatus"), QStringLiteral("disconnected"));
    }
    QFile log(include(QStringLiteral("openvpn.log")));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY2(log.readAll().contains(why.toUtf8()), qPrintable(why));
    QVERIFY(record().isEmpty());
    QFile calls(nmcli + QStringLiteral(".log"));
    QVERIFY(!calls.open(QIODevice::ReadOnly) || !calls.readAll().contains("connection add"));
}

void OpenVpnTest::staleReplyAfterDisconnect()
{
    FakeBackend::Response slow;
    slow.body = certificate;
    slow.delayMs = 300;
    backend->setResponse(certificatePath, slow);
    signIn();
    fixture->setField("server_protocol", QStringLiteral("OpenVPN"));
    fixture->setField("server_certificate", url(certificatePath));
    fixture->setField("server_config", url(configPath));
    child<QPushButton>("connect")->click();
    QTRY_COMPARE(backend->requests(certificatePath).size(), 1);
    // The time-out ends the attempt while the certificate is on its way.
    QVERIFY(QMetaObject::invokeMethod(window, "on_disconnect_clicked"));
    QTest::qWait(800);
    QCOMPARE(backend->requests(configPath).size(), 0);
    QVERIFY(record().isEmpty());
    QVERIFY(!QFile::exists(include("certificate.crt")));
    QCOMPARE(fixture->field("connectionStatus"), QStringLiteral("disconnected"));
}

void OpenVpnTest::openVpnIgnoringTerminateIsKilled()
{
    qputenv("FAKE_OPENVPN_IGNORE_TERM", "1");
    signIn();
    fixture->setField("server_protocol", QStringLiteral("OpenVPN"));
    fixture->setField("server_certificate", url(certificatePath));
    fixture->setField("server_config", url(configPath));
    child<QPushButton>("connect")->click();
    QTRY_VERIFY_WITH_TIMEOUT(record().contains(QStringLiteral("end")), 20000);
    auto* process = window->findChild<QProcess*>();
    QVERIFY(process);
    // The child may write its record before QProcess has seen it start.
    QTRY_COMPARE_WITH_TIMEOUT(process->state(), QProcess::Running, 20000);

    QVERIFY(QMetaObject::invokeMethod(window, "on_disconnect_clicked"));
    // The window goes on at once; the kill follows the grace period.
    QVERIFY2(process->state() == QProcess::Running, "the disconnect waited for OpenVPN");
    QTRY_COMPARE_WITH_TIMEOUT(process->state(), QProcess::NotRunning, 20000);
    QVERIFY(!record().contains(QStringLiteral("terminated")));
}

void OpenVpnTest::quickConnectTriesEveryEntry()
{
    backend->answer(certificatePath, QByteArray(), 404);
    signIn();
    fixture->setField("quick_servers",
        QStringLiteral("North^198.51.100.1^PPTP^ignored|East^198.51.100.2^L2TP^east-key^ignored|")
            + openVpnEntry(QStringLiteral("West")));
    ras->queueDial(authenticationFailure);
    ras->queueDial(authenticationFailure);
    child<QPushButton>("quickConnect")->click();

    QCOMPARE(fixture->label("connecting_title"), QStringLiteral("1/3 - Connecting to North"));
    QCOMPARE(fixture->label("authstatus"), QStringLiteral("Stage 1/3 in progress..."));
    QTRY_COMPARE(ras->dialCalls().size(), 1);
    QCOMPARE(dialledAddress(), QStringLiteral("198.51.100.1"));
    QCOMPARE(pauses, 0);

    QVERIFY(tickUntil([this] { return fixture->field("quick_stage") == QLatin1String("2"); }));
    QCOMPARE(pauses, 1);
    QCOMPARE(fixture->label("connecting_title"), QStringLiteral("2/3 - Connecting to East"));
    QTRY_COMPARE(ras->dialCalls().size(), 2);
    QCOMPARE(dialledAddress(), QStringLiteral("198.51.100.2"));
    QCOMPARE(fixture->field("server_pskey"), QStringLiteral("east-key"));

    // West's certificate cannot be had: the run gives up.
    QVERIFY(tickUntil([this] { return boxTitles().contains(connectionError); }));
    QCOMPARE(backend->requests(certificatePath).size(), 1);
    QCOMPARE(backend->requests(configPath).size(), 0);
    QCOMPARE(fixture->field("quick_stage"), QStringLiteral("0"));
    QCOMPARE(dialogs->last().icon, QMessageBox::Critical);
}

void OpenVpnTest::quickConnectListEdges_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("stage");
    QTest::addColumn<QString>("title"); // as the first stage tried leaves it
    QTest::addColumn<int>("dials"); // 0: the run ends in "Connection Error"
    QTest::addColumn<int>("pausesTaken");
    QTest::newRow("empty list") << ""
                                << "0"
                                << "1/1 - Connecting to " << 0 << 0;
    QTest::newRow("trailing bar") << "North^198.51.100.1^PPTP|"
                                  << "1"
                                  << "2/2 - Connecting to " << 0 << 0;
    QTest::newRow("unknown protocol, then PPTP") << "South^198.51.100.4^pptp|North^198.51.100.1^PPTP"
                                                 << "0"
                                                 << "1/2 - Connecting to South" << 1 << 1;
    QTest::newRow("two hundred empty entries") << QString(199, QLatin1Char('|')) << "0"
                                               << "1/200 - Connecting to " << 0 << 0;
}

// An entry that dials nothing is a stage that fails at once; the next one
// starts only after this call has returned.
void OpenVpnTest::quickConnectListEdges()
{
    QFETCH(QString, list);
    QFETCH(QString, stage);
    QFETCH(QString, title);
    QFETCH(int, dials);
    QFETCH(int, pausesTaken);

    signIn();
    fixture->setField("quick_servers", list);
    fixture->setField("quick_stage", stage);
    QVERIFY(QMetaObject::invokeMethod(window, "QuickConnectNextStage"));
    QCOMPARE(fixture->label("connecting_title"), title);
    QVERIFY(boxTitles().isEmpty());
    if (dials == 0) {
        QTRY_COMPARE_WITH_TIMEOUT(boxTitles(), QStringList { connectionError }, 20000);
        QCOMPARE(fixture->field("quick_stage"), QStringLiteral("0"));
    } else {
        QTRY_COMPARE(ras->dialCalls().size(), dials);
        QCOMPARE(fixture->label("authstatus"), QStringLiteral("Stage 2/2 in progress..."));
        QVERIFY(boxTitles().isEmpty());
    }
    QCOMPARE(pauses, pausesTaken);
    QCOMPARE(ras->dialCalls().size(), dials);
    QVERIFY(record().isEmpty());
}

void OpenVpnTest::quickConnectDisabledAccount()
{
    signIn();
    fixture->setField("user_enabled", QStringLiteral("0"));
    fixture->setField("quick_servers", QStringLiteral("North^198.51.100.1^PPTP"));
    child<QPushButton>("quickConnect")->click();
    QCOMPARE(boxTitles(), QStringList { QStringLiteral("Your account is disabled") });
    QCOMPARE(fixture->field("quick_stage"), QStringLiteral("1"));
    tick();
    tick();
    QVERIFY(child<QPushButton>("connect")->isEnabled());
    QVERIFY(!child<QPushButton>("quickConnect")->isEnabled());
    QTest::qWait(100);
    QCOMPARE(ras->dialCalls().size(), 0);
}

void OpenVpnTest::quickConnectStopsAtSuccess()
{
    signIn();
    fixture->setField(
        "quick_servers", QStringLiteral("North^198.51.100.1^PPTP|East^198.51.100.2^PPTP|South^198.51.100.3^PPTP"));
    ras->queueDial(authenticationFailure);
    ras->queueDial(0);
    child<QPushButton>("quickConnect")->click();
    QVERIFY(tickUntil([this] { return fixture->field("connectionStatus") == QLatin1String("connected"); }));
    QCOMPARE(fixture->field("quick_stage"), QStringLiteral("0"));
    QCOMPARE(fixture->label("connected_title"), QStringLiteral("Connected to East Server!"));
    for (int i = 0; i < 12; ++i)
        tick();
    QCOMPARE(ras->dialCalls().size(), 2);
    QVERIFY(boxTitles().isEmpty());
}

void OpenVpnTest::cancelDuringPauseDialsNothing()
{
    signIn();
    platform::setSleepFunction(cancelDuringPause);
    fixture->setField(
        "quick_servers", QStringLiteral("North^198.51.100.1^PPTP|") + openVpnEntry(QStringLiteral("West")));
    ras->queueDial(authenticationFailure);
    child<QPushButton>("quickConnect")->click();
    QVERIFY(tickUntil([] { return pauses == 1; }));
    QCOMPARE(fixture->field("quick_stage"), QStringLiteral("0"));
    QVERIFY(child<QWidget>("WidgetConnectingVPN")->isHidden());
    QTest::qWait(300);
    QCOMPARE(backend->requests(certificatePath).size(), 0);
    QCOMPARE(ras->dialCalls().size(), 1);
    QVERIFY(boxTitles().isEmpty());
}

QTEST_MAIN(OpenVpnTest)
#include "tst_openvpn.moc"
