#include "app/identity.h"
#include "mainwindow/desktop.h"
#include "mainwindow/fonts.h"
#include "mainwindow/form.h"
#include "mainwindow/messagebox.h"
#include "mainwindow/velnormain.h"
#include "testenvironment.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScopeGuard>
#include <QTabWidget>
#include <QtTest>

#include <cmath>
#include <functional>
#include <memory>

// The form as built, and what the window's constructor leaves visible.
class FormTest : public QObject {
    Q_OBJECT

public:
    // As the program starts.
    static void initMain() { desktop::scaleWithTheScreen(); }

private slots:
    void init();
    void cleanup();

    void widgets_data();
    void widgets();
    void texts_data();
    void texts();
    void comboItems_data();
    void comboItems();
    void stackingOrder_data();
    void stackingOrder();
    void tabs();
    void pagesFitAtEveryScale_data();
    void pagesFitAtEveryScale();
    void textsReadableOnDarkDesktop();
    void otherLatePagesFit_data();
    void otherLatePagesFit();
    void labelPicturesHalved_data();
    void labelPicturesHalved();
    void labelPicturesForTheScale_data();
    void labelPicturesForTheScale();
    void windowProperties();
    void onlyLoginPageVisibleAfterConstruction();
    void hiddenFieldsKeepTheirText();
    void languageChangeResetsPlaceholders();

private:
    std::unique_ptr<TestEnvironment> env;
};

namespace {
// The scale is fixed when the application starts, so a row at a scale runs
// in a copy of this suite given the font DPI a desktop at that scale hands
// programs. True in the suite itself, once the copy has run; `failure` then
// holds the copy's output if it failed.
bool ranInCopyAtScale(const char* function, qreal scale, QByteArray* failure)
{
    if (qEnvironmentVariableIsSet("QT_FONT_DPI"))
        return false;
    QProcess copy;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_FONT_DPI"), QString::number(qRound(96 * scale)));
    copy.setProcessEnvironment(environment);
    copy.start(QCoreApplication::applicationFilePath(),
        { QStringLiteral("-silent"),
            QLatin1String(function) + QLatin1Char(':') + QString::fromLatin1(QTest::currentDataTag()) });
    if (!copy.waitForFinished(60000))
        *failure = "the copy did not finish within 60 s";
    else if (copy.exitCode() != 0)
        *failure = copy.readAllStandardOutput();
    return true;
}

QString textOf(QObject* object, const QString& property)
{
    if (property == QLatin1String("placeholder"))
        return qobject_cast<QLineEdit*>(object)->placeholderText();
    if (property == QLatin1String("title"))
        return qobject_cast<QGroupBox*>(object)->title();
    if (property == QLatin1String("tool tip"))
        return qobject_cast<QWidget*>(object)->toolTip();
    return object->property("text").toString();
}

QStringList itemsOf(const QComboBox* box)
{
    QStringList items;
    for (int index = 0; index < box->count(); ++index)
        items.append(box->itemText(index));
    return items;
}
}

void FormTest::init()
{
    env = std::make_unique<TestEnvironment>();
}

void FormTest::cleanup()
{
    env.reset();
}

