#include "connection/nmprofile.h"
#include "windowfixture.h"

#include <QComboBox>
#include <QCryptographicHash>
#include <QDate>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QXmlStreamReader>
#include <QtTest>

#include <memory>

namespace {
const QString dataFolder = QStringLiteral(VELNOR_DEMO_DATA);

using Row = QHash<QString, QString>;

// A tab-separated file of the demo's data folder, by column name.
QList<Row> readTable(const QString& name)
{
    QFile file(dataFolder + QLatin1Char('/') + name);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        qFatal("cannot read %s", qPrintable(name));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const QStringList header = lines.first().split(QLatin1Char('\t'));
    QList<Row> rows;
    for (const QString& line : lines.mid(1)) {
        const QStringList cells = line.split(QLatin1Char('\t'));
        Row row;
        for (int i = 0; i < header.size(); ++i)
            row.insert(header.at(i), cells.value(i));
        rows.append(row);
    }
    return rows;
}

Row account(const QString& user)
{
    for (const Row& row : readTable(QStringLiteral("accounts.tsv"))) {
        if (row.value(QStringLiteral("user")) == user)
            return row;
    }
    qFatal("no account %s in accounts.tsv", qPrintable(user));
}

QString md5(const QString& password)
{
    return QString::fromLatin1(QCryptographicHash::hash(password.toUtf8(), QCryptographicHash::Md5).toHex());
}

struct Reply {
    int status = 0;
    QByteArray type;
    QByteArray body;
};

Reply get(const QString& url)
{
    QNetworkAccessManager manager;
    std::unique_ptr<QNetworkReply> reply(manager.get(QNetworkRequest(QUrl(url))));
    QSignalSpy finished(reply.get(), &QNetworkReply::finished);
    if (!reply->isFinished() && !finished.wait(10000))
        return {};
    return { reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
        reply->header(QNetworkRequest::ContentTypeHeader).toByteArray(), reply->readAll() };
}

// Every text of the elements with this name, in document order.
QStringList elementTexts(const QByteArray& document, const QString& name)
{
    QStringList texts;
    QXmlStreamReader xml(document);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == name)
            texts.append(xml.readElementText());
    }
    return texts;
}

QStringList repeated(int count, const QString& text)
{
    QStringList texts;
    for (int i = 0; i < count; ++i)
        texts.append(text);
    return texts;
}

// A copy of the demo's data whose first server has these address and
// assigned-address cells.
QString dataWithServer(const QString& addresses)
{
    static QTemporaryDir folders;
    const QString folder = folders.path() + QLatin1Char('/') + QString::number(qHash(addresses));
    QDir().mkpath(folder);
    for (const QFileInfo& entry : QDir(dataFolder).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot))
        QFile::link(entry.absoluteFilePath(), folder + QLatin1Char('/') + entry.fileName());
    const auto write = [&folder](const char* name, const QByteArray& text) {
        QFile::remove(folder + QLatin1Char('/') + QLatin1String(name));
        QFile file(folder + QLatin1Char('/') + QLatin1String(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
            qFatal("cannot write %s", name);
    };
    write("servers.tsv",
        "id\tshortname\tcountry\taddress\tassigned\tpskey\n1\tToronto\tCA\t" + addresses.toUtf8() + "\tkey\n");
    write("quick-connect.tsv", "server\tprotocol\n1\tPPTP\n");
    return folder;
}

// The real velnor-demo on a free loopback port.
class DemoService {
public:
    explicit DemoService(const QStringList& arguments = {})
    {
        process.setProgram(QStringLiteral(VELNOR_DEMO_EXECUTABLE));
        process.setArguments(QStringList { QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0") } + arguments);
        process.start();
        // It names its address once it serves.
        const QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired()) {
            if (!process.canReadLine()) {
                if (!process.waitForReadyRead(int(deadline.remainingTime())))
                    return;
                continue;
            }
            const QByteArray line = process.readLine().trimmed();
            if (line.startsWith("listening on ")) {
                base = QString::fromLatin1(line.mid(int(qstrlen("listening on "))));
                return;
            }
        }
    }

    ~DemoService()
    {
        process.kill();
        process.waitForFinished();
    }

    QString base;
    QProcess process;
};
} // namespace

// The demo service as the client meets it: the real velnor-demo binary and a
// real window signed in against it.
class DemoTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void refusedStart_data();
    void refusedStart();
    void answers_data();
    void answers();
    void signIn_data();
    void signIn();
    void wrongCredentialsRefused_data();
    void wrongCredentialsRefused();
    void newAccountSignsInAndPays();
    void openvpnRemoteAndUpdateOffer();
    void openvpnAttemptStaysOnThisMachine();
    // Last: it stops the service.
    void stopsCleanlyAndLogsNoSecret();

private:
    std::unique_ptr<DemoService> service;
    std::unique_ptr<WindowFixture> fixture;
    DialogDriver* dialogs = nullptr;
    VelnorMain* window = nullptr;
    QStringList digestsSent;

    QString url(const QString& path) const { return service->base + path; }
    void openWindow();
    void signInThroughWindow(const QString& user, const QString& password);
    template <typename T>
    T* child(const char* name) const;
};

