#include "mainwindow/form.h"
#include "mainwindow/quiet.h"
#include "mainwindow/velnormain.h"
#include "testenvironment.h"

#include <QAbstractButton>
#include <QGraphicsDropShadowEffect>
#include <QLabel>
#include <QLineEdit>
#include <QMetaMethod>
#include <QMovie>
#include <QSettings>
#include <QStyleHints>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <cstdlib>
#include <memory>

// The window object itself: its meta-object and what construction and
// destruction leave behind.
class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void slotTable();
    void noSignalsNoProperties();
    void constructionState();
    void preferenceBoxesFollowSettings_data();
    void preferenceBoxesFollowSettings();
    void destructorClearsHeartbeat();
    void animationsRunOnlyWhileShown();
    void shadowAsTheEffectDrawsIt_data();
    void shadowAsTheEffectDrawsIt();
    void caretRepaintsOnlyItsField();
    void caretStopsBlinkingWithoutInput_data();
    void caretStopsBlinkingWithoutInput();
    void picturesDecodedWhenFirstShown();
    void pagesBuiltWhenFirstShown_data();
    void pagesBuiltWhenFirstShown();

private:
    std::unique_ptr<TestEnvironment> env;
};

void MainWindowTest::init() { env = std::make_unique<TestEnvironment>(); }

void MainWindowTest::cleanup() { env.reset(); }

void MainWindowTest::slotTable()
{
    const QStringList expected = {
        "DoHttpGet()",
        "PopulateServers()",
        "PopulateProtocols()",
        "PopulateType()",
        "ExtractType()",
        "HasFinished(QNetworkReply*)",
        "HasFinishedUserData(QNetworkReply*)",
        "GetUserData()",
        "Logout()",
        "Login()",
        "on_login_clicked()",
        "on_servers_currentIndexChanged(QString)",
        "on_protocols_currentIndexChanged(QString)",
        "on_username_returnPressed()",
        "on_password_returnPressed()",
        "on_buy_clicked()",
        "on_logout_clicked()",
        "PPPDisconnect()",
        "PPPStarted()",
        "on_connect_clicked()",
        "getPPPErrorText(int)",
        "on_disconnect_clicked()",
        "on_application_minimize_clicked()",
        "on_application_close_clicked()",
        "application_maximize()",
        "trayIconClicked(QSystemTrayIcon::ActivationReason)",
        "on_type_currentIndexChanged(QString)",
        "OpenVPNConnectStage0()",
        "OpenVPNConnectStage1(QNetworkReply*)",
        "OpenVPNConnectStage2(QNetworkReply*)",
        "SetCurrentIP(QNetworkReply*)",
        "GetCurrentIP()",
        "UpdateTimer()",
        "removeOpenVPNfiles()",
        "on_cancel_clicked()",
        "UpdateCheck()",
        "UpdateResponse(QNetworkReply*)",
        "downloadFinished(QNetworkReply*)",
        "downloadProgress(qlonglong,qlonglong)",
        "on_autologin_clicked()",
        "on_create_account_cancel_clicked()",
        "on_CreateAccountBtn_clicked()",
        "newAccountResponse(QNetworkReply*)",
        "on_payment_do_clicked()",
        "QuickConnectNextStage()",
        "on_quickConnect_clicked()",
        "quickConnectDial()",
        "on_cancel_payment_clicked()",
        "on_forgot_clicked()",
        "on_facebook_clicked()",
        "on_subscription_extend_clicked()",
        "on_checkout_cancel_clicked()",
        "on_startWithWindows_clicked()",
        "applicationMinimize()",
        "on_vpn_auto_connect_clicked()",
        "on_startMinimized_clicked()",
        "on_showTaskbarIcon_clicked()",
        "on_checkAndroid_clicked()",
    };
    QCOMPARE(expected.size(), 58);

    const QMetaObject& meta = VelnorMain::staticMetaObject;
    QCOMPARE(QString::fromLatin1(meta.className()), QStringLiteral("VelnorMain"));
    QCOMPARE(meta.methodCount() - meta.methodOffset(), 58);
    for (int index = 0; index < expected.size(); ++index) {
        const QMetaMethod method = meta.method(meta.methodOffset() + index);
        QCOMPARE(QString::fromLatin1(method.methodSignature()), expected.at(index));
        QCOMPARE(method.methodType(), QMetaMethod::Slot);
        QCOMPARE(method.access(), QMetaMethod::Private);
        const char* returnType = index == 20 ? "QString" : "void";
        QCOMPARE(method.typeName(), returnType);
    }
}