void FormTest::widgets_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<bool>("ancestorOnly");
    QTest::addColumn<QRect>("geometry");

    QTest::newRow("XMLUserData") << "QTabWidget" << "centralWidget" << false << QRect(20, 500, 661, 141);
    QTest::newRow("bkwidget") << "QWidget" << "centralWidget" << false << QRect(10, 10, 321, 281);
    QTest::newRow("loading") << "QLabel" << "centralWidget" << false << QRect(330, 380, 16, 11);
    QTest::newRow("authstatus") << "QLabel" << "centralWidget" << false << QRect(11, 370, 341, 31);
    QTest::newRow("application_minimize") << "QPushButton" << "centralWidget" << false << QRect(310, 17, 16, 16);
    QTest::newRow("application_close") << "QPushButton" << "centralWidget" << false << QRect(330, 17, 16, 16);
    QTest::newRow("application_version") << "QLabel" << "centralWidget" << false << QRect(50, 42, 91, 20);
    QTest::newRow("widget") << "QWidget" << "centralWidget" << false << QRect(10, 10, 343, 421);
    QTest::newRow("LogoSmall") << "QLabel" << "centralWidget" << false << QRect(23, 20, 120, 36);
    QTest::newRow("WingetConnected") << "QTabWidget" << "centralWidget" << false << QRect(1, 70, 351, 311);
    QTest::newRow("WidgetNewAccount") << "QWidget" << "centralWidget" << false << QRect(11, 70, 341, 301);
    QTest::newRow("WidgetConnectedVPN") << "QWidget" << "centralWidget" << false << QRect(10, 70, 343, 301);
    QTest::newRow("WidgetConnectingVPN") << "QWidget" << "centralWidget" << false << QRect(11, 70, 341, 301);
    QTest::newRow("WidgetPaymentInProgress") << "QWidget" << "centralWidget" << false << QRect(11, 70, 341, 301);
    QTest::newRow("connection_status_icon") << "QLabel" << "centralWidget" << false << QRect(15, 410, 16, 16);
    QTest::newRow("WingetLogin") << "QWidget" << "widget" << false << QRect(1, 0, 341, 361);
    QTest::newRow("buy") << "QPushButton" << "WingetLogin" << false << QRect(10, 330, 91, 21);
    QTest::newRow("login") << "QPushButton" << "WingetLogin" << false << QRect(180, 230, 141, 51);
    QTest::newRow("username") << "QLineEdit" << "WingetLogin" << false << QRect(20, 150, 301, 31);
    QTest::newRow("password") << "QLineEdit" << "WingetLogin" << false << QRect(20, 190, 301, 31);
    QTest::newRow("autologin") << "QCheckBox" << "WingetLogin" << false << QRect(20, 230, 141, 17);
    QTest::newRow("LogoBig") << "QLabel" << "WingetLogin" << false << QRect(40, 50, 260, 79);
    QTest::newRow("application_version_2") << "QLabel" << "WingetLogin" << false << QRect(120, 95, 171, 20);
    QTest::newRow("forgot") << "QPushButton" << "WingetLogin" << false << QRect(230, 330, 101, 20);
    QTest::newRow("facebook") << "QPushButton" << "WingetLogin" << false << QRect(100, 330, 131, 20);
    QTest::newRow("status_widget") << "QWidget" << "widget" << false << QRect(0, 390, 344, 31);
    QTest::newRow("ip") << "QLabel" << "status_widget" << false << QRect(220, 8, 111, 16);
    QTest::newRow("label_19") << "QLabel" << "status_widget" << false << QRect(200, 7, 16, 16);
    QTest::newRow("connection_status") << "QLabel" << "status_widget" << false << QRect(25, 8, 141, 16);
    QTest::newRow("quickConnect") << "QPushButton" << "tabBasic" << false << QRect(75, 60, 150, 150);
    QTest::newRow("label_22") << "QLabel" << "tabBasic" << false << QRect(15, 210, 271, 61);
    QTest::newRow("label_24") << "QLabel" << "tabBasic" << false << QRect(10, 10, 211, 21);
    QTest::newRow("connect") << "QPushButton" << "tabAdvanced" << false << QRect(160, 190, 131, 51);
    QTest::newRow("servers") << "QComboBox" << "tabAdvanced" << false << QRect(10, 60, 281, 31);
    QTest::newRow("protocols") << "QComboBox" << "tabAdvanced" << false << QRect(90, 100, 201, 31);
    QTest::newRow("type") << "QComboBox" << "tabAdvanced" << false << QRect(90, 140, 201, 31);
    QTest::newRow("server_icon") << "QLabel" << "tabAdvanced" << false << QRect(20, 110, 51, 51);
    QTest::newRow("label_18") << "QLabel" << "tabAdvanced" << false << QRect(10, 10, 211, 21);
    QTest::newRow("tabAccountZoneInfo") << "QWidget" << "tabAccount" << false << QRect(0, 0, 301, 301);
    QTest::newRow("user_expire") << "QLabel" << "tabAccountZoneInfo" << false << QRect(20, 170, 261, 20);
    QTest::newRow("user_avatar") << "QLabel" << "tabAccountZoneInfo" << false << QRect(10, 70, 41, 41);
    QTest::newRow("user_email") << "QLabel" << "tabAccountZoneInfo" << false << QRect(60, 90, 231, 16);
    QTest::newRow("user_plan") << "QLabel" << "tabAccountZoneInfo" << false << QRect(20, 150, 261, 20);
    QTest::newRow("label_20") << "QLabel" << "tabAccountZoneInfo" << false << QRect(10, 10, 221, 21);
    QTest::newRow("label12312") << "QLabel" << "tabAccountZoneInfo" << false << QRect(10, 40, 281, 20);
    QTest::newRow("label2030423") << "QLabel" << "tabAccountZoneInfo" << false << QRect(10, 130, 281, 20);
    QTest::newRow("user_name") << "QLabel" << "tabAccountZoneInfo" << false << QRect(60, 70, 221, 16);
    QTest::newRow("user_quota") << "QLabel" << "tabAccountZoneInfo" << false << QRect(20, 190, 251, 21);
    QTest::newRow("subscription_extend") << "QPushButton" << "tabAccountZoneInfo" << false << QRect(120, 260, 171, 31);
    QTest::newRow("logout") << "QPushButton" << "tabAccountZoneInfo" << false << QRect(10, 260, 101, 31);
    QTest::newRow("tabAccountZonePayment") << "QWidget" << "tabAccount" << false << QRect(0, -10, 301, 311);
    QTest::newRow("payment_do") << "QPushButton" << "tabAccountZonePayment" << false << QRect(120, 270, 171, 31);
    QTest::newRow("payment_processor") << "QComboBox" << "tabAccountZonePayment" << false << QRect(10, 100, 281, 31);
    QTest::newRow("payment_plan") << "QComboBox" << "tabAccountZonePayment" << false << QRect(10, 140, 281, 31);
    QTest::newRow("label_14") << "QLabel" << "tabAccountZonePayment" << false << QRect(10, 50, 301, 21);
    QTest::newRow("label_23") << "QLabel" << "tabAccountZonePayment" << false << QRect(10, 20, 221, 21);
    QTest::newRow("checkout_cancel") << "QPushButton" << "tabAccountZonePayment" << false << QRect(10, 270, 101, 31);
    QTest::newRow("label_25") << "QLabel" << "tabAccountZonePayment" << false << QRect(10, 190, 281, 51);
    QTest::newRow("label_21") << "QLabel" << "tabSettings" << false << QRect(10, 10, 221, 21);
    QTest::newRow("groupBox_4") << "QGroupBox" << "tabSettings" << false << QRect(10, 50, 281, 91);
    QTest::newRow("startWithWindows") << "QCheckBox" << "groupBox_4" << false << QRect(10, 20, 261, 17);
    QTest::newRow("startMinimized") << "QCheckBox" << "groupBox_4" << false << QRect(10, 40, 281, 17);
    QTest::newRow("vpn_auto_connect") << "QCheckBox" << "groupBox_4" << false << QRect(10, 60, 281, 17);
    QTest::newRow("groupBox_5") << "QGroupBox" << "tabSettings" << false << QRect(9, 160, 281, 51);
    QTest::newRow("showTaskbarIcon") << "QCheckBox" << "groupBox_5" << false << QRect(10, 20, 251, 17);
    QTest::newRow("checkAndroid") << "QPushButton" << "tabSettings" << false << QRect(50, 240, 201, 31);
    QTest::newRow("CreateAccountBtn") << "QPushButton" << "WidgetNewAccount" << false << QRect(140, 260, 181, 31);
    QTest::newRow("NewEmail") << "QLineEdit" << "WidgetNewAccount" << false << QRect(20, 180, 281, 31);
    QTest::newRow("NewFirstname") << "QLineEdit" << "WidgetNewAccount" << false << QRect(20, 100, 201, 31);
    QTest::newRow("NewLastname") << "QLineEdit" << "WidgetNewAccount" << false << QRect(20, 140, 201, 31);
    QTest::newRow("create_account_cancel") << "QPushButton" << "WidgetNewAccount" << false << QRect(20, 260, 111, 31);
    QTest::newRow("new_account_label") << "QLabel" << "WidgetNewAccount" << false << QRect(0, 0, 341, 31);
    QTest::newRow("label_13") << "QLabel" << "WidgetNewAccount" << false << QRect(20, 210, 281, 16);
    QTest::newRow("label_12") << "QLabel" << "WidgetNewAccount" << false << QRect(20, 40, 301, 41);
    QTest::newRow("label_11") << "QLabel" << "WidgetConnectedVPN" << false << QRect(130, 40, 111, 101);
    QTest::newRow("disconnect") << "QPushButton" << "WidgetConnectedVPN" << false << QRect(1, 250, 341, 51);
    QTest::newRow("connected_message") << "QLabel" << "WidgetConnectedVPN" << false << QRect(10, 150, 321, 61);
    QTest::newRow("connecting_image") << "QLabel" << "WidgetConnectingVPN" << false << QRect(140, 60, 60, 64);
    QTest::newRow("connecting_message") << "QLabel" << "WidgetConnectingVPN" << false << QRect(10, 150, 321, 61);
    QTest::newRow("cancel") << "QPushButton" << "WidgetConnectingVPN" << false << QRect(0, 250, 342, 51);
    QTest::newRow("label_17") << "QLabel" << "WidgetPaymentInProgress" << false << QRect(125, 30, 91, 101);
    QTest::newRow("connecting_message_2") << "QLabel" << "WidgetPaymentInProgress" << false << QRect(10, 130, 321, 111);
    QTest::newRow("cancel_payment") << "QPushButton" << "WidgetPaymentInProgress" << false << QRect(0, 250, 341, 51);
    QTest::newRow("progressBar") << "QProgressBar" << "XMLUserData" << true << QRect(50, 50, 211, 16);
    QTest::newRow("statuslabel") << "QLabel" << "XMLUserData" << true << QRect(260, 50, 111, 16);
    QTest::newRow("textBrowser") << "QTextBrowser" << "XMLUserData" << true << QRect(0, 0, 661, 121);
    QTest::newRow("logBrowser") << "QTextBrowser" << "XMLUserData" << true << QRect(0, 0, 661, 121);
    QTest::newRow("userdatatext") << "QTextBrowser" << "XMLUserData" << true << QRect(0, 0, 661, 121);
    QTest::newRow("groupBox_2") << "QGroupBox" << "XMLUserData" << true << QRect(40, 10, 411, 331);
    QTest::newRow("server_name") << "QLineEdit" << "XMLUserData" << true << QRect(110, 20, 291, 20);
    QTest::newRow("server_ip") << "QLineEdit" << "XMLUserData" << true << QRect(110, 50, 291, 20);
    QTest::newRow("server_protocol") << "QLineEdit" << "XMLUserData" << true << QRect(110, 80, 291, 20);
    QTest::newRow("server_pskey") << "QLineEdit" << "XMLUserData" << true << QRect(110, 110, 291, 20);
    QTest::newRow("server_assignedIP") << "QLineEdit" << "XMLUserData" << true << QRect(110, 140, 291, 20);
    QTest::newRow("server_certificate") << "QLineEdit" << "XMLUserData" << true << QRect(110, 170, 291, 20);
    QTest::newRow("server_config") << "QLineEdit" << "XMLUserData" << true << QRect(110, 200, 291, 20);
    QTest::newRow("user_enabled") << "QLineEdit" << "XMLUserData" << true << QRect(110, 230, 291, 20);
    QTest::newRow("ipCurrent") << "QLineEdit" << "XMLUserData" << true << QRect(110, 260, 151, 20);
    QTest::newRow("connectionStatus") << "QLineEdit" << "XMLUserData" << true << QRect(110, 290, 151, 20);
    QTest::newRow("seconds") << "QLineEdit" << "XMLUserData" << true << QRect(270, 290, 41, 20);
    QTest::newRow("paymentInProgress") << "QLineEdit" << "XMLUserData" << true << QRect(320, 290, 31, 20);
    QTest::newRow("groupBox_3") << "QGroupBox" << "XMLUserData" << true << QRect(60, 20, 411, 71);
    QTest::newRow("quick_stage") << "QLineEdit" << "XMLUserData" << true << QRect(50, 30, 51, 20);
    QTest::newRow("quick_servers") << "QLineEdit" << "XMLUserData" << true << QRect(170, 30, 221, 20);
    QTest::newRow("workingFolder") << "QLineEdit" << "XMLUserData" << true << QRect(60, 0, 411, 20);
    QTest::newRow("connecting_title") << "QLabel" << "XMLUserData" << true << QRect(460, 10, 341, 21);
    QTest::newRow("connected_title") << "QLabel" << "XMLUserData" << true << QRect(500, 40, 321, 21);
    QTest::newRow("user_area") << "QWidget" << "XMLUserData" << true << QRect(540, -30, 191, 101);
    QTest::newRow("connecting_title_2") << "QLabel" << "XMLUserData" << true << QRect(340, 50, 341, 31);
}