void DemoTest::initTestCase()
{
    service = std::make_unique<DemoService>();
    QVERIFY2(!service->base.isEmpty(), service->process.readAllStandardError().constData());
    QCOMPARE(service->base.left(17), QStringLiteral("http://127.0.0.1:"));
}

void DemoTest::init()
{
    fixture = std::make_unique<WindowFixture>();
    dialogs = &fixture->dialogs;
    // The real service instead of the fixture's fake one.
    qputenv("VELNOR_API_BASE", url(QStringLiteral("/api")).toUtf8());
    qputenv("VELNOR_SITE_BASE", url(QStringLiteral("/site")).toUtf8());
    qputenv("VELNOR_IP_ECHO_URL", url(QStringLiteral("/ip")).toUtf8());
    qputenv("VELNOR_STORE_URL", url(QStringLiteral("/store")).toUtf8());
}

void DemoTest::cleanup()
{
    fixture.reset();
    window = nullptr;
    for (const char* name : { "VELNOR_API_BASE", "VELNOR_SITE_BASE", "VELNOR_IP_ECHO_URL", "VELNOR_STORE_URL" })
        qunsetenv(name);
}

void DemoTest::openWindow() { window = fixture->openWindow(); }

void DemoTest::signInThroughWindow(const QString& user, const QString& password)
{
    child<QLineEdit>("username")->setText(user);
    child<QLineEdit>("password")->setText(password);
    digestsSent.append(md5(password));
    QTest::mouseClick(child<QPushButton>("login"), Qt::LeftButton);
    QTRY_VERIFY(child<QWidget>("login")->isEnabled());
}

template <typename T>
T* DemoTest::child(const char* name) const
{
    auto* widget = window->findChild<T*>(QLatin1String(name));
    if (!widget)
        qFatal("no widget %s", name);
    return widget;
}

