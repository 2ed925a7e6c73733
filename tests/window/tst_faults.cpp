#include "fakebackend.h"
#include "mainwindow/tray.h"
#include "mainwindow/velnormain.h"
#include "service/request.h"
#include "windowfixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
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

#include <csignal>

namespace {
const QString certificatePath = QStringLiteral("/profiles/ca.crt");
const QString configPath = QStringLiteral("/profiles/client.ovpn");
const QByteArray certificate = QByteArrayLiteral("-----BEGIN CERTIFICATE-----\nMIIB\n-----END CERTIFICATE-----\n");
const QByteArray configuration = QByteArrayLiteral("client\ndev tun\nremote 198.51.100.20 1194\n");
// The window lower-cases the password before it uses it.
const QString typedPassword = QStringLiteral("Fault-Secret-7");
const QString password = typedPassword.toLower();

// Every line the program logs during the suite.
QStringList logLines;
QtMessageHandler previousHandler = nullptr;
void captureMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    logLines << message;
    previousHandler(type, context, message);
}

QByteArray account()
{
    QByteArray document = testFixture(QStringLiteral("account.xml"));
    return document.replace(
        QByteArrayLiteral("<notice>Maintenance on Sunday</notice>"), QByteArrayLiteral("<notice></notice>"));
}

// What of the secret a file, a command line or a log line must never hold.
QList<QByteArray> secrets()
{
    return { password.toUtf8(), typedPassword.toUtf8(), service::credentialDigest(password).toUtf8() };
}

// Processes whose parent is this one.
QStringList childProcesses()
{
    QStringList children;
    const QString self = QString::number(QCoreApplication::applicationPid());
    const QStringList processes = QDir(QStringLiteral("/proc")).entryList({ QStringLiteral("[0-9]*") }, QDir::Dirs);
    for (const QString& pid : processes) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        // "pid (name) state ppid ...": the name may hold spaces.
        if (stat.open(QIODevice::ReadOnly)
            && QString::fromUtf8(stat.readAll()).section(QLatin1Char(')'), -1).section(QLatin1Char(' '), 2, 2) == self)
            children << pid;
    }
    return children;
}

bool holdsSecret(const QByteArray& bytes)
{
    for (const QByteArray& secret : secrets()) {
        if (bytes.contains(secret))
            return true;
    }
    return false;
}
} // namespace

// Faults injected on the OpenVPN path: every download failing in each way the
// network can fail, the client's own folder hostile, the executable absent.
// The window must stay usable and say what went wrong, and neither a file
// nor a process of the attempt may be left; the secret must reach no log, no
// command line and no file others can read.
class FaultsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void serviceRequestFaults_data();
    void serviceRequestFaults();
    void openVpnFaults_data();
    void openVpnFaults();
    void openVpnKilledWhileConnected();
    void settingsFileFaults_data();
    void settingsFileFaults();
    void noSecretLeftBehind();

private:
    std::unique_ptr<WindowFixture> fixture;
    VelnorMain* window = nullptr;
    QString recordFile;
    QString mounted; // a file system the test mounted, taken down in cleanup()

    template <typename T = QWidget>
    T* child(const char* name) const
    {
        return fixture->child<T>(name);
    }
    QString url(const QString& path) const { return fixture->backend.baseUrl() + path; }
    QString include(const QString& name) const
    {
        return fixture->environment.workFolder() + QStringLiteral("/include/") + name;
    }
    void signIn(bool remember = false);
    void signInAndConnect(bool remember = false);
    void signInAndConnectAfterSignIn();
    // The fake OpenVPN notes the terminate it was stopped with.
    bool stopped() const
    {
        QFile record(recordFile);
        return record.open(QIODevice::ReadOnly) && record.readAll().contains("terminated");
    }
};

void FaultsTest::initTestCase() { previousHandler = qInstallMessageHandler(captureMessage); }

