#include "fakebackend.h"
#include "mainwindow/velnormain.h"
#include "service/request.h"
#include "windowfixture.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTextBrowser>
#include <QtTest>

#include <memory>

namespace {
const QString loginPath = QStringLiteral("/AppServersV2");
const QString accountPath = QStringLiteral("/AppUserInfoV3");
const QString networkFailureText = QStringLiteral(
    "Cannot communicate with main servers. Probably, there is a problem with your internet connection or our servers "
    "are not accesible from your location.");
const QString refusedText = QStringLiteral(
    "Your login details could not be authorised. Please input again your username and password and click connect.");
const QString emptyText = QStringLiteral("Please do not forget to provide your account details. Login process is not "
                                         "possible if username and password are not provided.");
// Qt::Dialog | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint
constexpr int standardBoxFlags = 0x2041003;
// MD5 of "secret", worked out independently of the program.
const QByteArray secretDigest = QByteArrayLiteral("5ebe2294ecd0e0f08eab7690d2a6ee69");

QStringList capturedMessages;
QtMessageHandler previousHandler = nullptr;

void captureMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    capturedMessages.append(message);
    if (previousHandler)
        previousHandler(type, context, message);
}
} // namespace

// Signing in and out: the login request, its reply and the remembered login,
// against a real HTTP server on 127.0.0.1.
class LoginTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void queryValuesAreEncoded_data();
    void queryValuesAreEncoded();
    void transferTimeout_data();
    void transferTimeout();

    void loginRequest_data();
    void loginRequest();
    void enterKeyLogsIn_data();
    void enterKeyLogsIn();
    void emptyInputs_data();
    void emptyInputs();
    void successOpensSignedInPages();
    void refusedLogin();
    void verdict_data();
    void verdict();
    void networkFailure_data();
    void networkFailure();
    void rememberedCredentials_data();
    void rememberedCredentials();
    void rememberedLoginAtStart();
    void logoutResets();
    void repliesAreReleased_data();
    void repliesAreReleased();
    void digestNeverLogged();

private:
    std::unique_ptr<WindowFixture> fixture;
    FakeBackend* backend = nullptr;
    DialogDriver* dialogs = nullptr;
    VelnorMain* window = nullptr;
    DeliveredReplies* delivered = nullptr;

    void openWindow()
    {
        window = fixture->openWindow();
        delivered = fixture->delivered;
    }
    template <typename T>
    T* child(const char* name) const
    {
        return fixture->child<T>(name);
    }
    void type(const char* name, const QString& text);
    void clickLogin();
    bool hidden(const char* name) const { return child<QWidget>(name)->isHidden(); }
};

void LoginTest::init()
{
    fixture = std::make_unique<WindowFixture>();
    backend = &fixture->backend;
    dialogs = &fixture->dialogs;
    QVERIFY(backend->isListening());
}

void LoginTest::cleanup()
{
    fixture.reset();
    window = nullptr;
}

void LoginTest::type(const char* name, const QString& text)
{
    auto* input = child<QLineEdit>(name);
    input->clear();
    for (const QChar character : text) {
        if (character.unicode() < 0x80)
            QTest::keyClick(input, character.toLatin1());
        else // no key code for it: a key event that carries only the text
            QTest::sendKeyEvent(QTest::Click, input, Qt::Key_unknown, QString(character), Qt::NoModifier);
    }
}

void LoginTest::clickLogin() { QTest::mouseClick(child<QPushButton>("login"), Qt::LeftButton); }

void LoginTest::queryValuesAreEncoded_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("sent");

    QTest::newRow("plain") << QStringLiteral("alice.smith-01_x~") << QByteArray("alice.smith-01_x~");
    QTest::newRow("characters a URL carries")
        << QStringLiteral("bob@example.org!$'()*,;:/?[]") << QByteArray("bob@example.org!$'()*,;:/?[]");
    QTest::newRow("ampersand") << QStringLiteral("tom&jerry") << QByteArray("tom%26jerry");
    QTest::newRow("equals and plus") << QStringLiteral("a=b+c") << QByteArray("a%3Db%2Bc");
    QTest::newRow("hash") << QStringLiteral("x#y") << QByteArray("x%23y");
    QTest::newRow("percent") << QStringLiteral("100%41") << QByteArray("100%2541");
    QTest::newRow("space") << QStringLiteral("a b") << QByteArray("a%20b");
    QTest::newRow("UTF-8") << QStringLiteral("j\u00fcrgen\u20ac") << QByteArray("j%C3%BCrgen%E2%82%AC");
    QTest::newRow("empty") << QString() << QByteArray();
}

