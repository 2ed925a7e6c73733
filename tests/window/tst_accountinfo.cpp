#include "fakebackend.h"
#include "mainwindow/velnormain.h"
#include "service/accountinfo.h"
#include "windowfixture.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTextBrowser>
#include <QXmlStreamReader>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(QList<service::accountinfo::ListEntry>)

namespace {
const QString accountPath = QStringLiteral("/AppUserInfoV3");
const QString renewTitle = QStringLiteral("Renew your account?");
const QString renewText
    = QStringLiteral("Your account will expire soon. You would like to renew now to avoid any service "
                     "interruption when current subscription will end?");
constexpr int standardBoxFlags = 0x2041003;

const QStringList fieldNames = { "fullname", "email", "enabled", "plan", "plan_id", "expire", "days_left", "quota",
    "payment_methods", "plans", "quick_servers", "notice" };

// The fields of tests/fixtures/account.xml.
QStringList fixtureFields()
{
    return { "Alice Example", "alice@example.org", "1", "Premium Yearly", "7", "2026-12-31", "120", "50 GB",
        "1:Credit Card|2:PayPal", "10:Monthly - 9.99|11:Yearly - 59.99",
        "Frankfurt^10.8.0.11^PPTP|Zurich^10.8.0.12^L2TP^zrh-shared-key|Frankfurt^10.8.0.11^OpenVPN^"
        "http://127.0.0.1:8707/profiles/fra-ca.crt^http://127.0.0.1:8707/profiles/fra-udp.ovpn",
        "Maintenance on Sunday" };
}

// An account document in the service's layout: indented up to the response,
// compact from there to the end of the last field.
QByteArray accountDocument(const QStringList& fields, const QString& verdict = QStringLiteral("true"))
{
    QString text = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<userinfo>\n    <response>")
        + verdict.toHtmlEscaped() + QStringLiteral("</response>");
    for (int i = 0; i < fields.size(); ++i) {
        const QString& name = fieldNames.at(i);
        text += QLatin1Char('<') + name + QLatin1Char('>') + fields.at(i).toHtmlEscaped() + QStringLiteral("</") + name
            + QLatin1Char('>');
    }
    text += QStringLiteral("\n</userinfo>\n");
    return text.toUtf8();
}

// The fixture's fields without the notice, so no box interrupts.
QStringList quietFields()
{
    QStringList fields = fixtureFields();
    fields.last() = QStringLiteral("-");
    return fields;
}

QStringList withField(int position, const QString& value, QStringList fields = fixtureFields())
{
    fields[position - 1] = value;
    return fields;
}

QStringList asList(const service::accountinfo::Fields& fields)
{
    return { fields.name, fields.email, fields.enabled, fields.plan, fields.unused, fields.expiry, fields.daysLeft,
        fields.quota, fields.paymentMethods, fields.plans, fields.quickServers, fields.notice };
}
} // namespace

// The account information: its positional document, and what its reply does
// to the account tab, the connection tabs and the questions after login.
class AccountInfoTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void readFields_data();
    void readFields();
    void splitList_data();
    void splitList();

    void accountFields();
    void longQuickListKeptWhole();
    void requestNeedsBothInputs_data();
    void requestNeedsBothInputs();
    void usableDecision_data();
    void usableDecision();
    void connectedTunnelLocksTabs();
    void notice_data();
    void notice();
    void accountLabelsShowMarkupAsText();
    void renewal_data();
    void renewal();
    void renewalAnsweredNo();
    void renewalOnFirstReplyOnly_data();
    void renewalOnFirstReplyOnly();
    void logoutAsksAgain();
    void lateReplyOfEndedLogin();
    void paymentConfirmed_data();
    void paymentConfirmed();
    void badDocuments_data();
    void badDocuments();
    void automaticConnection_data();
    void automaticConnection();