void FormTest::widgets()
{
    QFETCH(QString, type);
    QFETCH(QString, parent);
    QFETCH(bool, ancestorOnly);
    QFETCH(QRect, geometry);

    QMainWindow window;
    Ui::VelnorMain form;
    form.setupUi(&window);
    form::makeLatePages(&window);

    const QString name = QString::fromLatin1(QTest::currentDataTag());
    auto* widget = window.findChild<QWidget*>(name);
    QVERIFY2(widget, "missing widget");
    QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), type);
    if (ancestorOnly) {
        QWidget* holder = widget->parentWidget();
        while (holder && holder->objectName() != parent)
            holder = holder->parentWidget();
        QVERIFY2(holder, "not inside its holder");
    } else {
        QWidget* owner = widget->parentWidget();
        QVERIFY(owner);
        QCOMPARE(owner->objectName(), parent);
    }
    QCOMPARE(widget->geometry(), geometry);
}

void FormTest::texts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("property");
    QTest::addColumn<QString>("text");

    QTest::newRow("statuslabel text") << "statuslabel" << "text" << QString::fromUtf8("TextLabel");
    QTest::newRow("groupBox_2 title") << "groupBox_2" << "title" << QString::fromUtf8("Selected Server Details");
    QTest::newRow("label text") << "label" << "text" << QString::fromUtf8("Server Name");
    QTest::newRow("label_2 text") << "label_2" << "text" << QString::fromUtf8("IP");
    QTest::newRow("label_3 text") << "label_3" << "text" << QString::fromUtf8("Protocol");
    QTest::newRow("label_4 text") << "label_4" << "text" << QString::fromUtf8("PSK");
    QTest::newRow("label_5 text") << "label_5" << "text" << QString::fromUtf8("Assigned IP");
    QTest::newRow("label_6 text") << "label_6" << "text" << QString::fromUtf8("Certificate");
    QTest::newRow("label_7 text") << "label_7" << "text" << QString::fromUtf8("Config");
    QTest::newRow("label_8 text") << "label_8" << "text" << QString::fromUtf8("UserEnabled");
    QTest::newRow("label_10 text") << "label_10" << "text" << QString::fromUtf8("Current IP");
    QTest::newRow("connectionStatus text") << "connectionStatus" << "text" << QString::fromUtf8("disconnected");
    QTest::newRow("label_9 text") << "label_9" << "text" << QString::fromUtf8("Status");
    QTest::newRow("groupBox_3 title") << "groupBox_3" << "title" << QString::fromUtf8("Quick Connect");
    QTest::newRow("label_15 text") << "label_15" << "text" << QString::fromUtf8("Step");
    QTest::newRow("label_16 text") << "label_16" << "text" << QString::fromUtf8("Servers");
    QTest::newRow("connecting_title text") << "connecting_title" << "text" << QString::fromUtf8("Connecting to ...");
    QTest::newRow("connected_title text") << "connected_title" << "text" << QString::fromUtf8("Connected!");
    QTest::newRow("groupBox title") << "groupBox" << "title" << QString::fromUtf8("Account Info");
    QTest::newRow("connecting_title_2 text") << "connecting_title_2" << "text" << QString::fromUtf8("Payment process in progress");
    QTest::newRow("loading text") << "loading" << "text" << QString::fromUtf8("");
    QTest::newRow("authstatus tool tip") << "authstatus" << "tool tip" << QString::fromUtf8("");
    QTest::newRow("application_minimize text") << "application_minimize" << "text" << QString::fromUtf8("");
    QTest::newRow("application_close text") << "application_close" << "text" << QString::fromUtf8("");
    QTest::newRow("application_version text") << "application_version" << "text" << QString::fromUtf8("#appver#");
    QTest::newRow("buy text") << "buy" << "text" << QString::fromUtf8("New Account");
    QTest::newRow("login text") << "login" << "text" << QString::fromUtf8("CONNECT");
    QTest::newRow("username placeholder") << "username" << "placeholder" << QString::fromUtf8("username");
    QTest::newRow("password placeholder") << "password" << "placeholder" << QString::fromUtf8("password");
    QTest::newRow("autologin text") << "autologin" << "text" << QString::fromUtf8("remember me");
    QTest::newRow("LogoBig text") << "LogoBig" << "text" << QString::fromUtf8("");
    QTest::newRow("application_version_2 text") << "application_version_2" << "text" << QString::fromUtf8("#appver#");
    QTest::newRow("forgot text") << "forgot" << "text" << QString::fromUtf8("Password Lost?");
    QTest::newRow("facebook text") << "facebook" << "text" << QString::fromUtf8("Facebook Trial");
    QTest::newRow("ip text") << "ip" << "text" << QString::fromUtf8("     .     .     .     ");
    QTest::newRow("label_19 text") << "label_19" << "text" << QString::fromUtf8("IP");
    QTest::newRow("connection_status text") << "connection_status" << "text" << QString::fromUtf8("not connected");
    QTest::newRow("LogoSmall text") << "LogoSmall" << "text" << QString::fromUtf8("");
    QTest::newRow("quickConnect text") << "quickConnect" << "text" << QString::fromUtf8("");
    QTest::newRow("label_22 text") << "label_22" << "text" << QString::fromUtf8("Click to connect!\n\nAutomatically detects the best method and location\nfor your VPN connection.");
    QTest::newRow("label_24 text") << "label_24" << "text" << QString::fromUtf8("Quick Connect");
    QTest::newRow("connect text") << "connect" << "text" << QString::fromUtf8("CONNECT");
    QTest::newRow("server_icon text") << "server_icon" << "text" << QString::fromUtf8("");
    QTest::newRow("label_18 text") << "label_18" << "text" << QString::fromUtf8("Select your server and protocol");
    QTest::newRow("user_expire text") << "user_expire" << "text" << QString::fromUtf8("Expiration date");
    QTest::newRow("user_avatar text") << "user_avatar" << "text" << QString::fromUtf8("");
    QTest::newRow("user_plan text") << "user_plan" << "text" << QString::fromUtf8("Standard Plan");
    QTest::newRow("label_20 text") << "label_20" << "text" << QString::fromUtf8("Your Velnor profile");
    QTest::newRow("label12312 text") << "label12312" << "text" << QString::fromUtf8("Account details");
    QTest::newRow("label2030423 text") << "label2030423" << "text" << QString::fromUtf8("Subscription details");
    QTest::newRow("user_name text") << "user_name" << "text" << QString::fromUtf8("Velnor User");
    QTest::newRow("user_quota text") << "user_quota" << "text" << QString::fromUtf8("Quota remaining");
    QTest::newRow("subscription_extend text") << "subscription_extend" << "text" << QString::fromUtf8("EXTEND YOUR SUBSCRIPTION");
    QTest::newRow("logout text") << "logout" << "text" << QString::fromUtf8("LOGOUT");
    QTest::newRow("payment_do text") << "payment_do" << "text" << QString::fromUtf8("CHECKOUT");
    QTest::newRow("label_14 text") << "label_14" << "text" << QString::fromUtf8("<html><head/><body><p>Please select desired package and payment method:</p></body></html>");
    QTest::newRow("label_23 text") << "label_23" << "text" << QString::fromUtf8("Initiate a new payment");
    QTest::newRow("checkout_cancel text") << "checkout_cancel" << "text" << QString::fromUtf8("CANCEL");
    QTest::newRow("label_21 text") << "label_21" << "text" << QString::fromUtf8("Application Settings");
    QTest::newRow("groupBox_4 title") << "groupBox_4" << "title" << QString::fromUtf8("Startup Options");
    QTest::newRow("startMinimized text") << "startMinimized" << "text" << QString::fromUtf8("Auto minimize application on start");
    QTest::newRow("vpn_auto_connect text") << "vpn_auto_connect" << "text" << QString::fromUtf8("VPN connect automatically after login");
    QTest::newRow("startWithWindows text") << "startWithWindows" << "text" << QString::fromUtf8("Start application with Windows");
    QTest::newRow("groupBox_5 title") << "groupBox_5" << "title" << QString::fromUtf8("Legacy options");
    QTest::newRow("showTaskbarIcon text") << "showTaskbarIcon" << "text" << QString::fromUtf8("Do not minimize to tray only (keep in taskbar)");
    QTest::newRow("checkAndroid text") << "checkAndroid" << "text" << QString::fromUtf8("CHECK ANDROID VERSION");
    QTest::newRow("CreateAccountBtn text") << "CreateAccountBtn" << "text" << QString::fromUtf8("CREATE ACCOUNT");
    QTest::newRow("NewEmail placeholder") << "NewEmail" << "placeholder" << QString::fromUtf8("email");
    QTest::newRow("NewFirstname placeholder") << "NewFirstname" << "placeholder" << QString::fromUtf8("firstname");
    QTest::newRow("NewLastname placeholder") << "NewLastname" << "placeholder" << QString::fromUtf8("lastname");
    QTest::newRow("create_account_cancel text") << "create_account_cancel" << "text" << QString::fromUtf8("CANCEL");
    QTest::newRow("new_account_label text") << "new_account_label" << "text" << QString::fromUtf8("Create new account");
    QTest::newRow("label_13 text") << "label_13" << "text" << QString::fromUtf8("account details will be sent to this email address");
    QTest::newRow("label_12 text") << "label_12" << "text" << QString::fromUtf8("Complete your personal details to request a new account.\nPlease be sure your email address is valid to be able to receive \ngenerated credentials in just few seconds.");
    QTest::newRow("label_11 text") << "label_11" << "text" << QString::fromUtf8("");
    QTest::newRow("disconnect text") << "disconnect" << "text" << QString::fromUtf8("DISCONNECT");
    QTest::newRow("connected_message text") << "connected_message" << "text" << QString::fromUtf8("You are now connected to US Chicago Server.\n Your connection is secured.");
    QTest::newRow("connecting_image text") << "connecting_image" << "text" << QString::fromUtf8("");
    QTest::newRow("connecting_message text") << "connecting_message" << "text" << QString::fromUtf8("PPTP connection to US3\nis in progress");
    QTest::newRow("cancel text") << "cancel" << "text" << QString::fromUtf8("CANCEL");
    QTest::newRow("label_17 text") << "label_17" << "text" << QString::fromUtf8("");
    QTest::newRow("connecting_message_2 text") << "connecting_message_2" << "text" << QString::fromUtf8("The payment process is in progress.\nWaiting for payment gateway confirmation...\n(can take as little as a few minutes)\n\nAlso, the payment confirmation copy will be sent \nto your email.");
    QTest::newRow("cancel_payment text") << "cancel_payment" << "text" << QString::fromUtf8("CANCEL");
    QTest::newRow("connection_status_icon text") << "connection_status_icon" << "text" << QString::fromUtf8("");
    QTest::newRow("authstatus text") << "authstatus" << "text" << app::webDomain();
    QTest::newRow("label_25 text") << "label_25" << "text"
                                   << QStringLiteral("Cannot initiate the payment? Visit our website!\n") + app::webDomain();
    QTest::newRow("password text") << "password" << "text" << QString();
}