void LoginTest::queryValuesAreEncoded()
{
    QFETCH(QString, value);
    QFETCH(QByteArray, sent);

    const QUrl url = service::buildUrl(QStringLiteral("http://127.0.0.1:8707/api"), QStringLiteral("/AppServersV2"),
        { { QStringLiteral("username"), value }, { QStringLiteral("key"), QStringLiteral("k") } });
    QCOMPARE(url.toEncoded(), "http://127.0.0.1:8707/api/AppServersV2?username=" + sent + "&key=k");
    // The service splits the query at "&" and decodes each value back.
    const QList<QByteArray> items = url.query(QUrl::FullyEncoded).toLatin1().split('&');
    QCOMPARE(items.size(), 2);
    QCOMPARE(QUrl::fromPercentEncoding(items.first().mid(int(qstrlen("username=")))), value);
}

void LoginTest::transferTimeout_data()
{
    QTest::addColumn<QByteArray>("setting");
    QTest::addColumn<int>("timeout");

    QTest::newRow("unset") << QByteArray() << 30000;
    QTest::newRow("short") << QByteArray("250") << 250;
    QTest::newRow("not a number") << QByteArray("soon") << 30000;
    QTest::newRow("zero") << QByteArray("0") << 30000;
    QTest::newRow("negative") << QByteArray("-5") << 30000;
}

void LoginTest::transferTimeout()
{
    QFETCH(QByteArray, setting);
    QFETCH(int, timeout);
    if (!setting.isNull())
        qputenv("VELNOR_TRANSFER_TIMEOUT_MS", setting);

    const QUrl url(QStringLiteral("http://127.0.0.1/x"));
    QCOMPARE(service::makeRequest(url, service::Cache::Bypass).transferTimeout(), timeout);
    QCOMPARE(service::makeRequest(url, service::Cache::Default).transferTimeout(), timeout);
}

void LoginTest::loginRequest_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("shownUser");
    QTest::addColumn<QString>("shownPassword");
    QTest::addColumn<QByteArray>("query");

    QTest::newRow("trimmed and lower-cased")
        << QStringLiteral("  Alice.Smith ") << QStringLiteral(" SeCrEt  ") << QStringLiteral("alice.smith")
        << QStringLiteral("secret") << QByteArray("username=alice.smith&key=" + secretDigest + "&appver=15.0801");
    QTest::newRow("ampersand in user name")
        << QStringLiteral("Tom&Jerry") << QStringLiteral("secret") << QStringLiteral("tom&jerry")
        << QStringLiteral("secret") << QByteArray("username=tom%26jerry&key=" + secretDigest + "&appver=15.0801");
    QTest::newRow("query characters in user name")
        << QStringLiteral("a+b=c#d%e f") << QStringLiteral("Pass Word") << QStringLiteral("a+b=c#d%e f")
        << QStringLiteral("pass word")
        << QByteArray("username=a%2Bb%3Dc%23d%25e%20f&key=4ac6430a17d0215b3052b15c879d48bc&appver=15.0801");
    QTest::newRow("non-ASCII") << QStringLiteral("\u00dcser") << QStringLiteral("P\u00c4SSW\u00d6RD")
                               << QStringLiteral("\u00fcser") << QStringLiteral("p\u00e4ssw\u00f6rd")
                               << QByteArray("username=%C3%BCser&key=12841e4ba5e37d2fbfc78458c6714ade&appver=15.0801");
    QTest::newRow("e-mail as user name") << QStringLiteral("Bob@Example.org") << QStringLiteral("secret")
                                         << QStringLiteral("bob@example.org") << QStringLiteral("secret")
                                         << QByteArray(
                                                "username=bob@example.org&key=" + secretDigest + "&appver=15.0801");
}

