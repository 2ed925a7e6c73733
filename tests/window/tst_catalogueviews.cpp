#include "mainwindow/form.h"
#include "mainwindow/velnormain.h"
#include "service/catalogue.h"
#include "service/documenttext.h"
#include "testenvironment.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QtTest>

#include <memory>

// The three selection lists filled from the catalogue text, the hidden
// selection fields they write, and the flag of the chosen server.
class CatalogueViewsTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void fillListsFirstServer();
    void selection_data();
    void selection();
    void pptpWrittenOnOneLine();
    void profileCount_data();
    void profileCount();
    void profileWithoutName();
    void serverWithoutCountryShiftsPositions();
    void flag_data();
    void flag();
    void refillReturnsToFirstServer();
    void brokenCatalogue_data();
    void brokenCatalogue();
    void fiveThousandServers();
    void documentReaderMatchesPlainText_data();
    void documentReaderMatchesPlainText();
    void tokenReaderMatchesReader_data();
    void tokenReaderMatchesReader();
    void replacedCatalogueIsSeen_data();
    void replacedCatalogueIsSeen();
    void emptiedCatalogueIsSeen_data();
    void emptiedCatalogueIsSeen();
    void windowsKeepTheirOwnCatalogue();
    void truncatedAfterFirstProfile();
    void storedTextReadsBack_data();
    void storedTextReadsBack();

private:
    std::unique_ptr<TestEnvironment> env;
    std::unique_ptr<VelnorMain> window;

    void populate(const QString& catalogue);
    QComboBox* list(const char* name) const;
    QStringList items(const char* name) const;
    void choose(const char* name, int index);
    QStringList selectionFields() const;
    QImage shownFlag() const;
};

namespace {
const char* const selectionFieldNames[] = { "server_name", "server_ip", "server_protocol", "server_pskey",
    "server_assignedIP", "server_config", "server_certificate" };

struct Server {
    Server(int id, const QString& name, const QString& country = QStringLiteral("DE"),
        const QString& pptp = QStringLiteral("1"), const QString& l2tp = QStringLiteral("1"),
        const QString& openvpn = QStringLiteral("1"))
        : id(id)
        , name(name)
        , country(country)
        , pptp(pptp)
        , l2tp(l2tp)
        , openvpn(openvpn)
    {
    }

    int id;
    QString name;
    QString country; // null: no country element
    QString pptp;
    QString l2tp;
    QString openvpn;
    QStringList profiles { QStringLiteral("UDP"), QStringLiteral("TCP") }; // null entry: profile without name
    QString count; // null: the number of profiles
};

QString config(int id, int profile)
{
    return QStringLiteral("http://127.0.0.1/config/%1/%2.ovpn").arg(id).arg(profile);
}

QString certificate(int id, int profile)
{
    return QStringLiteral("http://127.0.0.1/ca/%1/%2.crt").arg(id).arg(profile);
}

QString element(const QString& indent, const char* name, const QString& text)
{
    const QString tag = QLatin1String(name);
    return indent + QLatin1Char('<') + tag + QLatin1Char('>') + text + QStringLiteral("</") + tag
        + QStringLiteral(">\n");
}

// A catalogue laid out as the service writes it: one element per line, each
// server's profiles on one line without spaces.
QString catalogueOf(const QList<Server>& servers, bool pptpOnOneLine = false)
{
    QString xml = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<velnor>\n"
                                 "  <response>true</response>\n  <servers>\n");
    for (const Server& server : servers) {
        const QString id = QString::number(server.id);
        const QString in = QStringLiteral("      ");
        xml += QStringLiteral("    <server>\n") + element(in, "id", id) + element(in, "shortname", server.name)
            + element(in, "IP", QStringLiteral("10.0.0.") + id);
        if (!server.country.isNull())
            xml += element(in, "country", server.country);
        xml += element(in, "assignedIP", QStringLiteral("198.51.100.") + id);
        if (pptpOnOneLine)
            xml += in + QStringLiteral("<pptp><enabled>") + server.pptp + QStringLiteral("</enabled></pptp>\n");
        else
            xml += in + QStringLiteral("<pptp>\n") + element(in + in, "enabled", server.pptp) + in
                + QStringLiteral("</pptp>\n");
        xml += in + QStringLiteral("<l2tp>\n") + element(in + in, "enabled", server.l2tp)
            + element(in + in, "pskey", QStringLiteral("key") + id) + in + QStringLiteral("</l2tp>\n");
        xml += in + QStringLiteral("<openvpn>\n") + element(in + in, "enabled", server.openvpn) + in + in
            + QStringLiteral("<profiles>\n") + in + in + QStringLiteral("<count>")
            + (server.count.isNull() ? QString::number(server.profiles.size()) : server.count)
            + QStringLiteral("</count>");
        for (int profile = 0; profile < server.profiles.size(); ++profile) {
            xml += QStringLiteral("<profile>");
            if (!server.profiles[profile].isNull())
                xml += QStringLiteral("<name>") + server.profiles[profile] + QStringLiteral("</name>");
            xml += QStringLiteral("<config>") + config(server.id, profile) + QStringLiteral("</config><certificate>")
                + certificate(server.id, profile) + QStringLiteral("</certificate></profile>");
        }
        xml += QStringLiteral("\n") + in + in + QStringLiteral("</profiles>\n") + in
            + QStringLiteral("</openvpn>\n    </server>\n");
    }
    return xml + QStringLiteral("  </servers>\n</velnor>\n");
}

