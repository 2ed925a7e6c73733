#include "app/identity.h"
#include "app/settings.h"
#include "app/singleinstance.h"
#include "fakebackend.h"
#include "mainwindow/velnormain.h"
#include "testenvironment.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QtTest>

#include <csignal>
#include <limits>
#include <memory>

class SingleInstanceTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void decision_data();
    void decision();
    void storedHeartbeat_data();
    void storedHeartbeat();

    void refusedCopyAsksForRaise();
    void runningCopyServesRaiseRequest();
    void freshStartWhenHeartbeatIsStale();
    void folderLockOutlastsHeartbeat_data();
    void folderLockOutlastsHeartbeat();
    void tickServesRaiseRequestInProcess();
    void endRequestEndsLikeQuit_data();
    void endRequestEndsLikeQuit();
    void commandLine_data();
    void commandLine();

private:
    QProcess* startProgram(const QProcessEnvironment& extra = {}, const QStringList& arguments = {});
    QString readKey(const QString& key) const;
    void writeKey(const QString& key, const QString& value) const;

    std::unique_ptr<TestEnvironment> env;
    QList<QProcess*> processes;
};

void SingleInstanceTest::init()
{
    env = std::make_unique<TestEnvironment>();
    QVERIFY(env->isValid());
}

void SingleInstanceTest::cleanup()
{
    for (QProcess* process : processes) {
        process->kill();
        process->waitForFinished(5000);
        delete process;
    }
    processes.clear();
    env.reset();
}

QProcess* SingleInstanceTest::startProgram(const QProcessEnvironment& extra, const QStringList& arguments)
{
    auto* process = new QProcess;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("VELNOR_DATA_DIR"), env->workFolder());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(extra);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), env->configFolder());
    process->setProcessEnvironment(environment);
    process->setWorkingDirectory(env->workFolder());
    process->start(QStringLiteral(VELNOR_EXECUTABLE), arguments);
    processes.append(process);
    return process;
}

QString SingleInstanceTest::readKey(const QString& key) const
{
    QSettings settings;
    settings.sync();
    return settings.value(key).toString();
}

void SingleInstanceTest::writeKey(const QString& key, const QString& value) const
{
    QSettings settings;
    settings.setValue(key, value);
}

void SingleInstanceTest::decision_data()
{
    QTest::addColumn<qint64>("now");
    QTest::addColumn<qint64>("last");
    QTest::addColumn<bool>("mayStart");

    const qint64 now = 1'700'000'000'000;
    QTest::newRow("no heartbeat") << now << qint64(0) << true;
    QTest::newRow("exactly 5000 ms old") << now << now - 5000 << false;
    QTest::newRow("5001 ms old") << now << now - 5001 << true;
    QTest::newRow("fresh") << now << now - 3000 << false;
    // No live copy writes ahead of the clock: far-future values are stale.
    QTest::newRow("5000 ms ahead") << now << now + 5000 << false;
    QTest::newRow("5001 ms ahead") << now << now + 5001 << true;
    QTest::newRow("clock set back an hour") << now << now + 3'600'000 << true;
    QTest::newRow("largest value") << now << std::numeric_limits<qint64>::max() << true;
    QTest::newRow("smallest value") << now << std::numeric_limits<qint64>::min() << true;
}

void SingleInstanceTest::decision()
{
    QFETCH(qint64, now);
    QFETCH(qint64, last);
    QFETCH(bool, mayStart);
    QCOMPARE(app::singleinstance::mayStart(now, last), mayStart);
}

void SingleInstanceTest::storedHeartbeat_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<qint64>("expected");

    QTest::newRow("missing") << QVariant() << qint64(0);
    QTest::newRow("zero") << QVariant(QStringLiteral("0")) << qint64(0);
    QTest::newRow("number") << QVariant(QStringLiteral("1700000000123")) << qint64(1700000000123);
    QTest::newRow("not a number") << QVariant(QStringLiteral("yesterday")) << qint64(0);
    QTest::newRow("trailing junk") << QVariant(QStringLiteral("17x")) << qint64(0);
    QTest::newRow("negative") << QVariant(QStringLiteral("-20")) << qint64(-20);
}

void SingleInstanceTest::storedHeartbeat()
{
    QFETCH(QVariant, stored);
    QFETCH(qint64, expected);
    QCOMPARE(app::singleinstance::storedHeartbeat(stored), expected);
}

void SingleInstanceTest::refusedCopyAsksForRaise()
{
    // A heartbeat that looks like a live copy for the next few seconds.
    writeKey(QStringLiteral("vlrunning"), QString::number(QDateTime::currentMSecsSinceEpoch() + 4000));
    writeKey(QStringLiteral("vlmaximize"), QStringLiteral("0"));

    QProcess* second = startProgram();
    QVERIFY(second->waitForFinished(15000));
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);
    QVERIFY2(second->readAllStandardError().contains("was here"), "refused copy must say so");
    QCOMPARE(readKey(QStringLiteral("vlmaximize")), QStringLiteral("1"));
}