void LoginTest::loginRequest()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, shownUser);
    QFETCH(QString, shownPassword);
    QFETCH(QByteArray, query);

    FakeBackend::Response slow;
    slow.body = testFixture(QStringLiteral("refused.xml"));
    slow.delayMs = 300;
    backend->setResponse(loginPath, slow);
    openWindow();
    type("username", user);
    type("password", password);
    clickLogin();

    // Busy until the reply is in.
    QCOMPARE(child<QLineEdit>("username")->text(), shownUser);
    QCOMPARE(child<QLineEdit>("password")->text(), shownPassword);
    for (const char* name : { "buy", "login", "username", "password" })
        QVERIFY2(!child<QWidget>(name)->isEnabled(), name);
    QVERIFY(!hidden("loading"));
    QCOMPARE(child<QLabel>("authstatus")->text(), QStringLiteral("Please wait: the login is in progress!"));
    QCOMPARE(child<QLabel>("statuslabel")->text(), QStringLiteral("Starting auth process..."));
    QCOMPARE(child<QProgressBar>("progressBar")->value(), 15);

    QTRY_COMPARE(delivered->count(loginPath), 1);
    const QList<FakeBackend::Request> requests = backend->requests(loginPath);
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.first().method, QByteArray("GET"));
    QCOMPARE(requests.first().query, query);
    QCOMPARE(requests.first().queryItems().size(), 3);
    QCOMPARE(requests.first().queryItems().first().second, shownUser);
    // The cache is bypassed, which shows on the wire.
    QCOMPARE(requests.first().header("Cache-Control"), QByteArray("no-cache"));
    QVERIFY(hidden("loading"));
}

void LoginTest::enterKeyLogsIn_data()
{
    QTest::addColumn<QString>("input");
    QTest::newRow("user name") << QStringLiteral("username");
    QTest::newRow("password") << QStringLiteral("password");
}

void LoginTest::enterKeyLogsIn()
{
    QFETCH(QString, input);
    backend->answer(loginPath, testFixture(QStringLiteral("refused.xml")));
    openWindow();
    type("username", QStringLiteral("alice"));
    type("password", QStringLiteral("secret"));
    QTest::keyClick(child<QLineEdit>(qPrintable(input)), Qt::Key_Return);
    QTRY_COMPARE(delivered->count(loginPath), 1);
    QCOMPARE(backend->requests(loginPath).size(), 1);
}

void LoginTest::emptyInputs_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");

    QTest::newRow("both empty") << QString() << QString();
    QTest::newRow("no user name") << QString() << QStringLiteral("secret");
    QTest::newRow("no password") << QStringLiteral("alice") << QString();
    QTest::newRow("user name of blanks") << QStringLiteral("   ") << QStringLiteral("secret");
    QTest::newRow("password of blanks") << QStringLiteral("alice") << QStringLiteral(" \t ");
}

void LoginTest::emptyInputs()
{
    QFETCH(QString, user);
    QFETCH(QString, password);

    openWindow();
    type("username", user);
    type("password", password);
    clickLogin();

    QCOMPARE(dialogs->boxes().size(), 1);
    const DialogDriver::Box box = dialogs->last();
    QCOMPARE(box.title, QStringLiteral("Empty Authentication"));
    QCOMPARE(box.text, emptyText);
    QCOMPARE(box.icon, QMessageBox::Information);
    QCOMPARE(int(box.flags), standardBoxFlags);
    QVERIFY(!box.hasParent);

    for (const char* name : { "login", "username", "password" })
        QVERIFY2(child<QWidget>(name)->isEnabled(), name);
    QVERIFY(!child<QWidget>("buy")->isEnabled());

    // A login sent afterwards arrives; none went out before it.
    backend->answer(loginPath, testFixture(QStringLiteral("refused.xml")));
    type("username", QStringLiteral("bob"));
    type("password", QStringLiteral("secret"));
    clickLogin();
    QTRY_COMPARE(delivered->count(loginPath), 1);
    QCOMPARE(backend->requests(loginPath).size(), 1);
    QVERIFY(backend->requests(loginPath).first().query.startsWith("username=bob&"));
}