void FormTest::texts()
{
    QFETCH(QString, name);
    QFETCH(QString, property);
    QFETCH(QString, text);

    QMainWindow window;
    Ui::VelnorMain form;
    form.setupUi(&window);
    form::makeLatePages(&window);

    QObject* object = window.findChild<QObject*>(name);
    QVERIFY2(object, qPrintable(name));
    QCOMPARE(textOf(object, property), text);
}

void FormTest::comboItems_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("items");

    QTest::newRow("servers") << "servers" << QStringList { "select server..." };
    QTest::newRow("protocols") << "protocols" << QStringList { "select protocol..." };
    QTest::newRow("type") << "type" << QStringList { "select type..." };
    QTest::newRow("payment_processor") << "payment_processor"
                                       << QStringList { "Credit Card", "Paypal", "Perfect Money", "New Item" };
    QTest::newRow("payment_plan") << "payment_plan"
                                  << QStringList { "$ 4.95 USD for One Month", "$ 13.37 for 4 Months",
                                         "$ 50.75 USD for One Year Service" };
}

void FormTest::comboItems()
{
    QFETCH(QString, name);
    QFETCH(QStringList, items);

    VelnorMain window;
    form::makeLatePages(&window);
    auto* box = window.findChild<QComboBox*>(name);
    QVERIFY(box);
    QCOMPARE(itemsOf(box), items);
    for (int index = 0; index < box->count(); ++index)
        QVERIFY(!box->itemData(index).isValid());
}

