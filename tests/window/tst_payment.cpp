#include "mainwindow/tray.h"
#include "urlcapture.h"
#include "windowfixture.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

namespace {
const QString siteBase = QStringLiteral("http://127.0.0.1:9/site");
const QString storeUrl = QStringLiteral("http://127.0.0.1:9/store?id=velnor");
const QString accountPath = QStringLiteral("/AppUserInfoV3");
} // namespace

// Payment in the browser, the waiting page, and the fixed browser links.
class PaymentTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void paymentAddress_data();
    void paymentAddress();
    void checkout_data();
    void checkout();
    void waitingEnds_data();
    void waitingEnds();
    void links_data();
    void links();
    void failedOpenShowsAddress_data();
    void failedOpenShowsAddress();

private:
    std::unique_ptr<WindowFixture> fixture;
    std::unique_ptr<UrlCapture> browser;
    VelnorMain* window = nullptr;
    QStringList balloons;

    template <typename T = QWidget>
    T* child(const char* name) const
    {
        return fixture->child<T>(name);
    }
    bool hidden(const char* name) const { return child(name)->isHidden(); }
    // The account tab of a signed-in account, as the account reply leaves it.
    void signedIn(const QString& enabled);
};

void PaymentTest::init()
{
    qputenv("VELNOR_SITE_BASE", siteBase.toUtf8());
    qputenv("VELNOR_STORE_URL", storeUrl.toUtf8());
    fixture = std::make_unique<WindowFixture>();
    QVERIFY(fixture->backend.isListening());
    browser = std::make_unique<UrlCapture>();
    balloons.clear();
    tray::setBalloonObserver([this](const QString& title, const QString&) { balloons.append(title); });
    window = fixture->openWindow();
}

void PaymentTest::cleanup()
{
    tray::setBalloonObserver(nullptr);
    fixture.reset();
    browser.reset();
    window = nullptr;
    qunsetenv("VELNOR_SITE_BASE");
    qunsetenv("VELNOR_STORE_URL");
}

void PaymentTest::signedIn(const QString& enabled)
{
    child<QLineEdit>("username")->setText(QStringLiteral("alice"));
    child<QLineEdit>("password")->setText(QStringLiteral("secret"));
    child<QLineEdit>("user_enabled")->setText(enabled);
    child<QLabel>("user_email")->setText(QStringLiteral("alice@example.org"));
    child("WingetLogin")->hide();
    child("WingetConnected")->show();
    child("tabAccountZonePayment")->show();
    child("tabAccountZoneInfo")->hide();
}

void PaymentTest::paymentAddress_data()
{
    QTest::addColumn<QString>("email");
    QTest::addColumn<QStringList>("plans");
    QTest::addColumn<QString>("query");

    QTest::newRow("lower-cased e-mail") << "Alice.Smith@Example.ORG" << QStringList { "11" }
                                        << "email=alice.smith@example.org&processor=2&plan=11";
    QTest::newRow("no plan on offer") << "alice@example.org" << QStringList()
                                      << "email=alice@example.org&processor=2&plan=";
    QTest::newRow("query characters encoded")
        << "a+b&c#d@example.org" << QStringList { "11" } << "email=a%2Bb%26c%23d@example.org&processor=2&plan=11";
}

void PaymentTest::paymentAddress()
{
    QFETCH(QString, email);
    QFETCH(QStringList, plans);
    QFETCH(QString, query);

    signedIn(QStringLiteral("1"));
    child<QLabel>("user_email")->setText(email);
    auto* processors = child<QComboBox>("payment_processor");
    processors->clear();
    processors->addItem(QStringLiteral("Card"), 1);
    processors->addItem(QStringLiteral("PayPal"), 2);
    processors->setCurrentIndex(1);
    auto* planList = child<QComboBox>("payment_plan");
    planList->clear();
    for (const QString& plan : plans)
        planList->addItem(QStringLiteral("Plan ") + plan, plan.toInt());

    child<QPushButton>("payment_do")->click();
    QCOMPARE(browser->urls().size(), 1);
    QCOMPARE(browser->urls().first().toString(QUrl::FullyEncoded), siteBase + QStringLiteral("/api/payment?") + query);
}

void PaymentTest::checkout_data()
{
    QTest::addColumn<QString>("enabled");
    QTest::addColumn<bool>("waits");

    QTest::newRow("inactive") << "0" << true;
    QTest::newRow("no flag") << "" << true;
    QTest::newRow("negative") << "-3" << true;
    QTest::newRow("active") << "1" << false;
}