private:
    std::unique_ptr<WindowFixture> fixture;
    FakeBackend* backend = nullptr;
    DialogDriver* dialogs = nullptr;
    VelnorMain* window = nullptr;
    DeliveredReplies* delivered = nullptr;

    void openWindow();
    void deliver(const QByteArray& body, int status = 200);
    template <typename T>
    T* child(const char* name) const
    {
        return fixture->child<T>(name);
    }
    bool hidden(const char* name) const { return child<QWidget>(name)->isHidden(); }
    QStringList boxTitles() const;
};

void AccountInfoTest::init()
{
    fixture = std::make_unique<WindowFixture>();
    backend = &fixture->backend;
    dialogs = &fixture->dialogs;
    QVERIFY(backend->isListening());
}

void AccountInfoTest::cleanup()
{
    fixture.reset();
    window = nullptr;
}

// Signed-in inputs, as the account request needs them.
void AccountInfoTest::openWindow()
{
    window = fixture->openWindow();
    delivered = fixture->delivered;
    child<QLineEdit>("username")->setText(QStringLiteral("alice"));
    child<QLineEdit>("password")->setText(QStringLiteral("secret"));
}

// Asks for the account information as the other flows do, and waits until
// the reply slot has run.
void AccountInfoTest::deliver(const QByteArray& body, int status)
{
    const int before = delivered->count(accountPath);
    backend->answer(accountPath, body, status);
    QVERIFY(QMetaObject::invokeMethod(window, "GetUserData"));
    QTRY_COMPARE_WITH_TIMEOUT(delivered->count(accountPath), before + 1, 30000);
}

QStringList AccountInfoTest::boxTitles() const
{
    QStringList titles;
    for (const DialogDriver::Box& box : dialogs->boxes())
        titles.append(box.title);
    return titles;
}

void AccountInfoTest::readFields_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QStringList>("fields");

    QTest::newRow("the fixture") << testFixture(QStringLiteral("account.xml")) << fixtureFields();
    QTest::newRow("escaped characters") << accountDocument(withField(12, QStringLiteral("Tom & Jerry <3")))
                                        << withField(12, QStringLiteral("Tom & Jerry <3"));
    QTest::newRow("non-ASCII") << accountDocument(withField(1, QStringLiteral("J\u00fcrgen \u00c5berg")))
                               << withField(1, QStringLiteral("J\u00fcrgen \u00c5berg"));

    // White space before the first field costs exactly that field.
    QByteArray spaced = testFixture(QStringLiteral("account.xml"));
    spaced.replace("</response>", "</response>\n    ");
    QTest::newRow("blank after the response") << spaced << withField(1, QString());

    // Past an empty field every field reads empty.
    QStringList empty = fixtureFields();
    empty[2].clear();
    QStringList broken = fixtureFields().mid(0, 2);
    while (broken.size() < 12)
        broken.append(QString());
    QTest::newRow("empty field") << accountDocument(empty) << broken;
}

void AccountInfoTest::readFields()
{
    QFETCH(QByteArray, document);
    QFETCH(QStringList, fields);

    QXmlStreamReader xml(document);
    while (!xml.atEnd() && !(xml.isStartElement() && xml.name() == QLatin1String("response")))
        xml.readNext();
    QVERIFY(!xml.atEnd());
    xml.readNext();
    QCOMPARE(xml.text(), QLatin1String("true"));
    QCOMPARE(asList(service::accountinfo::readFields(xml)), fields);
}

void AccountInfoTest::splitList_data()
{
    using Entries = QList<service::accountinfo::ListEntry>;
    QTest::addColumn<QString>("field");
    QTest::addColumn<Entries>("entries");

    QTest::newRow("two entries") << QStringLiteral("1:Credit Card|2:PayPal")
                                 << Entries { { QStringLiteral("Credit Card"), 1 }, { QStringLiteral("PayPal"), 2 } };
    QTest::newRow("empty pieces") << QStringLiteral("|3:A||4:B|")
                                  << Entries { { QStringLiteral("A"), 3 }, { QStringLiteral("B"), 4 } };
    QTest::newRow("no colon") << QStringLiteral("17") << Entries { { QString(), 17 } };
    QTest::newRow("id not a number") << QStringLiteral("x:Bank") << Entries { { QStringLiteral("Bank"), 0 } };
    QTest::newRow("second colon") << QStringLiteral("5:Plan:extra") << Entries { { QStringLiteral("Plan"), 5 } };
    QTest::newRow("nothing on offer") << QString() << Entries {};
    QTest::newRow("only bars") << QStringLiteral("||") << Entries {};
}

