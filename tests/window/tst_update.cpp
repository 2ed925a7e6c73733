#include "platform/installer.h"
#include "service/endpoints.h"
#include "urlcapture.h"
#include "windowfixture.h"

#include <QDir>
#include <QEventLoop>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QtTest>

#include <memory>

namespace {
const QString checkPath = QStringLiteral("/AppVer2/15.0801");
const QString installerPath = QStringLiteral("/download/setup.exe");

struct Started {
    QString program;
    QStringList arguments;
};
QList<Started> started;

bool recordStart(const QString& program, const QStringList& arguments)
{
    started.append({ program, arguments });
    return true;
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

// The update check at start, the question, and what an accepted update does
// here: the download page, never an installer.
class UpdateTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void check_data();
    void check();
    void progress_data();
    void progress();
    void acceptedUpdateOpensDownloadPage();
    void downloadFinished_data();
    void downloadFinished();

private:
    std::unique_ptr<WindowFixture> fixture;
    VelnorMain* window = nullptr;

    QString statusText() const { return fixture->child<QLabel>("authstatus")->text(); }
    QString installerUrl() const { return fixture->backend.baseUrl() + installerPath; }
};

void UpdateTest::init()
{
    fixture = std::make_unique<WindowFixture>();
    QVERIFY(fixture->backend.isListening());
    started.clear();
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

void UpdateTest::acceptedUpdateOpensDownloadPage()
{
    UrlCapture browser;
    fixture->backend.answer(checkPath, updateDocument("15.1001", installerUrl(), "Faster. "));
    fixture->backend.answer(installerPath, QByteArrayLiteral("MZ"));
    fixture->dialogs.answer(QMessageBox::Yes);
    window = fixture->openWindow();
    QTRY_COMPARE(browser.urls().size(), 1);
    QCOMPARE(browser.urls().first(), QUrl(service::endpoints::siteBase() + QStringLiteral("/download")));

    QTest::qWait(200);
    QVERIFY(fixture->backend.requests(installerPath).isEmpty());
    QVERIFY(!quitRequested());
    QVERIFY(started.isEmpty());
    QCOMPARE(QDir(fixture->environment.workFolder()).entryList(QDir::Files), QStringList());
}

// Reached only on Windows; here a finished download still saves and starts
// nothing, and the client stays.
void UpdateTest::downloadFinished_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("shown");
    QTest::newRow("downloaded") << 200 << "cannot save files";
    QTest::newRow("download fails") << 404 << "cannot download update pack";
}

void UpdateTest::downloadFinished()
{
    QFETCH(int, status);
    QFETCH(QString, shown);
    fixture->backend.answer(installerPath, QByteArrayLiteral("MZ installer"), status);
    window = fixture->openWindow();
    QNetworkAccessManager network;
    QNetworkReply* reply = network.get(QNetworkRequest(QUrl(installerUrl())));
    QSignalSpy finished(reply, &QNetworkReply::finished);
    QVERIFY(finished.wait());

    fixture->child<QWidget>("loading")->show();
    QVERIFY(QMetaObject::invokeMethod(window, "downloadFinished", Q_ARG(QNetworkReply*, reply)));
    QCOMPARE(statusText(), shown);
    QVERIFY(fixture->child<QWidget>("loading")->isHidden());
    QVERIFY(!quitRequested());
    QVERIFY(started.isEmpty());
    QCOMPARE(QDir(fixture->environment.workFolder()).entryList(QDir::Files), QStringList());
}

QTEST_MAIN(UpdateTest)
#include "tst_update.moc"