void SingleInstanceTest::runningCopyServesRaiseRequest()
{
    QProcess* first = startProgram();
    QVERIFY(first->waitForStarted(10000));
    // The first copy is up once its constructor wrote the heartbeat.
    QTRY_VERIFY_WITH_TIMEOUT(app::singleinstance::storedHeartbeat(readKey(QStringLiteral("vlrunning"))) > 0, 15000);

    QProcess* second = startProgram();
    QVERIFY(second->waitForFinished(15000));
    QCOMPARE(second->exitCode(), 0);
    QVERIFY(second->readAllStandardError().contains("was here"));
    QCOMPARE(first->state(), QProcess::Running);

    // Served at one of the first copy's next ticks; a loaded machine may delay one.
    QTRY_COMPARE_WITH_TIMEOUT(readKey(QStringLiteral("vlmaximize")), QStringLiteral("0"), 30000);
    QCOMPARE(first->state(), QProcess::Running);
}

void SingleInstanceTest::freshStartWhenHeartbeatIsStale()
{
    writeKey(QStringLiteral("vlrunning"), QString::number(QDateTime::currentMSecsSinceEpoch() - 5001));
    QProcess* copy = startProgram();
    // A started copy keeps running; a refused one would exit at once.
    QVERIFY(!copy->waitForFinished(2000));
    QCOMPARE(copy->state(), QProcess::Running);
    QVERIFY(!copy->readAllStandardError().contains("was here"));
}

void SingleInstanceTest::folderLockOutlastsHeartbeat_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<bool>("refused");
    QTest::newRow("first copy stopped") << SIGSTOP << true;
    QTest::newRow("first copy killed") << SIGKILL << false;
}

// The first copy's heartbeat is older than the window, but only a copy that
// has ended gives up the data folder.
void SingleInstanceTest::folderLockOutlastsHeartbeat()
{
    QFETCH(int, number);
    QFETCH(bool, refused);
    QProcess* first = startProgram();
    QTRY_VERIFY_WITH_TIMEOUT(app::singleinstance::storedHeartbeat(readKey(QStringLiteral("vlrunning"))) > 0, 15000);
    const QString credentials = env->workFolder() + QStringLiteral("/include/auth.conf");
    QVERIFY(QDir(env->workFolder()).mkpath(QStringLiteral("include")));
    QFile file(credentials);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    const auto firstPid = pid_t(first->processId());
    ::kill(firstPid, number);
    writeKey(QStringLiteral("vlrunning"), QString::number(QDateTime::currentMSecsSinceEpoch() - 8000));
    QProcess* second = startProgram();
    if (refused) {
        QVERIFY(second->waitForFinished(40000));
        QCOMPARE(second->exitCode(), 0);
        QVERIFY(second->readAllStandardError().contains("was here"));
        QVERIFY(QFile::exists(credentials));
        ::kill(firstPid, SIGCONT);
        QTRY_COMPARE_WITH_TIMEOUT(readKey(QStringLiteral("vlmaximize")), QStringLiteral("0"), 10000);
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(credentials), 15000);
        QCOMPARE(second->state(), QProcess::Running);
    }
}

void SingleInstanceTest::tickServesRaiseRequestInProcess()
{
    VelnorMain window;
    window.show();
    window.showMinimized();
    QVERIFY(window.isMinimized());

    writeKey(QStringLiteral("vlmaximize"), QStringLiteral("1"));
    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    QVERIFY(QMetaObject::invokeMethod(&window, "UpdateTimer"));

    QCOMPARE(readKey(QStringLiteral("vlmaximize")), QStringLiteral("0"));
    QVERIFY(app::singleinstance::storedHeartbeat(readKey(QStringLiteral("vlrunning"))) >= before);
    QVERIFY(window.isVisible());
    QVERIFY(!window.isMinimized());
    QCOMPARE(window.size(), QSize(360, 440));
}

void SingleInstanceTest::endRequestEndsLikeQuit_data()
{
    QTest::addColumn<int>("number");
    QTest::newRow("SIGINT (Ctrl-C)") << SIGINT;
    QTest::newRow("SIGTERM (log-out)") << SIGTERM;
    QTest::newRow("SIGHUP (terminal closed)") << SIGHUP;
}