void AccountInfoTest::splitList()
{
    QFETCH(QString, field);
    QFETCH(QList<service::accountinfo::ListEntry>, entries);
    QCOMPARE(service::accountinfo::splitList(field), entries);
}

void AccountInfoTest::accountFields()
{
    openWindow();
    deliver(testFixture(QStringLiteral("account.xml")));

    QCOMPARE(backend->requests(accountPath).first().query,
        QByteArray("username=alice&key=5ebe2294ecd0e0f08eab7690d2a6ee69"));

    QCOMPARE(child<QLabel>("user_name")->text(), QStringLiteral("Alice Example"));
    QCOMPARE(child<QLabel>("user_email")->text(), QStringLiteral("alice@example.org"));
    QCOMPARE(child<QLineEdit>("user_enabled")->text(), QStringLiteral("1"));
    QCOMPARE(child<QLabel>("user_plan")->text(), QStringLiteral("Current plan:Premium Yearly"));
    QCOMPARE(child<QLabel>("user_expire")->text(), QStringLiteral("Expiration date: 2026-12-31"));
    QCOMPARE(child<QLabel>("user_quota")->text(), QStringLiteral("Quota remaining: 50 GB"));
    QCOMPARE(child<QLabel>("authstatus")->text(), QStringLiteral("50 GB quota available"));
    QCOMPARE(child<QLineEdit>("quick_servers")->text(), fixtureFields().at(10));
    QCOMPARE(child<QTextBrowser>("userdatatext")->toPlainText(),
        QString::fromUtf8(testFixture(QStringLiteral("account.xml"))));

    // The form's placeholder items are replaced, not added to.
    auto* methods = child<QComboBox>("payment_processor");
    QCOMPARE(methods->count(), 2);
    QCOMPARE(methods->itemText(0), QStringLiteral("Credit Card"));
    QCOMPARE(methods->itemData(0).toInt(), 1);
    QCOMPARE(methods->itemText(1), QStringLiteral("PayPal"));
    QCOMPARE(methods->itemData(1).toInt(), 2);
    auto* plans = child<QComboBox>("payment_plan");
    QCOMPARE(plans->count(), 2);
    QCOMPARE(plans->itemText(1), QStringLiteral("Yearly - 59.99"));
    QCOMPARE(plans->itemData(1).toInt(), 11);

    for (const char* name : { "user_area", "LogoSmall", "application_version", "tabAccountZoneInfo" })
        QVERIFY2(!hidden(name), name);
    QVERIFY(hidden("tabAccountZonePayment"));

    QCOMPARE(dialogs->boxes().size(), 1);
    const DialogDriver::Box box = dialogs->last();
    QCOMPARE(box.title, QStringLiteral("Notice"));
    QCOMPARE(box.text, QStringLiteral("Maintenance on Sunday"));
    QCOMPARE(box.icon, QMessageBox::Information);
    QCOMPARE(int(box.flags), standardBoxFlags);
    QVERIFY(!box.hasParent);
}

// A provider with many servers sends a list longer than a line edit holds.
void AccountInfoTest::longQuickListKeptWhole()
{
    QStringList entries;
    for (int entry = 0; entry < 400; ++entry)
        entries.append(QStringLiteral("Server %1^198.51.100.%2^OpenVPN^http://127.0.0.1:8707/api/ovpn/%1/ca.crt"
                                      "^http://127.0.0.1:8707/api/ovpn/%1/udp.ovpn")
                           .arg(entry)
                           .arg(entry % 250));
    const QString list = entries.join(QLatin1Char('|'));
    QVERIFY(list.size() > 32767);
    openWindow();
    deliver(accountDocument(withField(11, list)));
    QCOMPARE(child<QLineEdit>("quick_servers")->text(), list);
}