void LoginTest::successOpensSignedInPages()
{
    backend->answer(loginPath, testFixture(QStringLiteral("catalogue.xml")));
    openWindow();
    type("username", QStringLiteral("Alice"));
    type("password", QStringLiteral("Secret"));
    clickLogin();
    QTRY_COMPARE(delivered->count(loginPath), 1);

    QVERIFY(dialogs->boxes().isEmpty());
    QCOMPARE(child<QLabel>("authstatus")->text(), QStringLiteral("Authenticated!"));
    QVERIFY(hidden("WingetLogin"));
    QVERIFY(hidden("WidgetNewAccount"));
    QVERIFY(!hidden("WingetConnected"));
    QCOMPARE(child<QTabWidget>("WingetConnected")->currentIndex(), 0);
    QVERIFY(hidden("cancel"));
    QVERIFY(!hidden("connect"));
    QVERIFY(hidden("disconnect"));
    QVERIFY(hidden("loading"));
    QCOMPARE(child<QProgressBar>("progressBar")->value(), 100);
    QCOMPARE(child<QTextBrowser>("textBrowser")->toPlainText(),
        QString::fromUtf8(testFixture(QStringLiteral("catalogue.xml"))));

    // Then the account information, with the same credentials and the cache left alone.
    QTRY_COMPARE(backend->requests(accountPath).size(), 1);
    const FakeBackend::Request account = backend->requests(accountPath).first();
    QCOMPARE(account.query, QByteArray("username=alice&key=" + secretDigest));
    QVERIFY(account.header("Cache-Control").isEmpty());
}

void LoginTest::refusedLogin()
{
    backend->answer(loginPath, testFixture(QStringLiteral("refused.xml")));
    openWindow();
    type("username", QStringLiteral(" Alice "));
    type("password", QStringLiteral("Wrong"));
    clickLogin();
    QTRY_COMPARE(delivered->count(loginPath), 1);

    QCOMPARE(dialogs->boxes().size(), 1);
    const DialogDriver::Box box = dialogs->last();
    QCOMPARE(box.title, QStringLiteral("Bad username/password"));
    QCOMPARE(box.text, refusedText);
    QCOMPARE(box.icon, QMessageBox::Information);
    QCOMPARE(int(box.flags), standardBoxFlags);
    QVERIFY(!box.hasParent);

    QCOMPARE(child<QLabel>("authstatus")->text(), QStringLiteral("Not connected!"));
    QVERIFY(!hidden("WingetLogin"));
    QVERIFY(hidden("WingetConnected"));
    QCOMPARE(child<QLineEdit>("username")->text(), QStringLiteral("alice"));
    QCOMPARE(child<QLineEdit>("password")->text(), QStringLiteral("wrong"));
    for (const char* name : { "login", "username", "password" })
        QVERIFY2(child<QWidget>(name)->isEnabled(), name);
    QVERIFY(!child<QWidget>("buy")->isEnabled());
    QCOMPARE(child<QProgressBar>("progressBar")->value(), 100);
    QVERIFY(backend->requests(accountPath).isEmpty());
}

void LoginTest::verdict_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("signedIn");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QString>("authstatus");

    const QString authenticated = QStringLiteral("Authenticated!");
    const QString notConnected = QStringLiteral("Not connected!");
    const QString waiting = QStringLiteral("Please wait: the login is in progress!");
    const QStringList refused { QStringLiteral("Bad username/password") };

    QTest::newRow("empty verdict") << QByteArray("<r><response></response></r>") << true << QStringList()
                                   << authenticated;
    QTest::newRow("true and a line break")
        << QByteArray("<r><response>true\n</response></r>") << true << QStringList() << authenticated;
    QTest::newRow("FALSE is not false") << QByteArray("<r><response>FALSE</response></r>") << true << QStringList()
                                        << authenticated;
    QTest::newRow("false with blanks is not false")
        << QByteArray("<r><response> false</response></r>") << true << QStringList() << authenticated;
    QTest::newRow("both verdicts, in order")
        << QByteArray("<r><response>true</response><response>false</response></r>") << true << refused << notConnected;
    QTest::newRow("no response element") << QByteArray("<r><servers/></r>") << false << QStringList() << waiting;
    QTest::newRow("empty body") << QByteArray() << false << QStringList() << waiting;
    QTest::newRow("not XML") << QByteArray("Service temporarily unavailable") << false << QStringList() << waiting;
    QTest::newRow("malformed before the verdict")
        << QByteArray("<r><servers><server></r><response>true</response>") << false << QStringList() << waiting;
    QTest::newRow("malformed after the verdict")
        << QByteArray("<r><response>false</response><servers><oops></r>") << false << refused << notConnected;
    QTest::newRow("zero byte cuts the document")
        << QByteArray("<r>\0<response>true</response></r>", 33) << false << QStringList() << waiting;
    QTest::newRow("document that looks like HTML")
        << QByteArray("<html><body><response>true</response></body></html>") << true << QStringList() << authenticated;

    QByteArray padded = "<r><padding>";
    padded += QByteArray(20 * 1024 * 1024, 'x');
    padded += "</padding><response>true</response></r>";
    QTest::newRow("20 MB") << padded << true << QStringList() << authenticated;

    QByteArray catalogue = "<?xml version=\"1.0\"?>\n<velnor>\n    <response>true</response>\n    <servers>\n";
    for (int i = 1; i <= 5000; ++i) {
        catalogue += "        <server>\n            <id>" + QByteArray::number(i) + "</id>\n            <shortname>S"
            + QByteArray::number(i)
            + "</shortname>\n            <IP>10.0.0.1</IP>\n            <country>de</country>\n"
              "            <assignedIP>10.1.0.1</assignedIP>\n            <pptp>\n                "
              "<enabled>1</enabled>\n"
              "            </pptp>\n            <l2tp>\n                <enabled>0</enabled>\n"
              "                <pskey>k</pskey>\n            </l2tp>\n            <openvpn>\n"
              "                <enabled>0</enabled>\n                <profiles>\n                    <count>0</count>\n"
              "                </profiles>\n            </openvpn>\n        </server>\n";
    }
    catalogue += "    </servers>\n</velnor>\n";
    QTest::newRow("5000 servers") << catalogue << true << QStringList() << authenticated;
}