void PaymentTest::checkout()
{
    QFETCH(QString, enabled);
    QFETCH(bool, waits);

    signedIn(enabled);
    child<QPushButton>("payment_do")->click();

    QCOMPARE(browser->urls().size(), 1);
    QCOMPARE(hidden("WidgetPaymentInProgress"), !waits);
    QCOMPARE(hidden("WingetConnected"), waits);
    QCOMPARE(child<QLineEdit>("paymentInProgress")->text(), waits ? QStringLiteral("1") : QStringLiteral("0"));
    if (!waits) {
        QVERIFY(!hidden("tabAccountZoneInfo"));
        QVERIFY(hidden("tabAccountZonePayment"));
    }
    for (const char* name : { "WingetLogin", "WidgetNewAccount", "WidgetConnectedVPN" })
        QVERIFY2(hidden(name), name);
    QVERIFY(window->windowState() & Qt::WindowMinimized);
    QCOMPARE(balloons, QStringList { QStringLiteral("Payment in progress") });
    // An active account has no confirmation step, so loading stays.
    QVERIFY(!hidden("loading"));
}

void PaymentTest::waitingEnds_data()
{
    QTest::addColumn<bool>("cancelled");
    QTest::newRow("confirmed by the account reply") << false;
    QTest::newRow("cancelled, then paid") << true;
}

void PaymentTest::waitingEnds()
{
    QFETCH(bool, cancelled);
    signedIn(QStringLiteral("0"));
    child<QPushButton>("payment_do")->click();
    QVERIFY(!hidden("WidgetPaymentInProgress"));

    if (cancelled) {
        QTest::mouseClick(child<QPushButton>("cancel_payment"), Qt::LeftButton);
        QCOMPARE(child<QLineEdit>("paymentInProgress")->text(), QStringLiteral("0"));
        QVERIFY(hidden("WidgetPaymentInProgress"));
        QVERIFY(!hidden("WingetConnected"));
        QVERIFY(hidden("loading"));
    }

    // The payment went through in the browser: the account is active now.
    QByteArray account = testFixture(QStringLiteral("account.xml"));
    account.replace("Maintenance on Sunday", "-");
    fixture->backend.answer(accountPath, account);
    QVERIFY(QMetaObject::invokeMethod(window, "GetUserData"));
    QTRY_COMPARE(fixture->delivered->count(accountPath), 1);

    QCOMPARE(balloons.contains(QStringLiteral("Account Active")), !cancelled);
    QCOMPARE(child<QLineEdit>("paymentInProgress")->text(), QStringLiteral("0"));
    QVERIFY(hidden("WidgetPaymentInProgress"));
    QVERIFY(!hidden("WingetConnected"));
    QCOMPARE(bool(window->windowState() & Qt::WindowMinimized), cancelled);
}

void PaymentTest::links_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("address");
    QTest::newRow("password recovery") << "forgot" << siteBase + QStringLiteral("/forgotpassword");
    QTest::newRow("Facebook trial") << "facebook" << siteBase + QStringLiteral("/login/facebook");
    QTest::newRow("Android app") << "checkAndroid" << storeUrl;
}

void PaymentTest::links()
{
    QFETCH(QString, button);
    QFETCH(QString, address);
    child<QPushButton>(qPrintable(button))->click();
    QCOMPARE(browser->urls(), QList<QUrl> { QUrl(address) });
    QVERIFY(fixture->dialogs.boxes().isEmpty());
}

void PaymentTest::failedOpenShowsAddress_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("address");
    QTest::newRow("link") << "forgot" << siteBase + QStringLiteral("/forgotpassword");
    QTest::newRow("payment") << "payment_do"
                             << siteBase + QStringLiteral("/api/payment?email=alice@example.org&processor=&plan=");
}

void PaymentTest::failedOpenShowsAddress()
{
    QFETCH(QString, button);
    QFETCH(QString, address);
    signedIn(QStringLiteral("0"));
    child<QComboBox>("payment_processor")->clear();
    child<QComboBox>("payment_plan")->clear();
    browser->failOpening();

    child<QPushButton>(qPrintable(button))->click();

    QCOMPARE(fixture->dialogs.boxes().size(), 1);
    QVERIFY2(fixture->dialogs.last().text.contains(address), qPrintable(fixture->dialogs.last().text));
    // No waiting for a page that never opened.
    QVERIFY(hidden("WidgetPaymentInProgress"));
    QCOMPARE(child<QLineEdit>("paymentInProgress")->text(), QStringLiteral("0"));
    QVERIFY(!(window->windowState() & Qt::WindowMinimized));
    QVERIFY(balloons.isEmpty());
}

QTEST_MAIN(PaymentTest)
#include "tst_payment.moc"
