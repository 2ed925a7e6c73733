#include "windowfixture.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

namespace {
const QString newAccountPath = QStringLiteral("/AppNewAccount");
const QString missingText
    = QStringLiteral("To create a new account, need to provide firstname, lastname and your email "
                     "address. Please review the form and add missing fields.");
const QString networkText = QStringLiteral(
    "In this moment we are not able to process your request. Please check your internet connection and if all is ok, "
    "please try to create new account again later.");
const QString createdText
    = QStringLiteral("New account has been created. Username and password has been sent to your email address.");
constexpr int dropConnection = -1;
} // namespace

// Account creation from the login page: the form, the request and the
// plain-text reply.
class NewAccountTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void missingFields_data();
    void missingFields();
    void reply_data();
    void reply();
    void valuesReachServiceIntact();
    void lateSuccessKeepsSession();

private:
    std::unique_ptr<WindowFixture> fixture;
    VelnorMain* window = nullptr;

    template <typename T = QWidget>
    T* child(const char* name) const
    {
        return fixture->child<T>(name);
    }
    bool hidden(const char* name) const { return child(name)->isHidden(); }
    void fillForm(const QString& first, const QString& last, const QString& email);
    void create() { QTest::mouseClick(child<QPushButton>("CreateAccountBtn"), Qt::LeftButton); }
};

void NewAccountTest::init()
{
    fixture = std::make_unique<WindowFixture>();
    QVERIFY(fixture->backend.isListening());
    window = fixture->openWindow();
}

void NewAccountTest::cleanup()
{
    fixture.reset();
    window = nullptr;
}

void NewAccountTest::fillForm(const QString& first, const QString& last, const QString& email)
{
    child<QLineEdit>("username")->setText(QStringLiteral("typed before"));
    QTest::mouseClick(child<QPushButton>("buy"), Qt::LeftButton);
    QVERIFY(!hidden("WidgetNewAccount"));
    QVERIFY(hidden("WingetLogin"));
    QVERIFY(child<QLineEdit>("username")->text().isEmpty());
    child<QLineEdit>("NewFirstname")->setText(first);
    child<QLineEdit>("NewLastname")->setText(last);
    child<QLineEdit>("NewEmail")->setText(email);
}

void NewAccountTest::missingFields_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    QTest::addColumn<QString>("email");
    QTest::addColumn<bool>("sent");

    QTest::newRow("no first name") << ""
                                   << "Smith"
                                   << "ann@example.org" << false;
    QTest::newRow("no last name") << "Ann"
                                  << ""
                                  << "ann@example.org" << false;
    QTest::newRow("no e-mail") << "Ann"
                               << "Smith"
                               << "" << false;
    QTest::newRow("nothing") << ""
                             << ""
                             << "" << false;
    QTest::newRow("spaces count as filled") << " "
                                            << " "
                                            << " " << true;
}

void NewAccountTest::missingFields()
{
    QFETCH(QString, first);
    QFETCH(QString, last);
    QFETCH(QString, email);
    QFETCH(bool, sent);
    fixture->backend.answer(newAccountPath, "false|Please try again");

    fillForm(first, last, email);
    create();

    if (sent) {
        QTRY_COMPARE(fixture->delivered->count(newAccountPath), 1);
        QCOMPARE(fixture->dialogs.last().title, QStringLiteral("New Account Error"));
    } else {
        QTest::qWait(100);
        QVERIFY(fixture->backend.requests(newAccountPath).isEmpty());
        QCOMPARE(fixture->dialogs.boxes().size(), 1);
        QCOMPARE(fixture->dialogs.last().title, QStringLiteral("Missing info"));
        QCOMPARE(fixture->dialogs.last().text, missingText);
        QCOMPARE(fixture->dialogs.last().icon, QMessageBox::Critical);
    }
    QVERIFY(!hidden("WidgetNewAccount"));
}