void FormTest::stackingOrder_data()
{
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QStringList>("bottomToTop");

    QTest::newRow("centralWidget") << "centralWidget"
                                   << QStringList { "bkwidget", "XMLUserData", "widget", "LogoSmall",
                                          "application_version", "application_minimize", "application_close",
                                          "WingetConnected", "WidgetConnectedVPN", "WidgetConnectingVPN",
                                          "authstatus", "loading", "connection_status_icon", "WidgetNewAccount",
                                          "WidgetPaymentInProgress" };
    QTest::newRow("WingetLogin") << "WingetLogin"
                                 << QStringList { "login", "username", "password", "autologin", "LogoBig",
                                        "application_version_2", "buy", "forgot", "facebook" };
    QTest::newRow("tabAdvanced") << "tabAdvanced"
                                 << QStringList { "servers", "protocols", "type", "server_icon", "connect",
                                        "label_18" };
}

void FormTest::stackingOrder()
{
    QFETCH(QString, parent);
    QFETCH(QStringList, bottomToTop);

    VelnorMain window;
    form::makeLatePages(&window);
    auto* holder = window.findChild<QWidget*>(parent);
    QVERIFY(holder);
    // A widget's children list runs from the bottom of the stack to the top.
    QStringList order;
    for (QObject* child : holder->children()) {
        if (child->isWidgetType() && bottomToTop.contains(child->objectName()))
            order.append(child->objectName());
    }
    QCOMPARE(order, bottomToTop);
}