void DemoTest::refusedStart_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");

    const auto listen = [](const char* address) { return QStringList { QStringLiteral("--listen"), address }; };
    QTest::newRow("IPv4 wildcard") << listen("0.0.0.0:8707") << 2 << "wildcard";
    QTest::newRow("IPv6 wildcard") << listen("[::]:8707") << 2 << "wildcard";
    QTest::newRow("no address") << listen(":8707") << 2 << "no address";
    QTest::newRow("host name") << listen("localhost:8707") << 2 << "not a numeric";
    QTest::newRow("no port") << listen("127.0.0.1") << 2 << "no port";
    QTest::newRow("port too large") << listen("127.0.0.1:65536") << 2 << "not a port";
    QTest::newRow("address of no interface here") << listen("192.0.2.1:8707") << 1 << "cannot listen";
    QTest::newRow("OpenVPN remote on port 0")
        << QStringList { "--listen", "127.0.0.1:0", "--openvpn-remote", "198.51.100.2:0" } << 2 << "not a port";
    QTest::newRow("unknown option") << QStringList { "--verbose" } << 2 << "unknown option";
    QTest::newRow("missing data folder") << QStringList { "--listen", "127.0.0.1:0", "--data", "/nonexistent" } << 2
                                         << "cannot read /nonexistent/accounts.tsv";
    QTest::newRow("server outside loopback")
        << QStringList { "--listen", "127.0.0.1:0", "--data", dataWithServer("203.0.113.11\t127.0.2.11") } << 2
        << "not a loopback address";
    QTest::newRow("assigned address the echo answers") << QStringList { "--listen", "127.0.0.1:0", "--data",
        dataWithServer("127.0.1.11\t127.0.0.1") } << 2 << "confirmed with no tunnel";
    QTest::newRow("missing CA file") << QStringList { "--listen", "127.0.0.1:0", "--openvpn-ca", "/nonexistent.crt" }
                                     << 2 << "cannot read /nonexistent.crt";
    QTest::newRow("missing client keys") << QStringList { "--listen", "127.0.0.1:0", "--openvpn-keys", "/nonexistent" }
                                         << 2 << "cannot read /nonexistent/client.crt";
}

void DemoTest::refusedStart()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);

    QProcess process;
    process.start(QStringLiteral(VELNOR_DEMO_EXECUTABLE), arguments);
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), exitCode);
    const QString error = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(error.contains(message), qPrintable(error));
    QVERIFY(process.readAllStandardOutput().isEmpty());
}

void DemoTest::answers_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("content");

    const QString key = QStringLiteral("&key=") + md5(QStringLiteral("demo"));
    const QString text = QStringLiteral("text/plain");
    const QString html = QStringLiteral("text/html");
    const QString xml = QStringLiteral("text/xml");

    QTest::newRow("IP echo") << "/ip" << 200 << html << "Address: 127.0.0.1</body>";
    QTest::newRow("update: none newer") << "/api/AppVer2/15.0801" << 200 << xml << "<version>15.0801</version><url>";
    QTest::newRow("OpenVPN profile") << "/openvpn/3.ovpn" << 200 << "application/x-openvpn-profile"
                                     << "\nremote 127.0.1.13 1194\n";
    QTest::newRow("OpenVPN certificate") << "/openvpn/ca.crt" << 200 << "application/x-x509-ca-cert"
                                         << "-----BEGIN CERTIFICATE-----";
    QTest::newRow("start page") << "/" << 200 << html << "<code>demo</code>";
    QTest::newRow("password recovery") << "/site/forgotpassword" << 200 << html << "Password lost?";
    QTest::newRow("trial") << "/site/login/facebook" << 200 << html << "Trial";
    QTest::newRow("download page") << "/site/download" << 200 << html << "package manager";
    QTest::newRow("store") << "/store" << 200 << html << "Android";
    QTest::newRow("payment without a plan") << "/site/api/payment?email=demo@velnor-vpn.example&processor=1" << 400
                                            << html << "lacks the e-mail, method or plan";
    QTest::newRow("payment of an unknown plan")
        << "/site/api/payment?email=demo@velnor-vpn.example&processor=1&plan=99" << 400 << html << "choose";
    QTest::newRow("payment for nobody") << "/site/api/payment?email=nobody@example.org&processor=1&plan=10" << 404
                                        << html << "No account uses this e-mail address.";

    QTest::newRow("unknown path") << "/api/AppServersV3" << 404 << text << "Not found";
    QTest::newRow("unknown server profile") << "/openvpn/99.ovpn" << 404 << text << "Not found";
    QTest::newRow("login without key") << "/api/AppServersV2?username=demo&appver=15.0801" << 400 << text
                                       << "\"key\" is missing";
    QTest::newRow("account without user")
        << "/api/AppUserInfoV3?" + key.mid(1) << 400 << text << "\"username\" is missing";
    QTest::newRow("short key") << "/api/AppServersV2?username=demo&key=abc&appver=15.0801" << 400 << text
                               << "32 hexadecimal digits";
    QTest::newRow("key not hex") << "/api/AppUserInfoV3?username=demo&key=" + QString(32, QLatin1Char('g')) << 400
                                 << text << "32 hexadecimal digits";
    QTest::newRow("new account without e-mail")
        << "/api/AppNewAccount?firstname=a&lastname=b" << 400 << text << "\"email\" is missing";
    QTest::newRow("long query") << "/api/AppServersV2?username=" + QString(3000, QLatin1Char('a')) + key << 414 << text
                                << "too long";
    QTest::newRow("request line over the library's limit")
        << "/api/AppServersV2?username=" + QString(9000, QLatin1Char('a')) + key << 414 << text << "too long";
}