// The real program signs in by itself and connects automatically by OpenVPN;
// a signal during the attempt must take it down as Quit does.
void SingleInstanceTest::endRequestEndsLikeQuit()
{
    QFETCH(int, number);
    FakeBackend backend;
    QByteArray catalogue = testFixture(QStringLiteral("catalogue.xml"));
    // The first server offers OpenVPN alone, downloaded from this backend.
    catalogue.replace("<pptp>\n                <enabled>1", "<pptp>\n                <enabled>0");
    catalogue.replace("<l2tp>\n                <enabled>1", "<l2tp>\n                <enabled>0");
    catalogue.replace("http://127.0.0.1:8707", backend.baseUrl().toUtf8());
    QByteArray account = testFixture(QStringLiteral("account.xml"));
    account.replace("<notice>Maintenance on Sunday</notice>", "<notice></notice>");
    backend.answer(QStringLiteral("/AppServersV2"), catalogue);
    backend.answer(QStringLiteral("/AppUserInfoV3"), account);
    backend.answer(
        QStringLiteral("/profiles/fra-ca.crt"), "-----BEGIN CERTIFICATE-----\nMIIB\n-----END CERTIFICATE-----\n");
    backend.answer(QStringLiteral("/profiles/fra-udp.ovpn"), "client\ndev tun\nremote 198.51.100.20 1194\n");
    app::settings::storeRememberedLogin(QStringLiteral("alice"), QStringLiteral("secret"), true);
    app::settings::setPreference(app::settings::Preference::AutoConnect, true);

    const QString record = env->workFolder() + QStringLiteral("/openvpn-record");
    const QString credentials = env->workFolder() + QStringLiteral("/include/auth.conf");
    QProcessEnvironment extra;
    extra.insert(QStringLiteral("VELNOR_API_BASE"), backend.baseUrl());
    extra.insert(QStringLiteral("VELNOR_IP_ECHO_URL"), backend.baseUrl() + QStringLiteral("/ip"));
    extra.insert(QStringLiteral("VELNOR_DATA_DIR"), env->workFolder());
    extra.insert(QStringLiteral("VELNOR_OPENVPN"), QStringLiteral(VELNOR_FAKE_OPENVPN));
    extra.insert(QStringLiteral("FAKE_OPENVPN_RECORD"), record);
    QProcess* program = startProgram(extra);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record) && QFile::exists(credentials), 15000);

    ::kill(pid_t(program->processId()), number);
    QVERIFY(program->waitForFinished(15000));
    QCOMPARE(program->exitStatus(), QProcess::NormalExit);
    QCOMPARE(program->exitCode(), 0);
    QFile recorded(record);
    QVERIFY(recorded.open(QIODevice::ReadOnly));
    QVERIFY2(recorded.readAll().contains("terminated"), "OpenVPN was not stopped");
    QVERIFY(!QFile::exists(credentials));
    QCOMPARE(readKey(QStringLiteral("vlrunning")), QStringLiteral("0"));
}

void SingleInstanceTest::commandLine_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("error");
    QTest::newRow("--help") << "--help" << 0 << "-v, --version" << QString();
    QTest::newRow("--version") << "--version" << 0 << QStringLiteral("velnor-vpn ") + app::version() << QString();
    QTest::newRow("unknown option") << "--frobnicate" << 2 << QString() << "velnor-vpn: Unknown option 'frobnicate'.";
    QTest::newRow("--help names --check-profile") << "--help" << 0 << "--check-profile" << QString();
    QTest::newRow("--check-profile without a file")
        << "--check-profile" << 2 << QString() << "velnor-vpn: --check-profile needs at least one profile file.";
}

// Answered before anything else: with no display, where a window would abort,
// and while a copy runs, which would take the start for a raise request.
void SingleInstanceTest::commandLine()
{
    QFETCH(QString, argument);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    QFETCH(QString, error);
    writeKey(QStringLiteral("vlrunning"), QString::number(QDateTime::currentMSecsSinceEpoch() + 4000));
    writeKey(QStringLiteral("vlmaximize"), QStringLiteral("0"));
    QProcessEnvironment noDisplay;
    noDisplay.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    noDisplay.insert(QStringLiteral("DISPLAY"), QString());
    noDisplay.insert(QStringLiteral("WAYLAND_DISPLAY"), QString());

    QProcess* program = startProgram(noDisplay, { argument });
    QVERIFY(program->waitForFinished(15000));
    QCOMPARE(program->exitStatus(), QProcess::NormalExit);
    QCOMPARE(program->exitCode(), exitCode);
    const QString printed = QString::fromLocal8Bit(program->readAllStandardOutput());
    const QString complaint = QString::fromLocal8Bit(program->readAllStandardError());
    QVERIFY2(printed.contains(output) && (output.isEmpty() || complaint.isEmpty()), qPrintable(printed));
    QVERIFY2(complaint.contains(error), qPrintable(complaint));
    QCOMPARE(readKey(QStringLiteral("vlmaximize")), QStringLiteral("0"));
}

QTEST_MAIN(SingleInstanceTest)
#include "tst_singleinstance.moc"