void LoginTest::verdict()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, signedIn);
    QFETCH(QStringList, boxes);
    QFETCH(QString, authstatus);

    backend->answer(loginPath, body);
    openWindow();
    type("username", QStringLiteral("alice"));
    type("password", QStringLiteral("secret"));
    clickLogin();
    QTRY_COMPARE_WITH_TIMEOUT(delivered->count(loginPath), 1, 30000);

    QStringList titles;
    for (const DialogDriver::Box& box : dialogs->boxes())
        titles.append(box.title);
    QCOMPARE(titles, boxes);
    QCOMPARE(hidden("WingetConnected"), !signedIn);
    QCOMPARE(hidden("WingetLogin"), signedIn);
    QCOMPARE(child<QLabel>("authstatus")->text(), authstatus);
    QCOMPARE(child<QProgressBar>("progressBar")->value(), 100);
    // The login page is usable again whatever the document held.
    QVERIFY(hidden("loading"));
    QVERIFY(child<QWidget>("login")->isEnabled());
    // The body is kept as text up to its first zero byte.
    const int end = body.indexOf('\0');
    QCOMPARE(child<QTextBrowser>("textBrowser")->toPlainText(), QString::fromUtf8(end < 0 ? body : body.left(end)));
}

void LoginTest::networkFailure_data()
{
    QTest::addColumn<QString>("failure");
    QTest::newRow("connection refused") << QStringLiteral("refused");
    QTest::newRow("HTTP 500") << QStringLiteral("500");
    QTest::newRow("HTTP 404") << QStringLiteral("404");
    QTest::newRow("connection dropped") << QStringLiteral("drop");
    QTest::newRow("backend stalls") << QStringLiteral("stall");
    QTest::newRow("reply over the size cap") << QStringLiteral("huge");
}

void LoginTest::networkFailure()
{
    QFETCH(QString, failure);

    if (failure == QLatin1String("refused"))
        qputenv("VELNOR_API_BASE", FakeBackend::refusingBaseUrl().toUtf8());
    else if (failure == QLatin1String("500"))
        backend->answer(loginPath, testFixture(QStringLiteral("catalogue.xml")), 500);
    else if (failure == QLatin1String("drop"))
        backend->drop(loginPath);
    else if (failure == QLatin1String("huge"))
        backend->answer(loginPath, QByteArray(service::replyCap + 1, ' '));
    else if (failure == QLatin1String("stall")) {
        backend->stall(loginPath);
        qputenv("VELNOR_TRANSFER_TIMEOUT_MS", "300");
    }

    openWindow();
    type("username", QStringLiteral("alice"));
    type("password", QStringLiteral("secret"));
    clickLogin();
    QTRY_COMPARE_WITH_TIMEOUT(delivered->count(loginPath), 1, 15000);

    QCOMPARE(dialogs->boxes().size(), 1);
    const DialogDriver::Box box = dialogs->last();
    QCOMPARE(box.title, QString());
    QCOMPARE(box.text, networkFailureText);
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(int(box.flags), standardBoxFlags);
    QVERIFY(!box.hasParent);

    QCOMPARE(child<QLabel>("authstatus")->text(), QStringLiteral("Not connected!"));
    QCOMPARE(child<QProgressBar>("progressBar")->value(), 99);
    // The error text stands where the catalogue would be.
    const QString stored = child<QTextBrowser>("textBrowser")->toPlainText();
    QVERIFY(!stored.isEmpty());
    QVERIFY(!stored.contains(QLatin1String("<response>")));
    QVERIFY(hidden("loading"));
    QVERIFY(!hidden("WingetLogin"));
    for (const char* name : { "login", "username", "password" })
        QVERIFY2(child<QWidget>(name)->isEnabled(), name);
    QVERIFY(backend->requests(accountPath).isEmpty());
}