// Every protocol, then PPTP missing, L2TP key disabled, nothing offered.
QList<Server> standardServers()
{
    const QString off = QStringLiteral("0");
    Server frankfurt { 11, QStringLiteral("Frankfurt") };
    Server zurich { 12, QStringLiteral("Zurich"), QStringLiteral("ch"), off };
    zurich.profiles.append(QStringLiteral("TCP 443"));
    Server london { 13, QStringLiteral("London"), QStringLiteral("gb"), QStringLiteral("1"), QStringLiteral("true"),
        off };
    Server offline { 14, QStringLiteral("Offline"), QStringLiteral("FR"), QStringLiteral(" 1"), QStringLiteral("01"),
        QString() };
    return { frankfurt, zurich, london, offline };
}

Server openvpnOnly(int id, const QStringList& profiles, const QString& count = QString())
{
    Server server { id, QStringLiteral("Vpn") + QString::number(id), QStringLiteral("nl"), QStringLiteral("0"),
        QStringLiteral("0") };
    server.profiles = profiles;
    server.count = count;
    return server;
}

QImage flagImage(const QString& code)
{
    return QPixmap(QStringLiteral(":/resources/flags/") + code + QStringLiteral(".png")).toImage();
}

QStringList modes(const QStringList& names)
{
    QStringList result;
    for (const QString& name : names)
        result.append(QStringLiteral("Mode: ") + name);
    return result;
}
} // namespace

void CatalogueViewsTest::init()
{
    env = std::make_unique<TestEnvironment>();
    window = std::make_unique<VelnorMain>();
    // The lists live on the signed-in tabs, which the first catalogue makes.
    form::makeLatePages(window.get());
    // Marks what no walk has written: fields are overwritten, never cleared.
    for (const char* name : selectionFieldNames)
        window->findChild<QLineEdit*>(QLatin1String(name))->setText(QStringLiteral("-"));
}

void CatalogueViewsTest::cleanup()
{
    window.reset();
    env.reset();
}

void CatalogueViewsTest::populate(const QString& catalogue)
{
    window->findChild<QTextBrowser*>(QStringLiteral("textBrowser"))->setPlainText(catalogue);
    QVERIFY(QMetaObject::invokeMethod(window.get(), "PopulateServers"));
}

QComboBox* CatalogueViewsTest::list(const char* name) const
{
    return window->findChild<QComboBox*>(QLatin1String(name));
}

QStringList CatalogueViewsTest::items(const char* name) const
{
    QStringList texts;
    for (int index = 0; index < list(name)->count(); ++index)
        texts.append(list(name)->itemText(index));
    return texts;
}

void CatalogueViewsTest::choose(const char* name, int index)
{
    QVERIFY(index < list(name)->count());
    if (index >= 0)
        list(name)->setCurrentIndex(index);
}

QStringList CatalogueViewsTest::selectionFields() const
{
    QStringList values;
    for (const char* name : selectionFieldNames)
        values.append(window->findChild<QLineEdit*>(QLatin1String(name))->text());
    return values;
}

QImage CatalogueViewsTest::shownFlag() const
{
    return window->findChild<QLabel*>(QStringLiteral("server_icon"))->pixmap(Qt::ReturnByValue).toImage();
}