void AccountInfoTest::requestNeedsBothInputs_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::newRow("no user name") << QString() << QStringLiteral("secret");
    QTest::newRow("no password") << QStringLiteral("alice") << QString();
    QTest::newRow("neither") << QString() << QString();
}

void AccountInfoTest::requestNeedsBothInputs()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    openWindow();
    child<QLineEdit>("username")->setText(user);
    child<QLineEdit>("password")->setText(password);
    QVERIFY(QMetaObject::invokeMethod(window, "GetUserData"));

    // A request that is sent afterwards arrives; the one before never did.
    child<QLineEdit>("username")->setText(QStringLiteral("bob"));
    child<QLineEdit>("password")->setText(QStringLiteral("secret"));
    deliver(testFixture(QStringLiteral("account.xml")));
    QCOMPARE(backend->requests(accountPath).size(), 1);
    QVERIFY(backend->requests(accountPath).first().query.startsWith("username=bob&"));
}

void AccountInfoTest::usableDecision_data()
{
    QTest::addColumn<QString>("enabled");
    QTest::addColumn<QString>("connectionStatus");
    QTest::addColumn<bool>("usable");

    QTest::newRow("active") << QStringLiteral("1") << QString() << true;
    QTest::newRow("active, disconnected") << QStringLiteral("1") << QStringLiteral("disconnected") << true;
    QTest::newRow("active, connecting") << QStringLiteral("2") << QStringLiteral("in progress") << true;
    QTest::newRow("flag not a number") << QStringLiteral("yes") << QString() << true;
    QTest::newRow("disabled") << QStringLiteral("0") << QString() << false;
    QTest::newRow("tunnel up") << QStringLiteral("1") << QStringLiteral("connected") << false;
}

void AccountInfoTest::usableDecision()
{
    QFETCH(QString, enabled);
    QFETCH(QString, connectionStatus);
    QFETCH(bool, usable);

    openWindow();
    auto* pages = child<QTabWidget>("WingetConnected");
    // Start from the opposite state, so every change shows.
    pages->setTabEnabled(0, !usable);
    pages->setTabEnabled(1, !usable);
    child<QWidget>("tabAccountZoneInfo")->setVisible(!usable);
    child<QWidget>("tabAccountZonePayment")->setVisible(usable);
    child<QLineEdit>("connectionStatus")->setText(connectionStatus);
    child<QLabel>("authstatus")->setText(QStringLiteral("before"));

    deliver(accountDocument(withField(3, enabled)));

    QCOMPARE(pages->isTabEnabled(0), usable);
    QCOMPARE(pages->isTabEnabled(1), usable);
    QCOMPARE(hidden("tabAccountZoneInfo"), !usable);
    QCOMPARE(hidden("tabAccountZonePayment"), usable);
    QCOMPARE(child<QLabel>("authstatus")->text(),
        usable ? QStringLiteral("50 GB quota available") : QStringLiteral("before"));
    if (!usable)
        QCOMPARE(pages->currentIndex(), 2);
}

void AccountInfoTest::connectedTunnelLocksTabs()
{
    openWindow();
    auto* pages = child<QTabWidget>("WingetConnected");
    child<QLineEdit>("connectionStatus")->setText(QStringLiteral("connected"));
    deliver(testFixture(QStringLiteral("account.xml")));
    QVERIFY(!pages->isTabEnabled(0));
    QVERIFY(!pages->isTabEnabled(1));
    QCOMPARE(pages->currentIndex(), 2);
    QVERIFY(!hidden("tabAccountZonePayment"));

    // The reply after disconnecting unlocks them again.
    child<QLineEdit>("connectionStatus")->setText(QStringLiteral("disconnected"));
    deliver(testFixture(QStringLiteral("account.xml")));
    QVERIFY(pages->isTabEnabled(0));
    QVERIFY(pages->isTabEnabled(1));
    QVERIFY(hidden("tabAccountZonePayment"));
    QVERIFY(!hidden("tabAccountZoneInfo"));
}