void MainWindowTest::noSignalsNoProperties()
{
    const QMetaObject& meta = VelnorMain::staticMetaObject;
    for (int index = meta.methodOffset(); index < meta.methodCount(); ++index)
        QVERIFY(meta.method(index).methodType() != QMetaMethod::Signal);
    QCOMPARE(meta.propertyCount(), meta.propertyOffset());
    QCOMPARE(meta.enumeratorCount(), meta.enumeratorOffset());
    QCOMPARE(meta.classInfoCount(), meta.classInfoOffset());
}

void MainWindowTest::constructionState()
{
    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    VelnorMain window;

    {
        QSettings settings;
        QVERIFY(settings.value(QStringLiteral("vlrunning")).toString().toLongLong() >= before);
    }
    auto text = [&window](const char* name) {
        auto* edit = window.findChild<QLineEdit*>(QLatin1String(name));
        if (edit)
            return edit->text();
        auto* label = window.findChild<QLabel*>(QLatin1String(name));
        return label ? label->text() : QStringLiteral("<missing>");
    };
    QCOMPARE(text("quick_stage"), QStringLiteral("0"));
    QCOMPARE(text("paymentInProgress"), QStringLiteral("0"));
    QCOMPARE(text("workingFolder"), QDir::currentPath());
    QCOMPARE(text("application_version"), QStringLiteral("v15.0801"));
    QCOMPARE(text("application_version_2"), QStringLiteral("version 15.0801"));
    QCOMPARE(text("ip"), QStringLiteral("     .     .     .     "));
    QCOMPARE(text("connection_status"), QStringLiteral("not connected"));
    QCOMPARE(window.findChild<QLabel*>(QStringLiteral("connection_status_icon"))->styleSheet(),
        QStringLiteral("background:url(:/resources/not_connected_icon.png); "));

    auto* timer = window.findChild<QTimer*>();
    QVERIFY(timer);
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), 3000);

    QVERIFY(window.findChild<QLabel*>(QStringLiteral("loading"))->movie());
    form::makeLatePages(&window);
    QVERIFY(window.findChild<QLabel*>(QStringLiteral("connecting_image"))->movie());
    QCOMPARE(window.windowIcon().isNull(), false);
    // The sizes a window manager draws; the file's 256-pixel picture is never decoded.
    QCOMPARE(window.windowIcon().availableSizes(), (QList<QSize> { { 16, 16 }, { 32, 32 }, { 48, 48 } }));
    // The installed desktop entry's name, which the desktop takes the icon from.
    QCOMPARE(QGuiApplication::desktopFileName(), QStringLiteral(VELNOR_APP_ID));

    // The child that receives focus once the window is active.
    QCOMPARE(window.focusWidget(), window.findChild<QWidget*>(QStringLiteral("username")));
}

void MainWindowTest::preferenceBoxesFollowSettings_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("checked");
    QTest::newRow("one") << QStringLiteral("1") << true;
    QTest::newRow("zero") << QStringLiteral("0") << false;
    QTest::newRow("true") << QStringLiteral("true") << false;
    QTest::newRow("missing") << QString() << false;
}

void MainWindowTest::preferenceBoxesFollowSettings()
{
    QFETCH(QString, stored);
    QFETCH(bool, checked);
    const QStringList keys = { "startWithWindows", "vpn_auto_connect", "showTaskbarIcon" };
    {
        QSettings settings;
        for (const QString& key : keys) {
            if (!stored.isNull())
                settings.setValue(key, stored);
        }
    }
    VelnorMain window;
    form::makeLatePages(&window);
    for (const QString& key : keys) {
        auto* box = window.findChild<QAbstractButton*>(key);
        QVERIFY2(box, qPrintable(key));
        QCOMPARE(box->isChecked(), checked);
    }
}

void MainWindowTest::destructorClearsHeartbeat()
{
    {
        VelnorMain window;
        QSettings settings;
        QVERIFY(settings.value(QStringLiteral("vlrunning")).toString() != QStringLiteral("0"));
    }
    QSettings settings;
    QCOMPARE(settings.value(QStringLiteral("vlrunning")).toString(), QStringLiteral("0"));
}

// A running movie wakes the program for every frame, seen or not.
void MainWindowTest::animationsRunOnlyWhileShown()
{
    VelnorMain window;
    form::makeLatePages(&window);
    auto* loading = window.findChild<QLabel*>(QStringLiteral("loading"));
    auto* connecting = window.findChild<QLabel*>(QStringLiteral("connecting_image"));
    auto* connectingPage = window.findChild<QWidget*>(QStringLiteral("WidgetConnectingVPN"));
    const auto running = [](QLabel* label) { return label->movie()->state() == QMovie::Running; };

    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(!running(loading));
    QVERIFY(!running(connecting));

    loading->show();
    connectingPage->show();
    QVERIFY(running(loading));
    QVERIFY(running(connecting));
    // A frame to draw as soon as the label shows.
    QVERIFY(!loading->movie()->currentPixmap().isNull());

    window.hide();
    QVERIFY(!running(loading));
    QVERIFY(!running(connecting));
    window.show();
    QVERIFY(running(loading));
    QVERIFY(running(connecting));

    connectingPage->hide();
    loading->hide();
    QVERIFY(!running(loading));
    QVERIFY(!running(connecting));
}