void FaultsTest::cleanupTestCase()
{
    qInstallMessageHandler(previousHandler);
    for (const QString& line : qAsConst(logLines))
        QVERIFY2(!holdsSecret(line.toUtf8()), qPrintable(line));
}

void FaultsTest::init()
{
    fixture = std::make_unique<WindowFixture>();
    QVERIFY(fixture->backend.isListening());
    fixture->backend.answer(QStringLiteral("/AppServersV2"), testFixture(QStringLiteral("catalogue.xml")));
    fixture->backend.answer(QStringLiteral("/AppUserInfoV3"), account());
    fixture->backend.answer(certificatePath, certificate);
    fixture->backend.answer(configPath, configuration);
    tray::setSystemTrayAvailable(true);
    recordFile = fixture->environment.workFolder() + QStringLiteral("/openvpn-record");
    qputenv("VELNOR_OPENVPN", QByteArrayLiteral(VELNOR_FAKE_OPENVPN));
    qputenv("FAKE_OPENVPN_RECORD", recordFile.toUtf8());
    qputenv("VELNOR_TRANSFER_TIMEOUT_MS", "1500");
}

void FaultsTest::cleanup()
{
    fixture->closeWindow();
    window = nullptr;
    if (!mounted.isEmpty())
        QCOMPARE(QProcess::execute(QStringLiteral("umount"), { mounted }), 0);
    mounted.clear();
    // No process of the test's attempts outlives its window.
    QTRY_COMPARE(childProcesses(), QStringList());
    tray::setSystemTrayAvailable(std::nullopt);
    qunsetenv("VELNOR_OPENVPN");
    qunsetenv("FAKE_OPENVPN_RECORD");
    qunsetenv("VELNOR_TRANSFER_TIMEOUT_MS");
    fixture.reset();
}

void FaultsTest::signIn(bool remember)
{
    window = fixture->openWindow();
    window->findChild<QTimer*>(QString(), Qt::FindDirectChildrenOnly)->stop();
    child<QLineEdit>("username")->setText(QStringLiteral("alice"));
    child<QLineEdit>("password")->setText(typedPassword);
    child<QCheckBox>("autologin")->setChecked(remember);
    child<QPushButton>("login")->click();
    // The catalogue's walk would overwrite the addresses set for a connect.
    QTRY_VERIFY(child<QComboBox>("servers")->count() >= 3);
}

void FaultsTest::signInAndConnect(bool remember)
{
    signIn(remember);
    signInAndConnectAfterSignIn();
}

void FaultsTest::signInAndConnectAfterSignIn()
{
    QTRY_COMPARE(child<QLineEdit>("user_enabled")->text(), QStringLiteral("1"));
    child<QLineEdit>("server_protocol")->setText(QStringLiteral("OpenVPN"));
    child<QLineEdit>("server_certificate")->setText(url(certificatePath));
    child<QLineEdit>("server_config")->setText(url(configPath));
    child<QPushButton>("connect")->click();
}

void FaultsTest::serviceRequestFaults_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("fault");
    for (const char* path : { "/AppUserInfoV3", "/AppVer2/15.0801", "/ip" }) {
        for (const char* fault : { "stalled", "dropped", "cut mid-body", "500", "empty", "50 MB" })
            QTest::newRow(qPrintable(QLatin1String(path) + QLatin1Char(' ') + QLatin1String(fault))) << path << fault;
    }
}