void DemoTest::answers()
{
    QFETCH(QString, path);
    QFETCH(int, status);
    QFETCH(QString, type);
    QFETCH(QString, content);

    const Reply reply = get(url(path));
    QCOMPARE(reply.status, status);
    QVERIFY2(reply.type.startsWith(type.toLatin1()), reply.type.constData());
    QVERIFY2(reply.body.contains(content.toUtf8()), reply.body.left(300).constData());
    // Whatever it was asked, it still answers.
    QCOMPARE(get(url(QStringLiteral("/ip"))).status, 200);
}

void DemoTest::signIn_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");

    // The passwords the README and the start page give.
    QTest::newRow("demo account") << "demo"
                                  << "demo";
    QTest::newRow("plan ending soon") << "soon"
                                      << "soon";
    QTest::newRow("plan ended") << "expired"
                                << "Expired ";
}

void DemoTest::signIn()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    const Row row = account(user);
    const bool enabled = row.value(QStringLiteral("enabled")) == QLatin1String("1");
    const int daysLeft = row.value(QStringLiteral("days_left")).toInt();
    QCOMPARE(md5(password.trimmed().toLower()), row.value(QStringLiteral("md5")));

    openWindow();
    // The IP echo answers the window's start-up check with the caller's address.
    QTRY_COMPARE(child<QLabel>("ip")->text(), QStringLiteral("127.0.0.1"));
    signInThroughWindow(user, password);
    QVERIFY(child<QWidget>("WingetLogin")->isHidden());
    QVERIFY(!child<QWidget>("WingetConnected")->isHidden());

    // The three lists show the catalogue.
    QStringList names;
    for (const Row& server : readTable(QStringLiteral("servers.tsv")))
        names.append(server.value(QStringLiteral("shortname")));
    auto* servers = child<QComboBox>("servers");
    QStringList shown;
    for (int i = 0; i < servers->count(); ++i)
        shown.append(servers->itemText(i));
    QCOMPARE(shown, names);
    auto* protocols = child<QComboBox>("protocols");
    QCOMPARE(protocols->count(), 3);
    protocols->setCurrentIndex(2);
    QCOMPARE(child<QComboBox>("type")->currentText(), QStringLiteral("Mode: UDP 1194"));
    QCOMPARE(child<QLineEdit>("server_config")->text(), url(QStringLiteral("/openvpn/1.ovpn")));
    QCOMPARE(get(child<QLineEdit>("server_certificate")->text()).status, 200);

    // The account tab is filled from the account's line.
    QTRY_COMPARE(child<QLabel>("user_name")->text(), row.value(QStringLiteral("name")));
    QCOMPARE(child<QLabel>("user_email")->text(), row.value(QStringLiteral("email")));
    QCOMPARE(child<QLabel>("user_plan")->text(), QStringLiteral("Current plan:") + row.value(QStringLiteral("plan")));
    QCOMPARE(child<QLabel>("user_expire")->text(),
        QStringLiteral("Expiration date: ") + QDate::currentDate().addDays(daysLeft).toString(Qt::ISODate));
    QCOMPARE(child<QLabel>("user_quota")->text(), QStringLiteral("Quota remaining: ") + row.value("quota"));
    QCOMPARE(child<QComboBox>("payment_plan")->count(), readTable(QStringLiteral("plans.tsv")).size());
    QCOMPARE(child<QLineEdit>("quick_servers")->text().split(QLatin1Char('|')).size(),
        readTable(QStringLiteral("quick-connect.tsv")).size());
    QCOMPARE(child<QTabWidget>("WingetConnected")->isTabEnabled(0), enabled);
    QCOMPARE(child<QTabWidget>("WingetConnected")->currentIndex(), enabled ? 0 : 2);

    const bool renewalAsked = !dialogs->boxes().isEmpty() && dialogs->last().title == "Renew your account?";
    QCOMPARE(renewalAsked, enabled && daysLeft <= 4);
}