void AccountInfoTest::notice_data()
{
    QTest::addColumn<QString>("notice");
    QTest::addColumn<bool>("shown");

    QTest::newRow("5 characters") << QStringLiteral("Hello") << false;
    QTest::newRow("6 characters") << QStringLiteral("Hello!") << true;
    QTest::newRow("5 characters and blanks") << QStringLiteral("  Hello \n ") << false;
    QTest::newRow("6 characters and blanks") << QStringLiteral(" Hello! ") << true;
    QTest::newRow("blanks only") << QStringLiteral("          ") << false;
    QTest::newRow("markup stays text") << QStringLiteral("<b>Pay</b> <img src=\"http://203.0.113.9/x.png\">") << true;
}

void AccountInfoTest::notice()
{
    QFETCH(QString, notice);
    QFETCH(bool, shown);

    openWindow();
    deliver(accountDocument(withField(12, notice)));
    QCOMPARE(dialogs->boxes().size(), shown ? 1 : 0);
    if (shown) {
        QCOMPARE(dialogs->last().title, QStringLiteral("Notice"));
        QCOMPARE(dialogs->last().text, notice);
        QCOMPARE(dialogs->last().format, Qt::PlainText);
    }
}

// What the service sends is shown as text: anyone on the path could send
// markup, links or pictures.
void AccountInfoTest::accountLabelsShowMarkupAsText()
{
    const QString markup = QStringLiteral("<b>Eve</b><img src=\"http://203.0.113.9/x.png\">");
    openWindow();
    deliver(accountDocument(withField(1, markup)));
    auto* name = child<QLabel>("user_name");
    QCOMPARE(name->text(), markup);
    QCOMPARE(name->textFormat(), Qt::PlainText);
}

void AccountInfoTest::renewal_data()
{
    QTest::addColumn<QString>("daysLeft");
    QTest::addColumn<bool>("asked");

    QTest::newRow("5 days") << QStringLiteral("5") << false;
    QTest::newRow("4 days") << QStringLiteral("4") << true;
    QTest::newRow("expires today") << QStringLiteral("0") << true;
    QTest::newRow("expired") << QStringLiteral("-3") << true;
    QTest::newRow("not a number") << QStringLiteral("soon") << true;
}

void AccountInfoTest::renewal()
{
    QFETCH(QString, daysLeft);
    QFETCH(bool, asked);

    openWindow();
    dialogs->answer(QMessageBox::Yes);
    deliver(accountDocument(withField(7, daysLeft, quietFields())));

    QCOMPARE(boxTitles(), asked ? QStringList { renewTitle } : QStringList());
    if (!asked) {
        QVERIFY(hidden("WingetConnected"));
        return;
    }
    const DialogDriver::Box box = dialogs->last();
    QCOMPARE(box.text, renewText);
    QVERIFY(box.hasParent);
    QCOMPARE(box.buttons, QMessageBox::Yes | QMessageBox::No);
    // Yes leads to the payment page.
    QVERIFY(!hidden("WingetConnected"));
    QCOMPARE(child<QTabWidget>("WingetConnected")->currentIndex(), 2);
    QVERIFY(hidden("tabAccountZoneInfo"));
    QVERIFY(!hidden("tabAccountZonePayment"));
}

void AccountInfoTest::renewalAnsweredNo()
{
    openWindow();
    dialogs->answer(QMessageBox::No);
    deliver(accountDocument(withField(7, QStringLiteral("2"))));
    QCOMPARE(boxTitles(), (QStringList { QStringLiteral("Notice"), renewTitle }));
    QVERIFY(hidden("WingetConnected"));
    QVERIFY(!hidden("tabAccountZoneInfo"));
    QVERIFY(hidden("tabAccountZonePayment"));
}

void AccountInfoTest::renewalOnFirstReplyOnly_data()
{
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<int>("firstStatus");
    QTest::addColumn<int>("questions");

    const QByteArray expiring = accountDocument(withField(7, QStringLiteral("1")));
    QTest::newRow("two good replies") << expiring << 200 << 1;
    QTest::newRow("failed reply is not counted") << expiring << 500 << 1;
    QTest::newRow("refused document is counted")
        << accountDocument(withField(7, QStringLiteral("1")), QStringLiteral("false")) << 200 << 0;
    QTest::newRow("disabled account first") << accountDocument(withField(3, QStringLiteral("0"))) << 200 << 0;
}