void LoginTest::rememberedCredentials_data()
{
    QTest::addColumn<bool>("remember");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");

    QTest::newRow("remembered as typed") << true << QStringLiteral(" Alice ") << QStringLiteral("PassWord ");
    QTest::newRow("non-ASCII") << true << QStringLiteral("J\u00fcrgen") << QStringLiteral("Gr\u00fc\u00dfe");
    QTest::newRow("not remembered") << false << QStringLiteral("Alice") << QStringLiteral("secret");
    QTest::newRow("remembered although empty") << true << QStringLiteral("alice") << QString();
}

void LoginTest::rememberedCredentials()
{
    QFETCH(bool, remember);
    QFETCH(QString, user);
    QFETCH(QString, password);

    {
        QSettings settings;
        settings.setValue(QStringLiteral("vlu"), QByteArray("old user"));
        settings.setValue(QStringLiteral("vlp"), QByteArray("old password"));
    }
    backend->answer(loginPath, testFixture(QStringLiteral("refused.xml")));
    openWindow();
    type("username", user);
    type("password", password);
    if (remember)
        QTest::mouseClick(child<QCheckBox>("autologin"), Qt::LeftButton);
    QCOMPARE(child<QCheckBox>("autologin")->isChecked(), remember);
    clickLogin();

    const QSettings settings;
    QCOMPARE(settings.value(QStringLiteral("vlr")).toString(), remember ? QStringLiteral("1") : QStringLiteral("0"));
    QCOMPARE(settings.value(QStringLiteral("vlu")).toByteArray(), remember ? user.toUtf8() : QByteArray());
    QCOMPARE(settings.value(QStringLiteral("vlp")).toByteArray(), remember ? password.toUtf8() : QByteArray());
    // The store holds a password: nobody else may read it.
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ReadOther
        | QFileDevice::WriteOther;
    QCOMPARE(QFile(settings.fileName()).permissions() & others, QFileDevice::Permissions());
}

void LoginTest::rememberedLoginAtStart()
{
    {
        QSettings settings;
        settings.setValue(QStringLiteral("vlr"), QStringLiteral("1"));
        settings.setValue(QStringLiteral("vlu"), QStringLiteral(" Alice ").toUtf8());
        settings.setValue(QStringLiteral("vlp"), QStringLiteral("SECRET").toUtf8());
    }
    backend->answer(loginPath, testFixture(QStringLiteral("catalogue.xml")));
    openWindow();

    QTRY_COMPARE(delivered->count(loginPath), 1);
    QCOMPARE(backend->requests(loginPath).first().query,
        QByteArray("username=alice&key=" + secretDigest + "&appver=15.0801"));
    QVERIFY(child<QCheckBox>("autologin")->isChecked());
    QCOMPARE(child<QLineEdit>("username")->text(), QStringLiteral("alice"));
    QCOMPARE(child<QLabel>("authstatus")->text(), QStringLiteral("Authenticated!"));
    // Still remembered as typed, for the next start.
    QCOMPARE(QSettings().value(QStringLiteral("vlu")).toByteArray(), QByteArray(" Alice "));
}