void DemoTest::wrongCredentialsRefused_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");

    QTest::newRow("wrong password") << "demo"
                                    << "demo2";
    QTest::newRow("unknown user") << "nobody"
                                  << "demo";
    QTest::newRow("password of another account") << "demo"
                                                 << "soon";
}

void DemoTest::wrongCredentialsRefused()
{
    QFETCH(QString, user);
    QFETCH(QString, password);

    openWindow();
    signInThroughWindow(user, password);
    QCOMPARE(dialogs->boxes().size(), 1);
    QCOMPARE(dialogs->last().title, QStringLiteral("Bad username/password"));
    QCOMPARE(child<QLabel>("authstatus")->text(), QStringLiteral("Not connected!"));
    QVERIFY(!child<QWidget>("WingetLogin")->isHidden());
    QVERIFY(child<QWidget>("WingetConnected")->isHidden());
}

void DemoTest::newAccountSignsInAndPays()
{
    const QString create = QStringLiteral("/api/AppNewAccount?firstname=Ann%20Marie&lastname=O'Neil&email=");
    Reply reply = get(url(create + QStringLiteral("Ann.ONeil@Example.org")));
    QCOMPARE(reply.status, 200);
    QCOMPARE(reply.type, QByteArray("text/plain; charset=utf-8"));
    QCOMPARE(reply.body, QByteArray("true|ann.oneil@example.org"));

    // The address is taken now, whatever its case; a bad address is refused in words.
    for (const char* email : { "ann.oneil@example.org", "ANN.ONEIL@EXAMPLE.ORG" }) {
        reply = get(url(create + QLatin1String(email)));
        QVERIFY2(reply.body.startsWith("false|This e-mail address already has an account."), reply.body.constData());
    }
    QVERIFY(get(url(create + QStringLiteral("not-an-address"))).body.startsWith("false|Please give a valid e-mail"));
    QVERIFY(get(url(QStringLiteral("/api/AppNewAccount?firstname=%20&lastname=x&email=y@example.org")))
                .body.startsWith("false|Please give your first name"));

    // The password arrives in the demo mailbox.
    reply = get(url(QStringLiteral("/site/mailbox?email=ann.oneil@example.org")));
    const QRegularExpressionMatch mail
        = QRegularExpression(QStringLiteral("User name: <code>([^<]+)</code><br>Password: <code>([a-z0-9]+)</code>"))
              .match(QString::fromUtf8(reply.body));
    QVERIFY2(mail.hasMatch(), reply.body.constData());
    QCOMPARE(mail.captured(1), QStringLiteral("ann.oneil@example.org"));

    openWindow();
    signInThroughWindow(mail.captured(1), mail.captured(2));
    QVERIFY(child<QWidget>("WingetLogin")->isHidden());
    QTRY_COMPARE(child<QLabel>("user_name")->text(), QStringLiteral("Ann Marie O'Neil"));
    // Not active until paid: the user lands on the payment page.
    QCOMPARE(child<QLineEdit>("user_enabled")->text(), QStringLiteral("0"));
    QVERIFY(!child<QTabWidget>("WingetConnected")->isTabEnabled(0));

    // Paying in the browser activates it; the next account refresh shows it.
    const Row plan = readTable(QStringLiteral("plans.tsv")).first();
    reply = get(url(QStringLiteral("/site/api/payment?email=ann.oneil@example.org&processor=2&plan=")
        + plan.value(QStringLiteral("id"))));
    QCOMPARE(reply.status, 200);
    QVERIFY(reply.body.contains("Payment received"));
    QVERIFY(QMetaObject::invokeMethod(window, "GetUserData"));
    QTRY_COMPARE(child<QLineEdit>("user_enabled")->text(), QStringLiteral("1"));
    QVERIFY(child<QTabWidget>("WingetConnected")->isTabEnabled(0));
    QCOMPARE(child<QLabel>("user_plan")->text(), QStringLiteral("Current plan:") + plan.value(QStringLiteral("plan")));
    QCOMPARE(child<QLabel>("user_expire")->text(),
        QStringLiteral("Expiration date: ")
            + QDate::currentDate().addDays(plan.value(QStringLiteral("days")).toInt()).toString(Qt::ISODate));
}