void CatalogueViewsTest::fillListsFirstServer()
{
    populate(catalogueOf(standardServers()));

    QCOMPARE(items("servers"), QStringList({ "Frankfurt", "Zurich", "London", "Offline" }));
    for (int index = 0; index < 4; ++index) {
        QCOMPARE(list("servers")->itemData(index).userType(), int(QMetaType::Int));
        QCOMPARE(list("servers")->itemData(index).toInt(), 11 + index);
        QVERIFY(list("servers")->itemIcon(index).isNull());
    }
    QCOMPARE(items("protocols"), QStringList({ "Protocol: PPTP", "Protocol: L2TP", "Protocol: OpenVPN" }));
    QVERIFY(!list("protocols")->itemData(0).isValid());
    QCOMPARE(items("type"), QStringList({ "Mode: Auto" }));
    QCOMPARE(list("servers")->currentIndex(), 0);
    QCOMPARE(list("protocols")->currentIndex(), 0);
    QCOMPARE(list("type")->currentIndex(), 0);
    QCOMPARE(selectionFields(), QStringList({ "Frankfurt", "10.0.0.11", "PPTP", "-", "198.51.100.11", "-", "-" }));
}

void CatalogueViewsTest::selection_data()
{
    QTest::addColumn<int>("server");
    QTest::addColumn<int>("protocol"); // -1: left as the cascade chose
    QTest::addColumn<int>("type");
    QTest::addColumn<QStringList>("protocols");
    QTest::addColumn<QStringList>("types");
    QTest::addColumn<QStringList>("fields");

    const QStringList all { "Protocol: PPTP", "Protocol: L2TP", "Protocol: OpenVPN" };
    const QStringList autoMode { "Mode: Auto" };
    QTest::newRow("L2TP stores its key") << 0 << 1 << -1 << all << autoMode
                                         << QStringList { "Frankfurt", "10.0.0.11", "L2TP", "key11", "198.51.100.11",
                                                "-", "-" };
    QTest::newRow("OpenVPN first profile")
        << 0 << 2 << -1 << all << modes({ "UDP", "TCP" })
        << QStringList { "Frankfurt", "10.0.0.11", "OpenVPN", "-", "198.51.100.11", config(11, 0), certificate(11, 0) };
    QTest::newRow("OpenVPN second profile")
        << 0 << 2 << 1 << all << modes({ "UDP", "TCP" })
        << QStringList { "Frankfurt", "10.0.0.11", "OpenVPN", "-", "198.51.100.11", config(11, 1), certificate(11, 1) };
    QTest::newRow("no PPTP: L2TP comes first")
        << 1 << -1 << -1 << QStringList { "Protocol: L2TP", "Protocol: OpenVPN" } << autoMode
        << QStringList { "Zurich", "10.0.0.12", "L2TP", "key12", "198.51.100.12", "-", "-" };
    QTest::newRow("OpenVPN as second protocol")
        << 1 << 1 << 2 << QStringList { "Protocol: L2TP", "Protocol: OpenVPN" } << modes({ "UDP", "TCP", "TCP 443" })
        << QStringList { "Zurich", "10.0.0.12", "OpenVPN", "key12", "198.51.100.12", config(12, 2),
               certificate(12, 2) };
    // The key goes to the protocol counted last before a disabled L2TP.
    QTest::newRow("L2TP 'true' is off") << 2 << -1 << -1 << QStringList { "Protocol: PPTP" } << autoMode
                                        << QStringList { "London", "10.0.0.13", "PPTP", "key13", "198.51.100.13", "-",
                                               "-" };
    // " 1", "01" and "" offer nothing; the protocol field keeps the fill's value.
    QTest::newRow("nothing offered") << 3 << -1 << -1 << QStringList() << QStringList()
                                     << QStringList { "Offline", "10.0.0.14", "PPTP", "key14", "198.51.100.14", "-",
                                            "-" };
}

void CatalogueViewsTest::selection()
{
    QFETCH(int, server);
    QFETCH(int, protocol);
    QFETCH(int, type);
    populate(catalogueOf(standardServers()));

    choose("servers", server);
    choose("protocols", protocol);
    choose("type", type);

    QTEST(items("protocols"), "protocols");
    QTEST(items("type"), "types");
    QTEST(selectionFields(), "fields");
}

void CatalogueViewsTest::pptpWrittenOnOneLine()
{
    populate(catalogueOf(standardServers(), true));

    QCOMPARE(items("protocols"), QStringList({ "Protocol: L2TP", "Protocol: OpenVPN" }));
    QCOMPARE(window->findChild<QLineEdit*>(QStringLiteral("server_protocol"))->text(), QStringLiteral("L2TP"));
    choose("servers", 2);
    QCOMPARE(items("protocols"), QStringList());
}

