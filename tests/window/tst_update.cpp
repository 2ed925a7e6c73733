#include "platform/installer.h"
#include "windowfixture.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QtTest>

#include <csignal>
#include <memory>
#include <sys/resource.h>

namespace {
const QString checkPath = QStringLiteral("/AppVer2/15.0801");
const QString installerPath = QStringLiteral("/download/setup.exe");

struct Started {
    QString program;
    QStringList arguments;
};
QList<Started> started;
bool startSucceeds = true;

bool recordStart(const QString& program, const QStringList& arguments)
{
    started.append({ program, arguments });
    return startSucceeds;
}

QByteArray updateDocument(const QString& version, const QString& url, const QString& notes)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<update><version>%1</version><url>%2</url>"
                          "<notes>%3</notes></update>\n")
        .arg(version.toHtmlEscaped(), url.toHtmlEscaped(), notes.toHtmlEscaped())
        .toUtf8();
}

// Whether something asked the application to quit. A quit request makes
// every event loop started afterwards return -1 at once; it is cleared here
// so the rest of the suite can run boxes again.
bool quitRequested()
{
    QEventLoop probe;
    QTimer::singleShot(0, &probe, [&probe] { probe.exit(1); });
    const bool requested = probe.exec() == -1;
    if (requested) {
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();
    }
    return requested;
}
} // namespace

// The update check at start, the question, the download with its progress,
// the saved installer and the hand-over.
class UpdateTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void check_data();
    void check();
    void progress_data();
    void progress();
    void download_data();
    void download();

private:
    std::unique_ptr<WindowFixture> fixture;
    VelnorMain* window = nullptr;

    QString statusText() const { return fixture->child<QLabel>("authstatus")->text(); }
    QString installerUrl() const { return fixture->backend.baseUrl() + installerPath; }
};

void UpdateTest::initTestCase()
{
    // A write past the file-size limit fails instead of ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
}

void UpdateTest::init()
{
    fixture = std::make_unique<WindowFixture>();
    QVERIFY(fixture->backend.isListening());
    started.clear();
    startSucceeds = true;
    platform::installer::setStarter(recordStart);
}

void UpdateTest::cleanup()
{
    fixture.reset();
    window = nullptr;
    platform::installer::setStarter(nullptr);
}

void UpdateTest::check_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("question"); // null: none asked
    QTest::addColumn<QString>("shown"); // null: the check leaves authstatus alone

    const QString url = QStringLiteral("http://127.0.0.1:9/setup.exe");
    QTest::newRow("same version") << 200 << updateDocument("15.0801", url, "n") << QString()
                                  << "application up to date";
    QTest::newRow("newer version") << 200 << updateDocument("15.1001", url, "Faster. ")
                                   << "Faster. Version 15.1001 is available for download. Do you want to start update?"
                                   << "new update available";
    QTest::newRow("older version") << 200 << updateDocument("14.0101", url, "Back. ")
                                   << "Back. Version 14.0101 is available for download. Do you want to start update?"
                                   << "new update available";
    QTest::newRow("version as a prefix") << 200 << updateDocument("15.08010", url, "")
                                         << "Version 15.08010 is available for download. Do you want to start update?"
                                         << "new update available";
    QTest::newRow("empty version field") << 200 << updateDocument("", url, "Notes. ")
                                         << "Version  is available for download. Do you want to start update?"
                                         << "new update available";
    QTest::newRow("notes as markup") << 200 << updateDocument("15.1001", url, "<b>bold</b> ")
                                     << "<b>bold</b> Version 15.1001 is available for download. Do you want to start "
                                        "update?"
                                     << "new update available";
    QTest::newRow("portal page") << 200
                                 << QByteArray("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Wi-Fi</title>"
                                               "</head><body>Sign in</body></html>")
                                 << QString() << QString();
    QTest::newRow("empty reply") << 200 << QByteArray() << QString() << QString();
    QTest::newRow("server error") << 503 << updateDocument("15.1001", url, "n") << QString() << QString();
}