void DemoTest::openvpnRemoteAndUpdateOffer()
{
    QTemporaryFile ca;
    QVERIFY(ca.open());
    ca.write("-----BEGIN CERTIFICATE-----\nthe world's CA\n-----END CERTIFICATE-----\n");
    ca.close();
    // The world's client keys, served inline.
    QTemporaryDir keys;
    for (const char* name : { "client.crt", "client.key", "tls-crypt.key" }) {
        QFile key(keys.filePath(QLatin1String(name)));
        QVERIFY(key.open(QIODevice::WriteOnly));
        key.write(QByteArray("the world's ") + name + "\n");
    }
    DemoService redirected(
        { QStringLiteral("--openvpn-remote"), QStringLiteral("198.51.100.7:1195"), QStringLiteral("--openvpn-ca"),
            ca.fileName(), QStringLiteral("--openvpn-keys"), keys.path(), QStringLiteral("--offer-update") });
    QVERIFY(!redirected.base.isEmpty());
    const QString key = md5(QStringLiteral("demo"));

    // Every server leads to the one OpenVPN server and is confirmed by its address.
    const QByteArray catalogue
        = get(redirected.base + QStringLiteral("/api/AppServersV2?username=demo&key=") + key).body;
    const int serverCount = readTable(QStringLiteral("servers.tsv")).size();
    QCOMPARE(elementTexts(catalogue, QStringLiteral("IP")), repeated(serverCount, QStringLiteral("198.51.100.7")));
    QCOMPARE(
        elementTexts(catalogue, QStringLiteral("assignedIP")), repeated(serverCount, QStringLiteral("198.51.100.7")));
    QCOMPARE(elementTexts(catalogue, QStringLiteral("name")), repeated(serverCount, QStringLiteral("UDP 1195")));
    const QStringList configs = elementTexts(catalogue, QStringLiteral("config"));
    QCOMPARE(configs.size(), serverCount);
    const QByteArray config = get(configs.last()).body;
    QVERIFY2(config.contains("\nremote 198.51.100.7 1195\n"), config.constData());
    // No directive that writes files, runs scripts or detaches.
    for (const char* directive : { "\nup ", "\ndown ", "\nscript-security", "\nplugin", "\nmanagement", "\ndaemon",
             "\nlog", "\nstatus", "\nwritepid" })
        QVERIFY2(!config.contains(directive), directive);
    QVERIFY(config.contains("\n<cert>\nthe world's client.crt\n</cert>\n<key>\nthe world's client.key\n</key>\n"
                            "<tls-crypt>\nthe world's tls-crypt.key\n</tls-crypt>\n"));
    // Whole, both ways of starting OpenVPN.
    const connection::openvpn::ProfileCheck direct = connection::openvpn::checkProfile(config);
    QVERIFY(direct.accepted && direct.dropped().isEmpty());
    QVERIFY2(connection::openvpn::checkNetworkManagerProfile(config, QDir::tempPath()).accepted, config.constData());
    QCOMPARE(get(elementTexts(catalogue, QStringLiteral("certificate")).first()).body,
        QByteArray("-----BEGIN CERTIFICATE-----\nthe world's CA\n-----END CERTIFICATE-----\n"));

    const QByteArray account
        = get(redirected.base + QStringLiteral("/api/AppUserInfoV3?username=demo&key=") + key).body;
    for (const QString& entry : elementTexts(account, QStringLiteral("quick_servers")).value(0).split('|'))
        QCOMPARE(entry.section(QLatin1Char('^'), 1, 1), QStringLiteral("198.51.100.7"));

    // A newer version, with an installer to download.
    const QByteArray update = get(redirected.base + QStringLiteral("/api/AppVer2/15.0801")).body;
    const QString version = elementTexts(update, QStringLiteral("version")).value(0);
    QVERIFY(!version.isEmpty());
    QVERIFY(version != QStringLiteral("15.0801"));
    const Reply installer = get(elementTexts(update, QStringLiteral("url")).value(0));
    QCOMPARE(installer.status, 200);
    QVERIFY(!installer.body.isEmpty());
}