// The requests made after sign-in fail silently (the next tick asks again):
// no box, and the window still signs out.
void FaultsTest::serviceRequestFaults()
{
    QFETCH(QString, path);
    QFETCH(QString, fault);

    FakeBackend& backend = fixture->backend;
    if (fault == QLatin1String("stalled"))
        backend.stall(path);
    else if (fault == QLatin1String("dropped"))
        backend.drop(path);
    else if (fault == QLatin1String("cut mid-body"))
        backend.cutMidBody(path, path == QLatin1String("/AppUserInfoV3") ? account() : QByteArray(4096, 'x'));
    else if (fault == QLatin1String("500"))
        backend.answer(path, path == QLatin1String("/AppUserInfoV3") ? account() : QByteArray("x"), 500);
    else if (fault == QLatin1String("empty"))
        backend.answer(path, QByteArray());
    else
        backend.answer(path, QByteArray(50 * 1024 * 1024, '<'));

    signIn();
    QTRY_VERIFY_WITH_TIMEOUT(fixture->delivered->count(path) >= 1, 15000);
    QVERIFY(fixture->dialogs.boxes().isEmpty());
    if (path == QLatin1String("/AppUserInfoV3"))
        QVERIFY(child<QLineEdit>("user_enabled")->text().isEmpty());
    QVERIFY(child<QLabel>("authstatus")->text() != QLatin1String("new update available"));

    child<QPushButton>("logout")->click();
    QTRY_VERIFY(child<QWidget>("username")->isEnabled() && child<QWidget>("login")->isEnabled());
    QVERIFY(child<QLineEdit>("password")->text().isEmpty());
}

void FaultsTest::openVpnFaults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("path");
    // A failed download ends the attempt at once (its error text gives way to
    // the reset's); anything the executable then makes of its files is its
    // own affair, and the attempt waits until cancelled or timed out.
    QTest::addColumn<bool>("runs");

    for (const QString& download : { certificatePath, configPath }) {
        const QString which = download == certificatePath ? QStringLiteral("certificate ") : QStringLiteral("config ");
        for (const char* fault : { "stalled", "dropped", "cut mid-body", "500", "50 MB" })
            QTest::newRow(qPrintable(which + QLatin1String(fault))) << fault << download << false;
        // An empty configuration holds no directive; an empty certificate is no PEM certificate.
        QTest::newRow(qPrintable(which + QStringLiteral("empty"))) << "empty" << download << (download == configPath);
    }
    QTest::newRow("include is no folder") << "include is a file" << QString() << false;
    QTest::newRow("include on a full file system") << "include full" << QString() << false;
    // Cleared with the attempt's leftovers; during the download it is met
    // where the credentials go, and never written through.
    QTest::newRow("link at include/auth.conf before connect") << "link before" << QString() << true;
    QTest::newRow("link at include/auth.conf during download") << "link during" << QString() << false;
    QTest::newRow("executable missing") << "missing" << QString() << true;
    QTest::newRow("executable exits at once") << "exits" << QString() << true;
}