void CatalogueViewsTest::profileCount_data()
{
    QTest::addColumn<QString>("count");
    QTest::addColumn<QStringList>("types");

    QTest::newRow("as many as listed") << "2" << modes({ "UDP", "TCP" });
    QTest::newRow("3 with 2 profiles") << "3" << modes({ "UDP", "TCP" });
    QTest::newRow("huge") << "2147483647" << modes({ "UDP", "TCP" });
    QTest::newRow("fewer than listed") << "1" << modes({ "UDP" });
    QTest::newRow("0") << "0" << QStringList();
    QTest::newRow("negative") << "-2" << QStringList();
    QTest::newRow("not a number") << "two" << QStringList();
}

void CatalogueViewsTest::profileCount()
{
    QFETCH(QString, count);
    populate(catalogueOf({ openvpnOnly(31, { "UDP", "TCP" }, count) }));

    QCOMPARE(items("protocols"), QStringList({ "Protocol: OpenVPN" }));
    QTEST(items("type"), "types");
}

void CatalogueViewsTest::profileWithoutName()
{
    populate(catalogueOf({ openvpnOnly(41, { "UDP", QString(), "TCP" }) }));
    QCOMPARE(items("type"), modes({ "UDP", "TCP" }));

    // Addresses follow the profile's position, not the item's.
    choose("type", 1);
    QCOMPARE(selectionFields().mid(5), QStringList({ config(41, 1), certificate(41, 1) }));
}

void CatalogueViewsTest::serverWithoutCountryShiftsPositions()
{
    QList<Server> servers = standardServers().mid(0, 3);
    servers[1].country = QString();
    populate(catalogueOf(servers));
    QCOMPARE(items("servers"), QStringList({ "Frankfurt", "London" }));

    // The second entry is the second server element of the document.
    choose("servers", 1);
    QCOMPARE(selectionFields().mid(0, 3), QStringList({ "Zurich", "10.0.0.12", "L2TP" }));
}

void CatalogueViewsTest::flag_data()
{
    QTest::addColumn<QString>("country");
    QTest::addColumn<QString>("resource"); // empty: nothing shown

    QTest::newRow("upper case") << "DE"
                                << ":/resources/flags/de.png";
    QTest::newRow("lower case") << "de"
                                << ":/resources/flags/de.png";
    QTest::newRow("mixed case") << "Se"
                                << ":/resources/flags/se.png";
    QTest::newRow("gb is not uk") << "gb"
                                  << "";
    QTest::newRow("empty") << QStringLiteral("") << "";
}

void CatalogueViewsTest::flag()
{
    QFETCH(QString, country);
    QFETCH(QString, resource);
    QCOMPARE(service::catalogue::flagPath(country),
        QStringLiteral(":/resources/flags/") + country.toLower() + QStringLiteral(".png"));

    QList<Server> servers = standardServers().mid(0, 2);
    servers[1].country = country;
    populate(catalogueOf(servers));
    QCOMPARE(shownFlag(), flagImage(QStringLiteral("de")));
    choose("servers", 1);
    QCOMPARE(shownFlag(), resource.isEmpty() ? QImage() : QPixmap(resource).toImage());
    QVERIFY(resource.isEmpty() || !shownFlag().isNull());
}

void CatalogueViewsTest::refillReturnsToFirstServer()
{
    populate(catalogueOf(standardServers()));
    choose("servers", 1);
    choose("protocols", 1);
    choose("type", 2);

    Server paris { 21, QStringLiteral("Paris"), QStringLiteral("fr") };
    Server rome { 22, QStringLiteral("Rome"), QStringLiteral("it") };
    populate(catalogueOf({ paris, rome }));
    QCOMPARE(items("servers"), QStringList({ "Paris", "Rome" }));
    QCOMPARE(list("servers")->currentIndex(), 0);
    QCOMPARE(items("protocols"), QStringList({ "Protocol: PPTP", "Protocol: L2TP", "Protocol: OpenVPN" }));
    QCOMPARE(items("type"), QStringList({ "Mode: Auto" }));
    QCOMPARE(shownFlag(), flagImage(QStringLiteral("fr")));
    // The OpenVPN addresses stay until a later OpenVPN choice replaces them.
    QCOMPARE(selectionFields(),
        QStringList({ "Paris", "10.0.0.21", "PPTP", "key12", "198.51.100.21", config(12, 2), certificate(12, 2) }));
}