// A connect in the plain demo, with the real OpenVPN, on a machine whose
// default route leads out through an interface: tests/support/only-loopback.sh
// builds such a network namespace, with a dummy interface as the way out, and
// runs this case in it.
void DemoTest::openvpnAttemptStaysOnThisMachine()
{
    const QString wayOut = qEnvironmentVariable("VELNOR_WAY_OUT");
    if (wayOut.isEmpty())
        QSKIP("needs the namespace of tests/support/only-loopback.sh");
    // /proc/net/dev, not /sys: sysfs shows the namespace it was mounted in.
    const auto packetsOut = [&wayOut] {
        QFile table(QStringLiteral("/proc/self/net/dev"));
        table.open(QIODevice::ReadOnly);
        for (const QByteArray& line : table.readAll().split('\n')) {
            const QList<QByteArray> cells = line.simplified().split(' ');
            if (cells.size() > 10 && cells.first() == wayOut.toUtf8() + ':')
                return cells.at(10).toInt();
        }
        return -1;
    };
    qputenv("VELNOR_OPENVPN", "openvpn");
    openWindow();
    signInThroughWindow(QStringLiteral("demo"), QStringLiteral("demo"));
    QTRY_COMPARE(fixture->field("user_enabled"), QStringLiteral("1"));
    auto* protocols = child<QComboBox>("protocols");
    protocols->setCurrentIndex(protocols->findText(QStringLiteral("Protocol: OpenVPN")));
    const int before = packetsOut();
    QVERIFY(before >= 0);
    child<QPushButton>("connect")->click();

    // OpenVPN tries the server in real time while the monitor counts to its limit.
    for (int tick = 0; tick < 14 && dialogs->boxes().isEmpty(); ++tick) {
        QTest::qWait(500);
        QMetaObject::invokeMethod(window, "UpdateTimer");
    }
    QCOMPARE(dialogs->boxes().size(), 1);
    QCOMPARE(dialogs->last().title, QStringLiteral("Cannot connect"));
    QFile log(QDir::currentPath() + QStringLiteral("/include/openvpn.log"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray tried = log.readAll();
    QVERIFY2(tried.contains("127.0.1."), tried.constData());
    QCOMPARE(packetsOut(), before);
    qunsetenv("VELNOR_OPENVPN");
}

void DemoTest::stopsCleanlyAndLogsNoSecret()
{
    QProcess& process = service->process;
    process.terminate();
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);

    const QStringList lines = QString::fromUtf8(process.readAllStandardError()).split('\n', Qt::SkipEmptyParts);
    QVERIFY(lines.size() > 20);
    QCOMPARE(lines.last(), QStringLiteral("velnor-demo: stopped (SIGTERM)"));
    const QRegularExpression request(QStringLiteral("^((GET|-) \\S+ \\d{3}|IP echo for \\S+)$"));
    for (const QString& line : lines.mid(0, lines.size() - 1))
        QVERIFY2(request.match(line).hasMatch(), qPrintable(line));
    QVERIFY(lines.contains(QStringLiteral("GET /api/AppServersV2 200")));
    QVERIFY(lines.contains(QStringLiteral("GET /api/AppServersV2 400")));
    QVERIFY(!digestsSent.isEmpty());
    for (const QString& digest : digestsSent)
        QVERIFY2(!lines.join('\n').contains(digest), qPrintable(digest));
}

QTEST_MAIN(DemoTest)
#include "tst_demo.moc"