void FormTest::tabs()
{
    VelnorMain window;
    form::makeLatePages(&window);
    auto* pages = window.findChild<QTabWidget*>(QStringLiteral("WingetConnected"));
    QVERIFY(pages);
    QCOMPARE(pages->tabPosition(), QTabWidget::West);
    QCOMPARE(pages->count(), 4);
    QCOMPARE(pages->currentIndex(), 0);
    const QStringList names = { "tabBasic", "tabAdvanced", "tabAccount", "tabSettings" };
    for (int index = 0; index < pages->count(); ++index) {
        QCOMPARE(pages->widget(index)->objectName(), names.at(index));
        QVERIFY(pages->tabText(index).isEmpty());
        QVERIFY2(!pages->tabIcon(index).isNull(), "tab shows an icon");
    }
    QCOMPARE(pages->iconSize(), QSize(32, 32));

    auto* hidden = window.findChild<QTabWidget*>(QStringLiteral("XMLUserData"));
    QCOMPARE(hidden->currentIndex(), 5);
    QCOMPARE(hidden->count(), 6);
    QCOMPARE(hidden->tabText(0), QStringLiteral("Status"));
    QCOMPARE(hidden->tabText(3), QStringLiteral("XML UserData Response"));
}

void FormTest::pagesFitAtEveryScale_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<qreal>("scale");
    for (const qreal scale : { 1.0, 1.5, 2.0 }) {
        for (const char* page :
            { "WingetLogin", "tabBasic", "tabAdvanced", "tabAccount", "tabSettings", "message box" })
            QTest::addRow("%s at %g", page, scale) << QString::fromLatin1(page) << scale;
    }
}