void CatalogueViewsTest::brokenCatalogue_data()
{
    QTest::addColumn<QString>("catalogue");
    QTest::addColumn<QStringList>("servers");

    const QString full = catalogueOf(standardServers());
    const int third = full.indexOf(QStringLiteral("<shortname>London"));
    QTest::newRow("empty") << "" << QStringList();
    QTest::newRow("network error text") << "Connection refused" << QStringList();
    QTest::newRow("no server elements") << "<velnor><response>true</response><servers>\n</servers></velnor>"
                                        << QStringList();
    QTest::newRow("truncated in third server") << full.left(third + 14) << QStringList({ "Frankfurt", "Zurich" });
    QTest::newRow("mismatched tag in second server") << QString(full).replace(QStringLiteral("10.0.0.12</IP>"),
        QStringLiteral("10.0.0.12</Ip>")) << QStringList({ "Frankfurt" });
    QTest::newRow("truncated in first profiles")
        << full.left(full.indexOf(QStringLiteral("<name>TCP"))) << QStringList({ "Frankfurt" });
}

void CatalogueViewsTest::brokenCatalogue()
{
    QFETCH(QString, catalogue);
    QFETCH(QStringList, servers);
    const QImage before = shownFlag();
    populate(catalogue);

    QTEST(items("servers"), "servers");
    if (servers.isEmpty()) {
        QCOMPARE(items("protocols"), QStringList());
        QCOMPARE(items("type"), QStringList());
        QCOMPARE(shownFlag(), before);
        for (const QString& value : selectionFields())
            QCOMPARE(value, QStringLiteral("-"));
    } else {
        QCOMPARE(list("servers")->currentIndex(), 0);
        QCOMPARE(selectionFields().first(), QStringLiteral("Frankfurt"));
    }
}

void CatalogueViewsTest::fiveThousandServers()
{
    QList<Server> servers;
    for (int id = 1; id <= 5000; ++id)
        servers.append(Server { id, QStringLiteral("Server %1").arg(id), QStringLiteral("us") });
    populate(catalogueOf(servers));
    QCOMPARE(list("servers")->count(), 5000);

    choose("servers", 4999);
    choose("protocols", 2);
    choose("type", 1);
    QCOMPARE(selectionFields(),
        QStringList({ "Server 5000", "10.0.0.5000", "OpenVPN", "-", "198.51.100.5000", config(5000, 1),
            certificate(5000, 1) }));
}

namespace {
QStringList tokensOf(QXmlStreamReader& xml)
{
    QStringList tokens;
    while (!xml.atEnd() && !xml.hasError()) {
        xml.readNext();
        tokens.append(xml.tokenString() + QLatin1Char('|') + xml.name() + QLatin1Char('|') + xml.text());
    }
    tokens.append(xml.errorString());
    return tokens;
}
} // namespace

void CatalogueViewsTest::documentReaderMatchesPlainText_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<bool>("html");

    Server zurich(12, QStringLiteral("Z\u00fcrich \U0001F600"), QStringLiteral("ch"));
    const QString catalogue = catalogueOf({ zurich, Server(13, QStringLiteral("A\u00a0B")) });
    const QString declaration = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
    const auto declaring = [&](const char* encoding) {
        return QString(catalogue).replace(declaration,
            QStringLiteral("<?xml version='1.0' encoding='") + QLatin1String(encoding) + QStringLiteral("'?>"));
    };
    // Long enough that chunk ends fall between the halves of surrogate pairs.
    QString pairs = QStringLiteral("<r><t>");
    for (int index = 0; index < 3000; ++index)
        pairs += QStringLiteral("a\U0001F600");
    pairs += QStringLiteral("</t><t>\xd800x\xdc00</t></r>");

    QTest::newRow("catalogue") << catalogue << false;
    QTest::newRow("utf8 alias") << declaring("utf8") << false;
    QTest::newRow("latin-1 declared") << declaring("ISO-8859-1") << false;
    QTest::newRow("unknown encoding") << declaring("x-none") << false;
    QTest::newRow("byte order mark") << QChar(0xfeff) + declaring("latin1") << false;
    QTest::newRow("no declaration") << catalogue.mid(declaration.size()) << false;
    QTest::newRow("surrogates") << pairs << false;
    QTest::newRow("NUL after <") << QStringLiteral("<") + QChar(0) + QStringLiteral("a/>") << false;
    QTest::newRow("short") << "<a" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("rich text") << "<table><tr><td>a&nbsp;b<br>c</td><td><p>&lt;r/&gt;</p></td></tr></table><p>d</p>"
                               << true;
}