void FaultsTest::openVpnFaults()
{
    QFETCH(QString, fault);
    QFETCH(QString, path);
    QFETCH(bool, runs);

    FakeBackend& backend = fixture->backend;
    // Only the fake executable leaves a record of its start.
    const bool recordsStart = fault != QLatin1String("missing") && fault != QLatin1String("exits");
    const QString outside = fixture->environment.configFolder() + QStringLiteral("/elsewhere");
    if (fault == QLatin1String("stalled"))
        backend.stall(path);
    else if (fault == QLatin1String("dropped"))
        backend.drop(path);
    else if (fault == QLatin1String("cut mid-body"))
        backend.cutMidBody(path, path == certificatePath ? certificate : configuration);
    else if (fault == QLatin1String("500"))
        backend.answer(path, path == certificatePath ? certificate : configuration, 500);
    else if (fault == QLatin1String("empty"))
        backend.answer(path, QByteArray());
    else if (fault == QLatin1String("50 MB"))
        backend.answer(path, QByteArray(50 * 1024 * 1024, 'a'));
    else if (fault == QLatin1String("include is a file"))
        QVERIFY(QFile(fixture->environment.workFolder() + QStringLiteral("/include")).open(QIODevice::WriteOnly));
    else if (fault == QLatin1String("missing"))
        qputenv("VELNOR_OPENVPN", "/nonexistent/openvpn");
    else if (fault == QLatin1String("exits"))
        qputenv("VELNOR_OPENVPN", "false");
    if (fault == QLatin1String("include full")) {
        // One page, taken by a file of its own: the first input file finds no room.
        const QString folder = include(QString());
        QVERIFY(QDir().mkpath(folder));
        if (QProcess::execute(QStringLiteral("mount"), { "-t", "tmpfs", "-o", "size=4k", "tmpfs", folder }) != 0)
            QSKIP("mounting a file system needs root");
        mounted = folder;
        QFile filler(include(QStringLiteral("filler")));
        QVERIFY(filler.open(QIODevice::WriteOnly));
        filler.write(QByteArray(4096, 'f'));
        filler.close();
        QCOMPARE(filler.size(), qint64(4096));
    }
    const auto plantLink = [&] {
        QVERIFY(QDir(fixture->environment.workFolder()).mkpath(QStringLiteral("include")));
        QFile target(outside);
        QVERIFY(target.open(QIODevice::WriteOnly));
        target.write("untouched");
        target.close();
        QVERIFY(QFile::link(outside, include(QStringLiteral("auth.conf"))));
    };
    if (fault == QLatin1String("link before")) {
        plantLink();
    } else if (fault == QLatin1String("link during")) {
        FakeBackend::Response slow;
        slow.body = configuration;
        slow.delayMs = 300;
        backend.setResponse(configPath, slow);
    }

    signInAndConnect();
    if (fault == QLatin1String("link during")) {
        QTRY_COMPARE(backend.requests(configPath).size(), 1);
        plantLink();
    }
    if (runs) {
        QTRY_COMPARE(child<QLabel>("authstatus")->text(), QStringLiteral("starting connection"));
        QTRY_VERIFY(child<QPushButton>("cancel")->isEnabled());
        if (recordsStart)
            QTRY_VERIFY(QFile::exists(recordFile));
        child<QPushButton>("cancel")->click();
    }
    // Usable again, in the disconnected state with the account's text.
    QTRY_VERIFY(child<QWidget>("WidgetConnectingVPN")->isHidden());
    QCOMPARE(child<QLineEdit>("connectionStatus")->text(), QStringLiteral("disconnected"));
    QTRY_COMPARE(child<QLabel>("authstatus")->text(), QStringLiteral("50 GB quota available"));
    // Connect comes back on the monitor's second tick.
    for (int tick = 0; tick < 2; ++tick)
        QVERIFY(QMetaObject::invokeMethod(window, "UpdateTimer"));
    QVERIFY(child<QPushButton>("connect")->isEnabled());

    if (runs && recordsStart) {
        QTRY_VERIFY(stopped());
    } else {
        QTest::qWait(200);
        QVERIFY2(!QFile::exists(recordFile), "OpenVPN was started");
    }
    for (const char* name : { "auth.conf", "certificate.crt", "config.ovpn" })
        QVERIFY2(!QFileInfo(include(QLatin1String(name))).exists(), name);
    if (fault.startsWith(QLatin1String("link"))) {
        QFile target(outside);
        QVERIFY(target.open(QIODevice::ReadOnly));
        QCOMPARE(target.readAll(), QByteArray("untouched"));
    }
}