// A desktop scaled to 150 % or 200 % hands programs that font DPI. Whatever
// the fonts, every widget a page shows lies inside it with its text whole, and
// the window is the design's size times the scale. The scale is fixed when
// the application starts, so each row runs in a copy of this suite.
void FormTest::pagesFitAtEveryScale()
{
    QFETCH(QString, page);
    QFETCH(qreal, scale);
    QByteArray failure;
    if (ranInCopyAtScale("pagesFitAtEveryScale", scale, &failure)) {
        QVERIFY2(failure.isEmpty(), failure.constData());
        return;
    }
    fonts::useFormFonts();
    if (page == QLatin1String("message box")) {
        messagebox::useSharpIcons();
        QMessageBox box(QMessageBox::Information, QString(), QStringLiteral("Your login details are not correct."));
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        // Drawn for the scale, not a smaller picture stretched.
        QCOMPARE(box.iconPixmap().devicePixelRatio(), scale);
        const int shown = box.style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, &box);
        QCOMPARE(box.iconPixmap().size(), QSize(shown, shown) * scale);
        return;
    }
    VelnorMain window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.devicePixelRatioF(), scale);
    QCOMPARE(window.grab().size(), QSize(360, 440) * scale);
    auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("WingetConnected"));
    // Showing the tabs makes them.
    if (page != QLatin1String("WingetLogin"))
        tabs->show();
    auto* shownPage = window.findChild<QWidget*>(page);
    if (tabs->indexOf(shownPage) >= 0)
        tabs->setCurrentWidget(shownPage);
    QVERIFY(shownPage->isVisible());
    for (QWidget* shown : shownPage->findChildren<QWidget*>()) {
        if (!shown->isVisibleTo(shownPage))
            continue;
        const QString name = page + QLatin1Char('/') + shown->objectName();
        const QRect where(shown->mapTo(shownPage, QPoint(0, 0)), shown->size());
        QVERIFY2(shownPage->rect().contains(where), qPrintable(name));
        auto* label = qobject_cast<QLabel*>(shown);
        const bool hasText = label ? !label->text().isEmpty() && !label->wordWrap() && !label->pixmap()
                                   : qobject_cast<QAbstractButton*>(shown) != nullptr;
        if (hasText)
            QVERIFY2(shown->sizeHint().width() <= shown->width(), qPrintable(name));
    }
}