void CatalogueViewsTest::documentReaderMatchesPlainText()
{
    QFETCH(QString, content);
    QFETCH(bool, html);
    QTextDocument document;
    if (html)
        document.setHtml(content);
    else
        document.setPlainText(content);

    QXmlStreamReader whole(document.toPlainText());
    const QStringList expected = tokensOf(whole);
    service::catalogue::DocumentReader outer(&document);
    {
        // A nested reader shares what the outer one converted so far.
        service::catalogue::DocumentReader nested(&document);
        QCOMPARE(tokensOf(nested.xml()), expected);
    }
    QCOMPARE(tokensOf(outer.xml()), expected);
}

namespace {
template <typename Reader>
QString describe(const Reader& xml)
{
    return QString::number(int(xml.tokenType())) + QLatin1Char('|') + xml.name() + QLatin1Char('|') + xml.text()
        + QLatin1Char('|') + QString::number(int(xml.error())) + (xml.atEnd() ? QStringLiteral("|end") : QString());
}

// What the reader shows after each of `count` reads, counted from `first`:
// readNext(), or with `skipping` every third read readNextStartElement()
// (whose answer is noted too).
template <typename Reader>
QStringList reads(Reader& xml, int first, int count, bool skipping)
{
    QStringList states;
    for (int read = first; read < first + count; ++read) {
        QString answer;
        if (skipping && read % 3 == 2)
            answer = xml.readNextStartElement() ? QStringLiteral("|true") : QStringLiteral("|false");
        else
            xml.readNext();
        states.append(describe(xml) + answer);
    }
    return states;
}
} // namespace

void CatalogueViewsTest::tokenReaderMatchesReader_data()
{
    documentReaderMatchesPlainText_data();

    const QString full = catalogueOf(standardServers());
    QList<Server> many;
    for (int id = 1; id <= 200; ++id)
        many.append(Server { id, QStringLiteral("S%1").arg(id) });
    QTest::newRow("several thousand tokens") << catalogueOf(many) << false;
    QTest::newRow("truncated in a text") << full.left(full.indexOf(QStringLiteral("<name>TCP")) + 8) << false;
    QTest::newRow("truncated in a tag") << full.left(full.indexOf(QStringLiteral("<assignedIP>")) + 5) << false;
    QTest::newRow("mismatched end tag") << QString(full).replace(QStringLiteral("</IP>"), QStringLiteral("</Ip>"))
                                        << false;
    QTest::newRow("content after the root") << "<a><b>x</b></a><c/>" << false;
    QTest::newRow("text only") << "Connection refused" << false;
    QTest::newRow("references, CDATA, comment, instruction")
        << "<r a='1' b=\"&amp;\">&lt;x&gt; &#65;&#x42;<![CDATA[<c>]]><!-- note --><?pi data?></r>" << false;
    QTest::newRow("internal entity") << "<!DOCTYPE r [<!ENTITY e 'server'>]><r><server>&e;</server></r>" << false;
    QTest::newRow("undeclared entity") << "<r>&nope;</r>" << false;
    QTest::newRow("undeclared prefix") << "<r><a:server>1</a:server></r>" << false;
    QTest::newRow("empty elements, no declaration") << "\n<r><a/><b>1</b>\t<c></c>\n</r>\n  " << false;
    QTest::newRow("other declaration") << "<?xml version=\"1.0\" standalone=\"yes\"?><r>1</r>" << false;
    QTest::newRow("CDATA end in a text") << "<r>a]]>b</r>" << false;
    QTest::newRow("control character in a text") << QStringLiteral("<r>a\u0001b</r>") << false;
    QTest::newRow("text outside the root") << "<r>1</r>x" << false;
    QTest::newRow("non-ASCII names and texts")
        << QStringLiteral("<r><\u00e9>\u00fc</\u00e9><n>\u20ac</n></r>") << false;
    QTest::newRow("CRLF line ends") << QString(full).replace(QLatin1Char('\n'), QStringLiteral("\r\n")) << false;
}