void MainWindowTest::shadowAsTheEffectDrawsIt_data()
{
    QTest::addColumn<QString>("page");
    for (const char* page : { "WingetLogin", "WingetConnected", "WidgetNewAccount", "WidgetConnectingVPN" })
        QTest::newRow(page) << QString::fromLatin1(page);
}

// The frame's shadow is drawn without a graphics effect, to the same pixels.
void MainWindowTest::shadowAsTheEffectDrawsIt()
{
    QFETCH(QString, page);
    VelnorMain window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // The page changes while the window is hidden, as in the tray.
    window.hide();
    for (const char* each : { "WingetLogin", "WingetConnected", "WidgetNewAccount", "WidgetConnectingVPN" })
        window.findChild<QWidget*>(QLatin1String(each))->setVisible(page == QLatin1String(each));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* frame = window.findChild<QWidget*>(QStringLiteral("centralWidget"));
    QCoreApplication::processEvents(); // what the change posted, as before the next paint
    const QImage drawn = window.grab().toImage();

    delete frame->findChild<QObject*>(QStringLiteral("frameShadow"));
    auto* effect = new QGraphicsDropShadowEffect;
    effect->setBlurRadius(10);
    effect->setOffset(0, 0);
    frame->setGraphicsEffect(effect);
    const QImage reference = window.grab().toImage();
    QCOMPARE(drawn.size(), reference.size());
    // Drawn straight over the shadow, a half-transparent pixel of the frame is
    // blended in another order than over the effect's layer: it may round one
    // step apart.
    int worst = 0;
    for (int y = 0; y < drawn.height(); ++y) {
        for (int x = 0; x < drawn.width(); ++x) {
            const QRgb one = drawn.pixel(x, y);
            const QRgb other = reference.pixel(x, y);
            worst = std::max({ worst, std::abs(qRed(one) - qRed(other)), std::abs(qGreen(one) - qGreen(other)),
                std::abs(qBlue(one) - qBlue(other)), std::abs(qAlpha(one) - qAlpha(other)) });
        }
    }
    QVERIFY2(worst <= 1, qPrintable(QStringLiteral("a pixel differs by %1").arg(worst)));
}

namespace {
// Which widgets a paint reached.
class PaintRecorder : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted.append(watched->objectName());
        return false;
    }
    QStringList painted;
};
} // namespace

// A blinking caret redraws its field, not the translucent window beneath it.
void MainWindowTest::caretRepaintsOnlyItsField()
{
    VelnorMain window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QStringList fields = { "username", "password" };
    for (const QString& name : fields) {
        auto* field = window.findChild<QLineEdit*>(name);
        QCoreApplication::processEvents();
        PaintRecorder recorder;
        window.installEventFilter(&recorder);
        for (QWidget* each : window.findChildren<QWidget*>())
            each->installEventFilter(&recorder);
        field->update(field->inputMethodQuery(Qt::ImCursorRectangle).toRect());
        QTRY_VERIFY(recorder.painted.contains(name));
        for (const QString& painted : qAsConst(recorder.painted))
            QVERIFY2(fields.contains(painted), qPrintable(painted));
    }
}

void MainWindowTest::caretStopsBlinkingWithoutInput_data()
{
    QTest::addColumn<bool>("key"); // else a click
    QTest::newRow("key") << true;
    QTest::newRow("click") << false;
}

// Left alone, the caret stops blinking, shown; the next key or click makes it
// blink again, and it blinks after the window is gone.
void MainWindowTest::caretStopsBlinkingWithoutInput()
{
    QFETCH(bool, key);
    QStyleHints* hints = QGuiApplication::styleHints();
    const int blink = hints->cursorFlashTime();
    QVERIFY(blink > 0);
    QLineEdit field;
    field.show();
    QVERIFY(QTest::qWaitForWindowExposed(&field));
    {
        QObject owner;
        quiet::stopCaretBlinkAfter(&owner, 50);
        QTRY_COMPARE(hints->cursorFlashTime(), 0);
        if (key)
            QTest::keyClick(&field, Qt::Key_A);
        else
            QTest::mouseClick(&field, Qt::LeftButton);
        QCOMPARE(hints->cursorFlashTime(), blink);
        QTRY_COMPARE(hints->cursorFlashTime(), 0);
    }
    QCOMPARE(hints->cursorFlashTime(), blink);
}