namespace {
double luminance(QRgb colour)
{
    const auto linear = [](int channel) {
        const double value = channel / 255.0;
        return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(qRed(colour)) + 0.7152 * linear(qGreen(colour)) + 0.0722 * linear(qBlue(colour));
}

// Blanks the text of a label, button or field; returns what puts it back.
std::function<void()> blank(QWidget* widget)
{
    if (auto* field = qobject_cast<QLineEdit*>(widget)) {
        const QString text = field->text();
        const QString hint = field->placeholderText();
        field->setText(QString());
        field->setPlaceholderText(QString());
        return [=] {
            field->setText(text);
            field->setPlaceholderText(hint);
        };
    }
    const QString text = widget->property("text").toString();
    widget->setProperty("text", QString());
    return [=] { widget->setProperty("text", text); };
}

// The highest contrast between the text of `widget` and what is drawn behind
// it, pixel by pixel, in `top` as rendered with the text and without.
double textContrast(QWidget* top, QWidget* widget)
{
    const QRect area(widget->mapTo(top, QPoint(0, 0)), widget->size());
    const QImage with = top->grab(area).toImage();
    const auto restore = blank(widget);
    const QImage without = top->grab(area).toImage();
    restore();
    double best = 1;
    for (int y = 0; y < with.height(); ++y) {
        for (int x = 0; x < with.width(); ++x) {
            const double a = luminance(with.pixel(x, y));
            const double b = luminance(without.pixel(x, y));
            best = std::max(best, (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05));
        }
    }
    return best;
}

void checkTextsReadable(QWidget* top)
{
    for (QWidget* shown : top->findChildren<QWidget*>()) {
        auto* field = qobject_cast<QLineEdit*>(shown);
        const QString text
            = field && field->text().isEmpty() ? field->placeholderText() : shown->property("text").toString();
        const bool drawsText = qobject_cast<QLabel*>(shown) || qobject_cast<QAbstractButton*>(shown) || field;
        if (!drawsText || !shown->isVisible() || text.isEmpty())
            continue;
        const double contrast = textContrast(top, shown);
        QVERIFY2(contrast >= 3, qPrintable(QStringLiteral("%1: %2").arg(shown->objectName()).arg(contrast)));
    }
}
} // namespace

// A dark desktop palette (as Breeze Dark gives): every text the login page
// and a message box show still stands out from what is drawn behind it.
void FormTest::textsReadableOnDarkDesktop()
{
    const QPalette desktop = QApplication::palette();
    const auto restore = qScopeGuard([desktop] { QApplication::setPalette(desktop); });
    QApplication::setPalette(QPalette(QColor(49, 54, 59)));

    VelnorMain window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.findChild<QLineEdit*>(QStringLiteral("username"))->setText(QStringLiteral("demo"));
    checkTextsReadable(&window);

    QMessageBox box(QMessageBox::Information, QStringLiteral("Velnor VPN"), QStringLiteral("Please try again."));
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    checkTextsReadable(&box);
}

void FormTest::otherLatePagesFit_data()
{
    QTest::addColumn<QString>("page");
    for (const char* page : { "WidgetNewAccount", "WidgetConnectingVPN", "WidgetConnectedVPN" })
        QTest::newRow(page) << QString::fromLatin1(page);
}

// The texts of the other pages built when first opened are not cut either.
void FormTest::otherLatePagesFit()
{
    QFETCH(QString, page);
    fonts::useFormFonts();
    VelnorMain window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* shown = window.findChild<QWidget*>(page);
    shown->show();
    for (QWidget* part : shown->findChildren<QWidget*>()) {
        if (!part->isVisibleTo(shown))
            continue;
        auto* label = qobject_cast<QLabel*>(part);
        const bool hasText = label ? !label->text().isEmpty() && !label->wordWrap() && !label->pixmap()
                                   : qobject_cast<QAbstractButton*>(part) != nullptr;
        if (hasText)
            QVERIFY2(part->sizeHint().width() <= part->width(), qPrintable(part->objectName()));
    }
}

void FormTest::labelPicturesHalved_data()
{
    QTest::addColumn<QString>("picture");
    for (const char* name : { "logo", "logo_small", "server", "user_avatar", "connected", "money" })
        QTest::newRow(name) << QString::fromLatin1(name);
}

// At scale 1 a label shows its picture as the label would halve the one drawn
// at twice its size: the same pixels, from a quarter as many to decode.
void FormTest::labelPicturesHalved()
{
    QFETCH(QString, picture);
    QImage twice = QPixmap(QStringLiteral(":/resources/%1@2x.png").arg(picture)).toImage();
    twice.setDevicePixelRatio(1); // as a label takes it
    const QImage shown = QPixmap(QStringLiteral(":/resources/%1.png").arg(picture)).toImage();
    QCOMPARE(shown, twice.scaled(twice.size() / 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

void FormTest::labelPicturesForTheScale_data()
{
    QTest::addColumn<qreal>("scale");
    for (const qreal scale : { 1.0, 1.5, 2.0 })
        QTest::addRow("%g", scale) << scale;
}

// A label shows the picture drawn at its size, or on a scaled screen the one
// drawn at twice it. The scale is fixed at start, so each row runs in a copy.
void FormTest::labelPicturesForTheScale()
{
    QFETCH(qreal, scale);
    QByteArray failure;
    if (ranInCopyAtScale("labelPicturesForTheScale", scale, &failure)) {
        QVERIFY2(failure.isEmpty(), failure.constData());
        return;
    }
    VelnorMain window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.devicePixelRatioF(), scale);
    form::makeLatePages(&window);
    for (const char* name : { "LogoBig", "LogoSmall", "label_11" }) {
        auto* label = window.findChild<QLabel*>(QLatin1String(name));
        label->parentWidget()->show();
        label->show();
        QCOMPARE(label->pixmap(Qt::ReturnByValue).size(), label->size() * (scale > 1 ? 2 : 1));
    }
}

void FormTest::windowProperties()
{
    VelnorMain window;
    QCOMPARE(window.windowTitle(), QStringLiteral("Velnor VPN Tarvex"));
    QCOMPARE(window.size(), QSize(360, 440));
    QCOMPARE(window.minimumSize(), QSize(360, 440));
    QCOMPARE(window.maximumSize(), QSize(360, 440));
    QCOMPARE(int(window.windowFlags() & ~Qt::WindowType_Mask), 0x40900);
    QCOMPARE(window.windowType(), Qt::Window);
    QVERIFY(window.testAttribute(Qt::WA_TranslucentBackground));
    QCOMPARE(window.windowModality(), Qt::ApplicationModal);
    QCOMPARE(window.contextMenuPolicy(), Qt::NoContextMenu);
}

void FormTest::onlyLoginPageVisibleAfterConstruction()
{
    VelnorMain window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    const QStringList shown = { "WingetLogin", "widget", "authstatus", "status_widget", "application_minimize",
        "application_close" };
    const QStringList hidden = { "WidgetNewAccount", "WidgetConnectedVPN", "WingetConnected", "WidgetConnectingVPN",
        "WidgetPaymentInProgress", "LogoSmall", "application_version", "XMLUserData", "loading" };
    for (const QString& name : shown)
        QVERIFY2(window.findChild<QWidget*>(name)->isVisible(), qPrintable(name));
    for (const QString& name : hidden)
        QVERIFY2(!window.findChild<QWidget*>(name)->isVisible(), qPrintable(name));
    // Nor are the other pages, or the hidden documents' text browsers, made.
    for (const char* name :
        { "quickConnect", "tabAccountZoneInfo", "NewEmail", "cancel", "disconnect", "textBrowser", "userdatatext" })
        QVERIFY2(!window.findChild<QWidget*>(QLatin1String(name)), name);
}

void FormTest::hiddenFieldsKeepTheirText()
{
    VelnorMain window;
    window.show();
    auto* field = window.findChild<QLineEdit*>(QStringLiteral("server_assignedIP"));
    field->setText(QStringLiteral("10.0.0.7"));
    QVERIFY(!field->isVisible());
    field->setFocus();
    QVERIFY(!field->hasFocus());
    QCOMPARE(field->text(), QStringLiteral("10.0.0.7"));
}

void FormTest::languageChangeResetsPlaceholders()
{
    VelnorMain window;
    form::makeLatePages(&window);
    auto* password = window.findChild<QLineEdit*>(QStringLiteral("password"));
    auto* servers = window.findChild<QComboBox*>(QStringLiteral("servers"));
    auto* plans = window.findChild<QComboBox*>(QStringLiteral("payment_plan"));
    auto* status = window.findChild<QLabel*>(QStringLiteral("connection_status"));
    password->setText(QStringLiteral("secret"));
    servers->clear();
    servers->addItems({ "DE Frankfurt", "US Chicago", "NL Amsterdam" });
    plans->clear();
    plans->addItem(QStringLiteral("Yearly"), QStringLiteral("y1"));
    status->setText(QStringLiteral("connected"));

    QEvent change(QEvent::LanguageChange);
    QApplication::sendEvent(&window, &change);

    QVERIFY(password->text().isEmpty());
    QCOMPARE(password->placeholderText(), QStringLiteral("password"));
    QCOMPARE(itemsOf(servers), QStringList { "select server..." });
    QCOMPARE(plans->count(), 3);
    QCOMPARE(plans->itemText(0), QStringLiteral("$ 4.95 USD for One Month"));
    QVERIFY(!plans->itemData(0).isValid());
    QCOMPARE(status->text(), QStringLiteral("not connected"));
    QCOMPARE(window.findChild<QLabel*>(QStringLiteral("application_version"))->text(), QStringLiteral("#appver#"));
    QCOMPARE(window.findChild<QLabel*>(QStringLiteral("ip"))->text(), QStringLiteral("     .     .     .     "));
}

QTEST_MAIN(FormTest)
#include "tst_form.moc"