void NewAccountTest::reply_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("created");
    QTest::addColumn<QString>("username");

    QTest::newRow("dropped connection") << dropConnection << QByteArray() << "Error" << networkText << false << "";
    QTest::newRow("server error") << 500 << QByteArray("true|ann") << "Error" << networkText << false << "";
    QTest::newRow("refused with a reason")
        << 200 << QByteArray("false|This e-mail address is taken.|x") << "New Account Error"
        << "This e-mail address is taken." << false << "";
    QTest::newRow("refused without a bar") << 200 << QByteArray("false") << "New Account Error"
                                           << "" << false << "";
    QTest::newRow("true in capitals") << 200 << QByteArray("True|ann") << "New Account Error"
                                      << "ann" << false << "";
    QTest::newRow("true with white space") << 200 << QByteArray(" true|ann") << "New Account Error"
                                           << "ann" << false << "";
    QTest::newRow("created") << 200 << QByteArray("true| ann.smith7 \n|extra") << "New Account Created" << createdText
                             << true << "ann.smith7";
    QTest::newRow("created without a name")
        << 200 << QByteArray("true") << "New Account Created" << createdText << true << "";
}

void NewAccountTest::reply()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QFETCH(bool, created);
    QFETCH(QString, username);
    if (status == dropConnection)
        fixture->backend.drop(newAccountPath);
    else
        fixture->backend.answer(newAccountPath, body, status);

    fillForm(QStringLiteral("Ann"), QStringLiteral("Smith"), QStringLiteral("ann@example.org"));
    create();
    QVERIFY(!child<QPushButton>("CreateAccountBtn")->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(fixture->delivered->count(newAccountPath), 1, 30000);

    QCOMPARE(fixture->dialogs.boxes().size(), 1);
    QCOMPARE(fixture->dialogs.last().title, title);
    QCOMPARE(fixture->dialogs.last().text, text);
    QCOMPARE(fixture->dialogs.last().icon, created ? QMessageBox::Information : QMessageBox::Critical);
    QVERIFY(hidden("loading"));
    QVERIFY(child<QPushButton>("CreateAccountBtn")->isEnabled());
    QCOMPARE(hidden("WidgetNewAccount"), created);
    QCOMPARE(hidden("WingetLogin"), !created);
    QCOMPARE(child<QCheckBox>("autologin")->isChecked(), created);
    QCOMPARE(child<QLineEdit>("username")->text(), username);
    // The form keeps what was typed.
    QCOMPARE(child<QLineEdit>("NewFirstname")->text(), QStringLiteral("Ann"));
}

void NewAccountTest::valuesReachServiceIntact()
{
    fixture->backend.answer(newAccountPath, "false|x");
    const QString first = QStringLiteral("Tom & Jerry");
    const QString last = QStringLiteral("O'Neil #2 +1");
    const QString email = QStringLiteral("a+b&c=d@example.org");
    fillForm(first, last, email);
    create();
    QTRY_COMPARE(fixture->backend.requests(newAccountPath).size(), 1);
    const QList<QPair<QString, QString>> expected
        = { { "firstname", first }, { "lastname", last }, { "email", email } };
    QCOMPARE(fixture->backend.requests(newAccountPath).first().queryItems(), expected);
}

void NewAccountTest::lateSuccessKeepsSession()
{
    FakeBackend::Response slow;
    slow.body = "true|ann";
    slow.delayMs = 300;
    fixture->backend.setResponse(newAccountPath, slow);

    fillForm(QStringLiteral("Ann"), QStringLiteral("Smith"), QStringLiteral("ann@example.org"));
    create();
    // Meanwhile the user went back and signed in with another account.
    QTest::mouseClick(child<QPushButton>("create_account_cancel"), Qt::LeftButton);
    child<QLineEdit>("username")->setText(QStringLiteral("alice"));
    child("WingetLogin")->hide();
    child("WingetConnected")->show();

    QTRY_COMPARE(fixture->delivered->count(newAccountPath), 1);
    QCOMPARE(fixture->dialogs.last().title, QStringLiteral("New Account Created"));
    QCOMPARE(child<QLineEdit>("username")->text(), QStringLiteral("alice"));
    QVERIFY(!hidden("WingetConnected"));
    QVERIFY(hidden("WingetLogin"));
}

QTEST_MAIN(NewAccountTest)
#include "tst_newaccount.moc"
