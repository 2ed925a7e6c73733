#include "service/update.h"

#include <QtTest>

Q_DECLARE_METATYPE(std::optional<qint64>)

// The update document, the progress percentage and the installer's source:
// the window-free rules of the self-update.
class UpdateDocumentTest : public QObject {
    Q_OBJECT

private slots:
    void readOffer_data();
    void readOffer();
    void percent_data();
    void percent();
    void installerSource_data();
    void installerSource();
};

void UpdateDocumentTest::readOffer_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<bool>("offered");
    QTest::addColumn<QStringList>("fields");

    const QStringList demo { "15.1001", "http://127.0.0.1:8707/download/setup.exe", "Faster connects. " };
    QTest::newRow("the service's layout")
        << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<update><version>15.1001</version><url>"
                      "http://127.0.0.1:8707/download/setup.exe</url><notes>Faster connects. </notes></update>\n")
        << true << demo;
    QTest::newRow("no declaration, blank before the first field") << QByteArray(
        "<u>\n  <a>15.1001</a><b>http://127.0.0.1:8707/download/setup.exe</b><c>Faster connects. "
        "</c>\n</u>") << true << demo;
    QTest::newRow("declared encoding") << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><u><a>1</a><b>x"
                                                     "</b><c>J\xfcrgen</c></u>")
                                       << true << QStringList { "1", "x", QStringLiteral("J\u00fcrgen") };
    QTest::newRow("empty version shifts the rest")
        << QByteArray("<u><a></a><b>http://h/setup.exe</b><c>notes</c></u>") << true << QStringList { "", "", "" };
    QTest::newRow("empty notes") << QByteArray("<u><a>2</a><b>http://h/s.exe</b><c></c></u>") << true
                                 << QStringList { "2", "http://h/s.exe", "" };
    QTest::newRow("portal page") << QByteArray("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Sign in "
                                               "to Wi-Fi</title></head><body><p>Accept the terms</p></body></html>")
                                 << false << QStringList();
    QTest::newRow("plain text") << QByteArray("Service unavailable") << false << QStringList();
    QTest::newRow("empty body") << QByteArray() << false << QStringList();
    QTest::newRow("root without fields") << QByteArray("<update>15.1001</update>") << false << QStringList();
    QTest::newRow("cut off in the fields")
        << QByteArray("<u><a>2</a><b>http://h/s.exe</b><c>no") << false << QStringList();
}

void UpdateDocumentTest::readOffer()
{
    QFETCH(QByteArray, document);
    QFETCH(bool, offered);
    QFETCH(QStringList, fields);

    const std::optional<service::update::Offer> offer = service::update::readOffer(document);
    QCOMPARE(offer.has_value(), offered);
    if (offer)
        QCOMPARE((QStringList { offer->version, offer->url, offer->notes }), fields);
}

void UpdateDocumentTest::percent_data()
{
    QTest::addColumn<qint64>("received");
    QTest::addColumn<qint64>("total");
    QTest::addColumn<std::optional<qint64>>("percent");

    QTest::newRow("a quarter") << qint64(512) << qint64(2048) << std::optional<qint64>(25);
    QTest::newRow("one byte short") << qint64(2047) << qint64(2048) << std::optional<qint64>(99);
    QTest::newRow("all") << qint64(2048) << qint64(2048) << std::optional<qint64>(100);
    QTest::newRow("nothing yet") << qint64(0) << qint64(2048) << std::optional<qint64>(0);
    QTest::newRow("past the total") << qint64(4096) << qint64(2048) << std::optional<qint64>(100);
    QTest::newRow("large") << qint64(400) * 1024 * 1024 << qint64(512) * 1024 * 1024 << std::optional<qint64>(78);
    QTest::newRow("total unknown") << qint64(512) << qint64(-1) << std::optional<qint64>();
    QTest::newRow("total zero") << qint64(512) << qint64(0) << std::optional<qint64>();
}

void UpdateDocumentTest::percent()
{
    QFETCH(qint64, received);
    QFETCH(qint64, total);
    QFETCH(std::optional<qint64>, percent);
    QCOMPARE(service::update::percent(received, total), percent);
}

void UpdateDocumentTest::installerSource_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("whenRun");
    QTest::addColumn<bool>("whenShown");

    QTest::newRow("https") << "https://updates.example/setup.exe" << true << true;
    QTest::newRow("https in capitals") << "HTTPS://updates.example/setup.exe" << true << true;
    QTest::newRow("http") << "http://updates.example/setup.exe" << false << true;
    QTest::newRow("local file") << "file:///tmp/setup.exe" << false << false;
    QTest::newRow("ftp") << "ftp://updates.example/setup.exe" << false << false;
    QTest::newRow("no address") << "" << false << false;
    QTest::newRow("scheme without host") << "https:setup.exe" << false << false;
}

void UpdateDocumentTest::installerSource()
{
    QFETCH(QString, url);
    QFETCH(bool, whenRun);
    QFETCH(bool, whenShown);
    const QUrl address(url, QUrl::TolerantMode);
    QCOMPARE(service::update::acceptsInstallerUrl(address, true), whenRun);
    QCOMPARE(service::update::acceptsInstallerUrl(address, false), whenShown);
}

QTEST_GUILESS_MAIN(UpdateDocumentTest)
#include "tst_updatedocument.moc"