void LoginTest::logoutResets()
{
    backend->answer(loginPath, testFixture(QStringLiteral("catalogue.xml")));
    backend->answer(accountPath, testFixture(QStringLiteral("account.xml")));
    openWindow();
    type("username", QStringLiteral("alice"));
    type("password", QStringLiteral("secret"));
    QTest::mouseClick(child<QCheckBox>("autologin"), Qt::LeftButton);
    clickLogin();
    QTRY_COMPARE(delivered->count(accountPath), 1);
    QCOMPARE(child<QLineEdit>("user_enabled")->text(), QStringLiteral("1"));
    QVERIFY(!hidden("LogoSmall"));
    child<QTabWidget>("WingetConnected")->setCurrentIndex(2);

    QTest::mouseClick(child<QPushButton>("logout"), Qt::LeftButton);

    const QSettings settings;
    QCOMPARE(settings.value(QStringLiteral("vlr")).toString(), QStringLiteral("0"));
    QCOMPARE(settings.value(QStringLiteral("vlu")).toByteArray(), QByteArray());
    QCOMPARE(settings.value(QStringLiteral("vlp")).toByteArray(), QByteArray());
    QVERIFY(!child<QCheckBox>("autologin")->isChecked());
    QVERIFY(!hidden("autologin"));
    for (const char* name : { "buy", "login", "username", "password" })
        QVERIFY2(child<QWidget>(name)->isEnabled(), name);
    QVERIFY(child<QLineEdit>("user_enabled")->text().isEmpty());
    QVERIFY(child<QLineEdit>("username")->text().isEmpty());
    QVERIFY(child<QLineEdit>("password")->text().isEmpty());
    QVERIFY(child<QTextBrowser>("textBrowser")->toPlainText().isEmpty());
    QCOMPARE(child<QTextBrowser>("userdatatext")->toPlainText(), QStringLiteral("0"));
    QCOMPARE(child<QLabel>("authstatus")->text(), QStringLiteral("ready to connect"));
    for (const char* name : { "loading", "LogoSmall", "application_version", "WidgetNewAccount", "WingetConnected" })
        QVERIFY2(hidden(name), name);
    QVERIFY(!hidden("WingetLogin"));
    QVERIFY(child<QWidget>("WingetLogin")->isVisible());
    QCOMPARE(backend->requests(loginPath).size(), 1); // nothing is sent on logout
}

void LoginTest::repliesAreReleased_data()
{
    QTest::addColumn<QString>("outcome");
    QTest::newRow("signed in") << QStringLiteral("success");
    QTest::newRow("refused") << QStringLiteral("refused");
    QTest::newRow("network failure") << QStringLiteral("failure");
}

void LoginTest::repliesAreReleased()
{
    QFETCH(QString, outcome);
    if (outcome == QLatin1String("success")) {
        backend->answer(loginPath, testFixture(QStringLiteral("catalogue.xml")));
        backend->answer(accountPath, testFixture(QStringLiteral("account.xml")));
    } else if (outcome == QLatin1String("refused")) {
        backend->answer(loginPath, testFixture(QStringLiteral("refused.xml")));
    } else {
        backend->drop(loginPath);
    }

    openWindow();
    type("username", QStringLiteral("alice"));
    type("password", QStringLiteral("secret"));
    clickLogin();
    QTRY_COMPARE(delivered->count(loginPath), 1);
    QTRY_COMPARE(delivered->alive(loginPath), 0);
    if (outcome == QLatin1String("success")) {
        QTRY_COMPARE(delivered->count(accountPath), 1);
        QTRY_COMPARE(delivered->alive(accountPath), 0);
    }
}

void LoginTest::digestNeverLogged()
{
    capturedMessages.clear();
    previousHandler = qInstallMessageHandler(captureMessage);

    backend->answer(loginPath, testFixture(QStringLiteral("catalogue.xml")), 500);
    openWindow();
    type("username", QStringLiteral("alice"));
    type("password", QStringLiteral("secret"));
    clickLogin();
    QTRY_COMPARE(delivered->count(loginPath), 1);
    backend->answer(loginPath, testFixture(QStringLiteral("catalogue.xml")));
    clickLogin();
    QTRY_COMPARE(delivered->count(accountPath), 1);

    qInstallMessageHandler(previousHandler);
    for (const QString& message : qAsConst(capturedMessages))
        QVERIFY2(!message.contains(QString::fromLatin1(secretDigest)), qPrintable(message));
}

QTEST_MAIN(LoginTest)
#include "tst_login.moc"