// The tunnel program dies under a confirmed connection: the monitor sees the
// public address change, reconnects, and a disconnect then leaves nothing.
void FaultsTest::openVpnKilledWhileConnected()
{
    const auto echoPage = [](const QString& address) {
        return QStringLiteral("<html><body>Current IP Address: %1</body></html>").arg(address).toUtf8();
    };
    signIn();
    const QString assigned = child<QLineEdit>("server_assignedIP")->text();
    QVERIFY(!assigned.isEmpty());
    signInAndConnectAfterSignIn();
    QTRY_VERIFY(QFile::exists(recordFile));
    fixture->backend.answer(QStringLiteral("/ip"), echoPage(assigned));
    const auto tickUntil = [this](const std::function<bool()>& done) {
        // Each tick's work (the fake's start, the IP check) may take long on
        // a busy machine: wait for it, not for a fixed time.
        for (int i = 0; i < 40 && !done(); ++i) {
            QMetaObject::invokeMethod(window, "UpdateTimer");
            if (QTest::qWaitFor(done, 500))
                break;
        }
        return done();
    };
    QVERIFY(tickUntil([this] { return child<QLineEdit>("connectionStatus")->text() == QLatin1String("connected"); }));
    const QStringList running = childProcesses();
    QCOMPARE(running.size(), 1);

    QVERIFY(QFile::remove(recordFile));
    QCOMPARE(::kill(running.first().toInt(), SIGKILL), 0);
    fixture->backend.answer(QStringLiteral("/ip"), echoPage(QStringLiteral("203.0.113.99")));
    QVERIFY(tickUntil([this] { return QFile::exists(recordFile); }));
    // Reconnected with a new executable; the killed one is reaped.
    QTRY_COMPARE(childProcesses().size(), 1);
    QVERIFY(childProcesses() != running);

    child<QPushButton>("cancel")->click();
    QTRY_VERIFY(stopped());
    QTRY_COMPARE(childProcesses(), QStringList());
    for (const char* name : { "auth.conf", "certificate.crt", "config.ovpn" })
        QVERIFY2(!QFileInfo(include(QLatin1String(name))).exists(), name);
}

void FaultsTest::settingsFileFaults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("corrupt") << "corrupt";
    // Unreadable and unwritable even for root.
    QTest::newRow("a folder in its place") << "folder";
}

// Whatever the settings file holds or allows, the window opens with the
// defaults, signs in and connects.
void FaultsTest::settingsFileFaults()
{
    QFETCH(QString, fault);
    const QString path = fixture->environment.settingsFile();
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    if (fault == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(path));
    } else {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("[General\n\xff\xfe=\x00\n[[[\nremember=\"", 28));
    }

    signInAndConnect(true);
    QTRY_VERIFY(QFile::exists(recordFile));
    QVERIFY(QMetaObject::invokeMethod(window, "on_disconnect_clicked"));
    QTRY_VERIFY(stopped());
    QVERIFY(!QFile::exists(include(QStringLiteral("auth.conf"))));
}

void FaultsTest::noSecretLeftBehind()
{
    signInAndConnect(true);
    QTRY_VERIFY(QFile::exists(recordFile));
    // The probe the cleanup relies on sees the running executable.
    QVERIFY(!childProcesses().isEmpty());

    // While OpenVPN runs: on no command line of the machine.
    const QStringList processes = QDir(QStringLiteral("/proc")).entryList({ QStringLiteral("[0-9]*") }, QDir::Dirs);
    for (const QString& pid : processes) {
        QFile commandLine(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (commandLine.open(QIODevice::ReadOnly))
            QVERIFY2(!holdsSecret(commandLine.readAll()), qPrintable(pid));
    }
    // In no file that others may read, and the private places are owner-only.
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::ReadOther;
    const QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
        | QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser;
    int filesWithSecret = 0;
    for (const QString& folder : { fixture->environment.workFolder(), fixture->environment.configFolder() }) {
        QDirIterator files(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            QFile file(files.next());
            QVERIFY(file.open(QIODevice::ReadOnly));
            if (!holdsSecret(file.readAll()))
                continue;
            ++filesWithSecret;
            QVERIFY2(!(file.permissions() & others), qPrintable(file.fileName()));
        }
    }
    // The credentials file and the remembered login.
    QCOMPARE(filesWithSecret, 2);
    QCOMPARE(QFileInfo(include(QString())).permissions() & ~ownerOnly, QFileDevice::Permissions());
    QCOMPARE(QFileInfo(fixture->environment.settingsFile()).permissions() & ~ownerOnly, QFileDevice::Permissions());

    QVERIFY(QMetaObject::invokeMethod(window, "on_disconnect_clicked"));
    QTRY_VERIFY(stopped());
    QVERIFY(!QFile::exists(include(QStringLiteral("auth.conf"))));
}

QTEST_MAIN(FaultsTest)
#include "tst_faults.moc"