void AccountInfoTest::renewalOnFirstReplyOnly()
{
    QFETCH(QByteArray, first);
    QFETCH(int, firstStatus);
    QFETCH(int, questions);

    openWindow();
    deliver(first, firstStatus);
    deliver(accountDocument(withField(7, QStringLiteral("1"))));
    QCOMPARE(boxTitles().count(renewTitle), questions);
}

void AccountInfoTest::logoutAsksAgain()
{
    openWindow();
    const QByteArray expiring = accountDocument(withField(7, QStringLiteral("3")));
    deliver(expiring);
    deliver(expiring);
    QCOMPARE(boxTitles().count(renewTitle), 1);

    child<QPushButton>("logout")->click();
    child<QLineEdit>("username")->setText(QStringLiteral("alice"));
    child<QLineEdit>("password")->setText(QStringLiteral("secret"));
    deliver(expiring);
    QCOMPARE(boxTitles().count(renewTitle), 2);
}

// A reply that comes after the logout belongs to the login that ended: it
// must not pass for the first reply of the next one.
void AccountInfoTest::lateReplyOfEndedLogin()
{
    QSettings().setValue(QStringLiteral("vpn_auto_connect"), QStringLiteral("1"));
    openWindow();
    const QByteArray expiring = accountDocument(withField(7, QStringLiteral("2"), quietFields()));
    FakeBackend::Response slow;
    slow.body = expiring;
    slow.delayMs = 300;
    backend->setResponse(accountPath, slow);
    QVERIFY(QMetaObject::invokeMethod(window, "GetUserData"));
    child<QPushButton>("logout")->click();
    QTRY_COMPARE(delivered->count(accountPath), 1);
    QVERIFY(hidden("LogoSmall"));
    QVERIFY(hidden("application_version"));
    QCOMPARE(child<QLabel>("authstatus")->text(), QStringLiteral("ready to connect"));
    QVERIFY(hidden("WidgetConnectingVPN"));
    QCOMPARE(boxTitles(), QStringList());

    // The next login's first reply still asks and connects.
    child<QLineEdit>("username")->setText(QStringLiteral("alice"));
    child<QLineEdit>("password")->setText(QStringLiteral("secret"));
    dialogs->answer(QMessageBox::No);
    deliver(expiring);
    QCOMPARE(boxTitles(), QStringList { renewTitle });
    QVERIFY(!hidden("WidgetConnectingVPN"));
}

void AccountInfoTest::paymentConfirmed_data()
{
    QTest::addColumn<QString>("enabled");
    QTest::addColumn<bool>("confirmed");
    QTest::newRow("account now active") << QStringLiteral("1") << true;
    QTest::newRow("still waiting") << QStringLiteral("0") << false;
}

void AccountInfoTest::paymentConfirmed()
{
    QFETCH(QString, enabled);
    QFETCH(bool, confirmed);

    openWindow();
    child<QLineEdit>("paymentInProgress")->setText(QStringLiteral("1"));
    child<QWidget>("WingetConnected")->hide();
    child<QWidget>("WidgetPaymentInProgress")->show();
    child<QWidget>("loading")->show();
    child<QTabWidget>("WingetConnected")->setCurrentIndex(3);
    window->showMinimized();

    deliver(accountDocument(withField(3, enabled)));

    QCOMPARE(child<QLineEdit>("paymentInProgress")->text(), confirmed ? QStringLiteral("0") : QStringLiteral("1"));
    QCOMPARE(hidden("WidgetPaymentInProgress"), confirmed);
    QCOMPARE(hidden("WingetConnected"), !confirmed);
    if (confirmed) {
        for (const char* name : { "WidgetConnectedVPN", "WidgetConnectingVPN", "WidgetNewAccount", "loading" })
            QVERIFY2(hidden(name), name);
        QCOMPARE(child<QTabWidget>("WingetConnected")->currentIndex(), 0);
        QVERIFY(!window->isMinimized());
    }
}