void UpdateTest::check()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, question);
    QFETCH(QString, shown);
    fixture->backend.answer(checkPath, body, status);
    // A window that never gets an answer shows this.
    const QString untouched = QStringLiteral("untouched");

    window = fixture->openWindow();
    fixture->child<QLabel>("authstatus")->setText(untouched);
    QTRY_COMPARE(fixture->delivered->count(checkPath), 1);

    QCOMPARE(fixture->backend.requests(checkPath).size(), 1);
    QCOMPARE(statusText(), shown.isNull() ? untouched : shown);
    if (question.isNull()) {
        QVERIFY(fixture->dialogs.boxes().isEmpty());
    } else {
        QCOMPARE(fixture->dialogs.boxes().size(), 1);
        const DialogDriver::Box box = fixture->dialogs.last();
        QCOMPARE(box.title, QStringLiteral("New update available"));
        QCOMPARE(box.text, question);
        QCOMPARE(box.format, Qt::PlainText);
        QCOMPARE(box.buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(box.defaultButton, QMessageBox::NoButton);
        QVERIFY(box.hasParent);
    }
    // Declined: nothing is fetched.
    QVERIFY(fixture->backend.requests(installerPath).isEmpty());
}

void UpdateTest::progress_data()
{
    QTest::addColumn<qint64>("received");
    QTest::addColumn<qint64>("total");
    QTest::addColumn<QString>("shown");

    QTest::newRow("a quarter") << qint64(512) << qint64(2048) << "25% downloaded";
    QTest::newRow("one byte short") << qint64(2047) << qint64(2048) << "99% downloaded";
    QTest::newRow("total unknown") << qint64(3 * 1024 + 1000) << qint64(-1) << "3 KB downloaded";
    QTest::newRow("total zero") << qint64(500) << qint64(0) << "0 KB downloaded";
}

void UpdateTest::progress()
{
    QFETCH(qint64, received);
    QFETCH(qint64, total);
    QFETCH(QString, shown);
    window = fixture->openWindow();
    QVERIFY(QMetaObject::invokeMethod(window, "downloadProgress", Q_ARG(qint64, received), Q_ARG(qint64, total)));
    QCOMPARE(statusText(), shown);
}

void UpdateTest::download_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("trouble");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("installed");

    QTest::newRow("saved and handed over") << 200 << ""
                                           << "" << true;
    QTest::newRow("hand-over fails") << 200 << "no start"
                                     << "" << true;
    QTest::newRow("download fails") << 404 << ""
                                    << "cannot download update pack" << false;
    QTest::newRow("folder gone") << 200 << "folder gone"
                                 << "cannot save files" << false;
    QTest::newRow("disk full") << 200 << "disk full"
                               << "cannot save files" << false;
}

void UpdateTest::download()
{
    QFETCH(int, status);
    QFETCH(QString, trouble);
    QFETCH(QString, shown);
    QFETCH(bool, installed);

    QByteArray installer(300 * 1024, 'x');
    installer.prepend("MZ");
    fixture->backend.answer(checkPath, updateDocument("15.1001", installerUrl(), "Faster. "));
    fixture->backend.answer(installerPath, installer, status);
    fixture->dialogs.answer(QMessageBox::Yes);
    QString folder = fixture->environment.workFolder();
    if (trouble == QLatin1String("folder gone")) {
        folder += QStringLiteral("/gone");
        QVERIFY(QDir().mkdir(folder));
        QVERIFY(QDir::setCurrent(folder));
        QVERIFY(QDir().rmdir(folder));
    }
    startSucceeds = trouble != QLatin1String("no start");

    // Set before the window exists: the download may be saved as soon as
    // the question is answered.
    rlimit previous {};
    if (trouble == QLatin1String("disk full")) {
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &previous), 0);
        rlimit small = previous;
        small.rlim_cur = 64 * 1024;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    }
    window = fixture->openWindow();
    QTRY_COMPARE(fixture->delivered->count(checkPath), 1);
    QTRY_COMPARE_WITH_TIMEOUT(fixture->delivered->count(installerPath), 1, 30000);
    if (trouble == QLatin1String("disk full"))
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &previous), 0);

    QFile saved(folder + QStringLiteral("/update.exe"));
    QCOMPARE(quitRequested(), installed);
    QVERIFY(fixture->child<QWidget>("loading")->isHidden());
    if (!installed) {
        QCOMPARE(statusText(), shown);
        QVERIFY(started.isEmpty());
        QVERIFY(!saved.exists());
        // Nothing half-written is left behind either.
        QCOMPARE(QDir(fixture->environment.workFolder()).entryList(QDir::Files), QStringList());
        return;
    }
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), installer);
    // Owner-only, and not executable.
    QCOMPARE(saved.permissions(),
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser);
    // Shown in its folder, never run or opened itself.
    QCOMPARE(started.size(), 1);
    QCOMPARE(started.first().program, QStringLiteral("xdg-open"));
    QCOMPARE(started.first().arguments, QStringList { QDir(folder).absolutePath() });
}

QTEST_MAIN(UpdateTest)
#include "tst_update.moc"