void CatalogueViewsTest::tokenReaderMatchesReader()
{
    QFETCH(QString, content);
    QFETCH(bool, html);
    QTextDocument document;
    if (html)
        document.setHtml(content);
    else
        document.setPlainText(content);

    for (const bool skipping : { false, true }) {
        // A few reads past the end or the error as well: the walkers read on
        // without looking.
        QXmlStreamReader reference(document.toPlainText());
        QStringList expected { describe(reference) };
        int count = 0;
        for (int pastEnd = 0; pastEnd < 6; pastEnd += reference.atEnd() ? 1 : 0)
            expected += reads(reference, count++, 1, skipping);

        service::catalogue::TokenReader outer(&document);
        QStringList seen { describe(outer) };
        const int half = count / 2;
        seen += reads(outer, 0, half, skipping);
        {
            // One made meanwhile starts from the beginning and reads ahead of
            // the first, as a nested walk does.
            service::catalogue::TokenReader nested(&document);
            QStringList nestedSeen { describe(nested) };
            nestedSeen += reads(nested, 0, count, skipping);
            QCOMPARE(nestedSeen, expected);
        }
        seen += reads(outer, half, count - half, skipping);
        QCOMPARE(seen, expected);
    }
}

namespace {
enum class Change { PlainText, StoredReply, EditedInPlace, EditedQuietly };

QStringList fieldsOf(const QWidget& window)
{
    QStringList values;
    for (const char* name : selectionFieldNames)
        values.append(window.findChild<QLineEdit*>(QLatin1String(name))->text());
    return values;
}

QStringList itemsOf(const QWidget& window, const char* name)
{
    const auto* list = window.findChild<QComboBox*>(QLatin1String(name));
    QStringList texts;
    for (int index = 0; index < list->count(); ++index)
        texts.append(list->itemText(index));
    return texts;
}

// Server 1, OpenVPN, second profile: every walker writes its fields.
void chooseSecondServersOpenVpn(const QWidget& window)
{
    window.findChild<QComboBox*>(QStringLiteral("servers"))->setCurrentIndex(1);
    auto* protocols = window.findChild<QComboBox*>(QStringLiteral("protocols"));
    protocols->setCurrentIndex(protocols->count() - 1);
    window.findChild<QComboBox*>(QStringLiteral("type"))->setCurrentIndex(1);
}
} // namespace

void CatalogueViewsTest::replacedCatalogueIsSeen_data()
{
    QTest::addColumn<int>("change");

    QTest::newRow("set as plain text") << int(Change::PlainText);
    QTest::newRow("stored as a reply") << int(Change::StoredReply);
    QTest::newRow("edited in place") << int(Change::EditedInPlace);
    QTest::newRow("edited with signals blocked") << int(Change::EditedQuietly);
}

void CatalogueViewsTest::replacedCatalogueIsSeen()
{
    QFETCH(int, change);
    populate(catalogueOf(standardServers()));
    // Walked to the end once, so everything about the old text is at hand.
    choose("servers", 3);
    choose("servers", 0);

    // Same length, one name differs.
    QList<Server> servers = standardServers();
    servers[1].name = QStringLiteral("Zuriel");
    const QString replacement = catalogueOf(servers);
    auto* browser = window->findChild<QTextBrowser*>(QStringLiteral("textBrowser"));
    switch (Change(change)) {
    case Change::PlainText:
        browser->setPlainText(replacement);
        break;
    case Change::StoredReply:
        service::storeDocumentText(browser->document(), replacement);
        break;
    case Change::EditedInPlace:
    case Change::EditedQuietly: {
        QTextDocument* document = browser->document();
        QTextCursor cursor = document->find(QStringLiteral("Zurich"));
        QVERIFY(!cursor.isNull());
        const bool quiet = Change(change) == Change::EditedQuietly;
        document->blockSignals(quiet);
        cursor.insertText(QStringLiteral("Zuriel"));
        document->blockSignals(false);
        QCOMPARE(document->toPlainText(), replacement);
        break;
    }
    }
    chooseSecondServersOpenVpn(*window);

    // As a window that had the new catalogue from the start.
    VelnorMain reference;
    form::makeLatePages(&reference);
    for (const char* name : selectionFieldNames)
        reference.findChild<QLineEdit*>(QLatin1String(name))->setText(QStringLiteral("-"));
    reference.findChild<QTextBrowser*>(QStringLiteral("textBrowser"))->setPlainText(replacement);
    QVERIFY(QMetaObject::invokeMethod(&reference, "PopulateServers"));
    chooseSecondServersOpenVpn(reference);

    QCOMPARE(selectionFields().first(), QStringLiteral("Zuriel"));
    QCOMPARE(selectionFields(), fieldsOf(reference));
    QCOMPARE(items("protocols"), itemsOf(reference, "protocols"));
    QCOMPARE(items("type"), itemsOf(reference, "type"));
}