void AccountInfoTest::badDocuments_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("boxes");

    const QString previous = QStringLiteral("previous");
    const QByteArray good = testFixture(QStringLiteral("account.xml"));
    const QStringList notice { QStringLiteral("Notice") };

    QTest::newRow("response not true") << accountDocument(fixtureFields(), QStringLiteral("false")) << previous
                                       << QStringList();
    QTest::newRow("true with a line break")
        << accountDocument(fixtureFields(), QStringLiteral("true\n")) << previous << QStringList();
    QTest::newRow("no response") << QByteArray("<userinfo><fullname>X</fullname></userinfo>") << previous
                                 << QStringList();
    QTest::newRow("empty body") << QByteArray() << previous << QStringList();
    QTest::newRow("not XML") << QByteArray("{\"error\": true}") << previous << QStringList();
    QTest::newRow("zero byte before the response")
        << QByteArray("<userinfo>\0", 11) + good << previous << QStringList();
    QTest::newRow("malformed after the fields")
        << QByteArray(good).replace("</userinfo>", "<oops></userinfo>") << QStringLiteral("Alice Example") << notice;
    QTest::newRow("malformed inside the fields")
        << QByteArray("<u><response>true</response><a>Alice</a><b>x</c><d>y</d></u>") << QStringLiteral("Alice")
        << QStringList();
    QTest::newRow("document ends inside the fields")
        << QByteArray("<u><response>true</response><a>Alice</a><b>x</b>") << QStringLiteral("Alice") << QStringList();

    QByteArray padded = good;
    padded.replace("<userinfo>", "<userinfo><padding>" + QByteArray(20 * 1024 * 1024, 'x') + "</padding>");
    QTest::newRow("20 MB") << padded << QStringLiteral("Alice Example") << notice;

    QStringList many = fixtureFields();
    QStringList entries;
    for (int i = 1; i <= 5000; ++i)
        entries.append(QString::number(i) + QStringLiteral(":Method ") + QString::number(i));
    many[8] = entries.join(QLatin1Char('|'));
    QTest::newRow("5000 payment methods") << accountDocument(many) << QStringLiteral("Alice Example") << notice;
}

void AccountInfoTest::badDocuments()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, name);
    QFETCH(QStringList, boxes);

    openWindow();
    child<QLabel>("user_name")->setText(QStringLiteral("previous"));
    deliver(body);
    QCOMPARE(child<QLabel>("user_name")->text(), name);
    QCOMPARE(boxTitles(), boxes);
    // The account area is shown whatever the document held.
    QVERIFY(!hidden("LogoSmall"));
}

void AccountInfoTest::automaticConnection_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<bool>("connects");

    const QByteArray good = accountDocument(quietFields());
    QTest::newRow("after the first reply") << QStringLiteral("1") << good << true;
    QTest::newRow("switched off") << QStringLiteral("0") << good << false;
    QTest::newRow("not after a refused first reply")
        << QStringLiteral("1") << accountDocument(fixtureFields(), QStringLiteral("false")) << false;
    QTest::newRow("disabled account") << QStringLiteral("1") << accountDocument(withField(3, QStringLiteral("0")))
                                      << false;
}

void AccountInfoTest::automaticConnection()
{
    QFETCH(QString, setting);
    QFETCH(QByteArray, first);
    QFETCH(bool, connects);

    QSettings().setValue(QStringLiteral("vpn_auto_connect"), setting);
    openWindow();
    deliver(first);
    if (!connects) {
        // A later reply of the same login never connects either.
        deliver(accountDocument(quietFields()));
    }
    QCOMPARE(!hidden("WidgetConnectingVPN"), connects);
    if (connects) {
        QVERIFY(child<QLabel>("connecting_title")->text().startsWith(QStringLiteral("0/3 - Connecting to ")));
    }
}

QTEST_MAIN(AccountInfoTest)
#include "tst_accountinfo.moc"