void MainWindowTest::picturesDecodedWhenFirstShown()
{
    VelnorMain window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const std::pair<const char*, const char*> labels[] = { { "LogoSmall", ":/resources/logo_small.png" },
        { "user_avatar", ":/resources/user_avatar.png" }, { "label_11", ":/resources/connected.png" } };
    for (const auto& [name, file] : labels) {
        // Not made yet, or made without its picture.
        const auto* label = window.findChild<QLabel*>(QLatin1String(name));
        QVERIFY2(!label || label->pixmap(Qt::ReturnByValue).isNull(), name);
    }
    for (const char* shown : { "LogoSmall", "WingetConnected", "tabAccountZoneInfo", "WidgetConnectedVPN" })
        window.findChild<QWidget*>(QLatin1String(shown))->show();
    for (const auto& [name, file] : labels) {
        const QImage shown = window.findChild<QLabel*>(QLatin1String(name))->pixmap(Qt::ReturnByValue).toImage();
        QCOMPARE(shown, QImage(QLatin1String(file)).convertToFormat(shown.format()));
    }
}

void MainWindowTest::pagesBuiltWhenFirstShown_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("tab"); // of WingetConnected, or none
    QTest::addColumn<QString>("part"); // a widget of the page's own form
    QTest::addColumn<QString>("label"); // one with a picture, or none
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QString>("catalogue"); // filled in before the page is shown

    QTest::newRow("signed-in tabs") << "WingetConnected"
                                    << "tabAdvanced"
                                    << "quickConnect"
                                    << "server_icon"
                                    << ":/resources/server.png" << QString();
    QTest::newRow("new account") << "WidgetNewAccount" << QString() << "NewEmail" << QString() << QString()
                                 << QString();
    QTest::newRow("connecting") << "WidgetConnectingVPN" << QString() << "cancel" << QString() << QString()
                                << QString();
    QTest::newRow("connected") << "WidgetConnectedVPN" << QString() << "disconnect"
                               << "label_11"
                               << ":/resources/connected.png" << QString();
    // What a slot put on a page not yet built is what the page shows.
    QTest::newRow("flag of a catalogue read before")
        << "WingetConnected"
        << "tabAdvanced"
        << "quickConnect"
        << "server_icon"
        << ":/resources/flags/de.png"
        << "<r><servers><server><id>1</id><shortname>A</shortname><IP>192.0.2.1</IP><country>DE</country>"
           "</server></servers></r>";
}

// A page is made, polished and given its pictures when it is first shown:
// until then its holder is empty. A slot that reaches one of its widgets
// before makes it then, and the page shows what the slot put there.
void MainWindowTest::pagesBuiltWhenFirstShown()
{
    QFETCH(QString, page);
    QFETCH(QString, tab);
    QFETCH(QString, part);
    QFETCH(QString, label);
    QFETCH(QString, picture);
    QFETCH(QString, catalogue);
    VelnorMain window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    if (!catalogue.isEmpty()) {
        // The catalogue's own hidden page only.
        window.findChild<QWidget*>(QStringLiteral("tab_2"))->findChild<form::LatePage*>()->make();
        window.findChild<QTextBrowser*>(QStringLiteral("textBrowser"))->setPlainText(catalogue);
        QVERIFY(QMetaObject::invokeMethod(&window, "PopulateServers"));
    }
    auto* shown = window.findChild<QWidget*>(page);
    QVERIFY(shown);
    QVERIFY(!shown->testAttribute(Qt::WA_WState_Polished));
    QCOMPARE(window.findChild<QWidget*>(part) != nullptr, !catalogue.isEmpty());

    shown->show();
    QVERIFY(window.findChild<QWidget*>(part)->isVisible());
    auto* pictured = label.isEmpty() ? nullptr : window.findChild<QLabel*>(label);
    if (!tab.isEmpty())
        qobject_cast<QTabWidget*>(shown)->setCurrentWidget(shown->findChild<QWidget*>(tab));
    QWidget* built = tab.isEmpty() ? shown : shown->findChild<QWidget*>(tab);
    const QList<QWidget*> parts = built->findChildren<QWidget*>() << built;
    for (QWidget* each : parts)
        QVERIFY2(each->testAttribute(Qt::WA_WState_Polished), qPrintable(each->objectName()));
    if (pictured) {
        const QImage image = pictured->pixmap(Qt::ReturnByValue).toImage();
        QCOMPARE(image, QImage(picture).convertToFormat(image.format()));
    }
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