void CatalogueViewsTest::emptiedCatalogueIsSeen_data()
{
    QTest::addColumn<QString>("text"); // null: the text browser is cleared

    QTest::newRow("cleared") << QString();
    QTest::newRow("stored empty, as at logout") << QStringLiteral("");
    QTest::newRow("network error text") << QStringLiteral("Connection refused");
}

void CatalogueViewsTest::emptiedCatalogueIsSeen()
{
    QFETCH(QString, text);
    populate(catalogueOf(standardServers()));
    const QStringList before = selectionFields();

    auto* browser = window->findChild<QTextBrowser*>(QStringLiteral("textBrowser"));
    if (text.isNull())
        browser->clear();
    else
        service::storeDocumentText(browser->document(), text);
    choose("servers", 1);

    // The lists only change when refilled; the walks find no server.
    QCOMPARE(items("servers"), QStringList({ "Frankfurt", "Zurich", "London", "Offline" }));
    QCOMPARE(items("protocols"), QStringList());
    QCOMPARE(items("type"), QStringList());
    QCOMPARE(selectionFields(), before);
}

void CatalogueViewsTest::windowsKeepTheirOwnCatalogue()
{
    populate(catalogueOf(standardServers()));
    VelnorMain other;
    form::makeLatePages(&other);
    other.findChild<QTextBrowser*>(QStringLiteral("textBrowser"))
        ->setPlainText(catalogueOf({ Server { 21, QStringLiteral("Paris"), QStringLiteral("fr") },
            Server { 22, QStringLiteral("Rome"), QStringLiteral("it") } }));
    QVERIFY(QMetaObject::invokeMethod(&other, "PopulateServers"));

    chooseSecondServersOpenVpn(*window);
    chooseSecondServersOpenVpn(other);
    choose("type", 2);

    QCOMPARE(selectionFields(),
        QStringList({ "Zurich", "10.0.0.12", "OpenVPN", "key12", "198.51.100.12", config(12, 2), certificate(12, 2) }));
    QCOMPARE(fieldsOf(other).first(), QStringLiteral("Rome"));
    QCOMPARE(fieldsOf(other).mid(5), QStringList({ config(22, 1), certificate(22, 1) }));
}

void CatalogueViewsTest::truncatedAfterFirstProfile()
{
    const QString full = catalogueOf(standardServers());
    const int zurich = full.indexOf(QStringLiteral("<shortname>Zurich"));
    populate(full.left(full.indexOf(QStringLiteral("</profile>"), zurich) + 10));
    QCOMPARE(items("servers"), QStringList({ "Frankfurt", "Zurich" }));

    choose("servers", 1);
    choose("protocols", 1);
    // The count promises three; the walk stops at the end of the text.
    QCOMPARE(items("type"), modes({ "UDP" }));
    QCOMPARE(selectionFields(),
        QStringList({ "Zurich", "10.0.0.12", "OpenVPN", "key12", "198.51.100.12", config(12, 0), certificate(12, 0) }));
}

void CatalogueViewsTest::storedTextReadsBack_data()
{
    QTest::addColumn<QString>("text");

    QTest::newRow("empty") << QStringLiteral("");
    QTest::newRow("catalogue") << catalogueOf(standardServers());
    QTest::newRow("CRLF") << "<a>\r\n<b/>\r\n</a>\r\n";
    QTest::newRow("lone CR and blank lines") << "a\rb\n\n\r\rc\n";
    QTest::newRow("CR at the end") << "a\r";
    QTest::newRow("paragraph and line separators") << QStringLiteral("a\u2029b\u2028c");
    QTest::newRow("frame markers") << QStringLiteral("a\ufdd0b\ufdd1c");
    QTest::newRow("no-break space") << QStringLiteral("a\u00a0b");
    QTest::newRow("looks like HTML") << "<table><tr><td>x&nbsp;y</td></tr></table><br>";
}

void CatalogueViewsTest::storedTextReadsBack()
{
    QFETCH(QString, text);
    QTextDocument expected;
    expected.setPlainText(text);

    auto* browser = window->findChild<QTextBrowser*>(QStringLiteral("textBrowser"));
    service::storeDocumentText(browser->document(), QStringLiteral("earlier\ntext"));
    service::storeDocumentText(browser->document(), text);
    QCOMPARE(browser->toPlainText(), expected.toPlainText());
    QCOMPARE(browser->document()->characterCount(), expected.characterCount());
}

QTEST_MAIN(CatalogueViewsTest)
#include "tst_catalogueviews.moc"
