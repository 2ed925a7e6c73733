#include "mainwindow/tray.h"
#include "windowfixture.h"

#include <QAbstractButton>
#include <QEventLoop>
#include <QMenu>
#include <QMouseEvent>
#include <QSettings>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QtTest>

#include <memory>

// Dragging, minimising, restoring, quitting and closing the frameless window.
class WindowChromeTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void minimiseToTray();
    void minimiseKeepsTaskbarButton_data();
    void minimiseKeepsTaskbarButton();
    void trayClickRestores();
    void otherTrayActivationsChangeNothing_data();
    void otherTrayActivationsChangeNothing();
    void trayMenu();
    void quitAnsweredNo();
    void quitAnsweredYes();
    void systemCloseAnsweredYes_data();
    void systemCloseAnsweredYes();
    void systemCloseAnsweredNo();
    void draggingNeverJumps();
    void startMinimized();

private:
    std::unique_ptr<WindowFixture> fixture;
    VelnorMain* window = nullptr;

    void showWindow();
    void click(const char* name);
};

void WindowChromeTest::init()
{
    fixture = std::make_unique<WindowFixture>();
    tray::setSystemTrayAvailable(true);
}

void WindowChromeTest::cleanup()
{
    fixture.reset();
    window = nullptr;
    tray::setSystemTrayAvailable(std::nullopt);
}

void WindowChromeTest::showWindow() { window = fixture->openWindow(); }

void WindowChromeTest::click(const char* name)
{
    auto* button = window->findChild<QAbstractButton*>(QLatin1String(name));
    QVERIFY2(button, name);
    button->click();
}

void WindowChromeTest::minimiseToTray()
{
    showWindow();
    click("application_minimize");
    QVERIFY(!window->isVisible());
    QCOMPARE(window->windowType(), Qt::Tool);
    QVERIFY(window->windowState() & Qt::WindowMinimized);
}

void WindowChromeTest::minimiseKeepsTaskbarButton_data()
{
    QTest::addColumn<QString>("showTaskbarIcon");
    QTest::addColumn<bool>("trayAvailable");
    QTest::newRow("keep in taskbar") << QStringLiteral("1") << true;
    QTest::newRow("no tray on this desktop") << QString() << false;
    QTest::newRow("no tray, setting 0") << QStringLiteral("0") << false;
}

void WindowChromeTest::minimiseKeepsTaskbarButton()
{
    QFETCH(QString, showTaskbarIcon);
    QFETCH(bool, trayAvailable);
    tray::setSystemTrayAvailable(trayAvailable);
    if (!showTaskbarIcon.isNull())
        QSettings().setValue(QStringLiteral("showTaskbarIcon"), showTaskbarIcon);

    showWindow();
    click("application_minimize");
    QVERIFY(window->isVisible());
    QVERIFY(window->windowType() != Qt::Tool);
    QVERIFY(window->windowState() & Qt::WindowMinimized);
    QCOMPARE(window->size(), QSize(360, 440));
}

void WindowChromeTest::trayClickRestores()
{
    showWindow();
    click("application_minimize");
    QVERIFY(!window->isVisible());

    QVERIFY(QMetaObject::invokeMethod(
        window, "trayIconClicked", Q_ARG(QSystemTrayIcon::ActivationReason, QSystemTrayIcon::Trigger)));
    QVERIFY(window->isVisible());
    QVERIFY(!window->isMinimized());
    QVERIFY(window->windowType() != Qt::Tool);
    QCOMPARE(int(window->windowFlags() & ~Qt::WindowType_Mask), 0x40900);
    QCOMPARE(window->size(), QSize(360, 440));
}

void WindowChromeTest::otherTrayActivationsChangeNothing_data()
{
    QTest::addColumn<int>("reason");
    QTest::newRow("double click") << int(QSystemTrayIcon::DoubleClick);
    QTest::newRow("middle click") << int(QSystemTrayIcon::MiddleClick);
    QTest::newRow("context") << int(QSystemTrayIcon::Context);
    QTest::newRow("unknown") << int(QSystemTrayIcon::Unknown);
}

void WindowChromeTest::otherTrayActivationsChangeNothing()
{
    QFETCH(int, reason);
    showWindow();
    click("application_minimize");
    QVERIFY(QMetaObject::invokeMethod(window, "trayIconClicked",
        Q_ARG(QSystemTrayIcon::ActivationReason, QSystemTrayIcon::ActivationReason(reason))));
    QVERIFY(!window->isVisible());
    QCOMPARE(window->windowType(), Qt::Tool);
}

void WindowChromeTest::trayMenu()
{
    showWindow();
    auto* tray = window->findChild<QSystemTrayIcon*>();
    QVERIFY(tray);
    QVERIFY(tray->isVisible());
    QVERIFY(!tray->icon().isNull());
    QVERIFY(tray->contextMenu());
    const QList<QAction*> actions = tray->contextMenu()->actions();
    QCOMPARE(actions.size(), 2);
    QCOMPARE(actions.at(0)->text(), QStringLiteral("&Show Application"));
    QCOMPARE(actions.at(1)->text(), QStringLiteral("&Quit"));

    click("application_minimize");
    actions.at(0)->trigger();
    QVERIFY(window->isVisible());
    QVERIFY(!window->isMinimized());
}

void WindowChromeTest::quitAnsweredNo()
{
    showWindow();
    DialogDriver& driver = fixture->dialogs;
    driver.answer(QMessageBox::No);
    bool loopEnded = false;
    QEventLoop loop;
    QTimer::singleShot(0, this, [&] {
        click("application_close");
        // Still here after the box: give the loop a moment to see no quit.
        QTimer::singleShot(200, &loop, [&loop] { loop.exit(1); });
    });
    loopEnded = loop.exec() == 0;

    QVERIFY(!loopEnded);
    QCOMPARE(driver.boxes().size(), 1);
    QCOMPARE(driver.last().title, QStringLiteral("Close Confirmation?"));
    QCOMPARE(driver.last().text, QStringLiteral("Are you sure you want to exit?"));
    QCOMPARE(driver.last().buttons, QMessageBox::Yes | QMessageBox::No);
    QVERIFY(driver.last().hasParent);
    QVERIFY(window->isVisible());
}

void WindowChromeTest::quitAnsweredYes()
{
    showWindow();
    DialogDriver& driver = fixture->dialogs;
    driver.answer(QMessageBox::Yes);
    // Runs the application's own loop, which the confirmed quit must end.
    QTimer failsafe;
    failsafe.setSingleShot(true);
    connect(&failsafe, &QTimer::timeout, qApp, [] { QCoreApplication::exit(7); });
    failsafe.start(5000);
    // The tray menu's Quit runs the same question.
    QTimer::singleShot(
        0, this, [this] { window->findChild<QSystemTrayIcon*>()->contextMenu()->actions().at(1)->trigger(); });
    QCOMPARE(QCoreApplication::exec(), 0);
    QCOMPARE(driver.boxes().size(), 1);
    QCOMPARE(driver.last().title, QStringLiteral("Close Confirmation?"));

    fixture->closeWindow();
    window = nullptr;
    QSettings settings;
    QCOMPARE(settings.value(QStringLiteral("vlrunning")).toString(), QStringLiteral("0"));
}

void WindowChromeTest::systemCloseAnsweredYes_data()
{
    QTest::addColumn<bool>("trayAvailable");
    QTest::newRow("tray: hides only") << true;
    QTest::newRow("no tray: quits as Quit does") << false;
}

void WindowChromeTest::systemCloseAnsweredYes()
{
    QFETCH(bool, trayAvailable);
    tray::setSystemTrayAvailable(trayAvailable);
    showWindow();
    DialogDriver& driver = fixture->dialogs;
    driver.answer(QMessageBox::Yes);
    // Runs the application's own loop: a quit asked for by the close ends it
    // before the loop's next turn, which ends it otherwise (and goes with the
    // window, so it cannot end a later loop).
    QTimer::singleShot(0, this, [this] {
        window->close();
        QTimer::singleShot(0, window, [] { QCoreApplication::exit(3); });
    });
    QCOMPARE(QCoreApplication::exec(), trayAvailable ? 3 : 0);
    QVERIFY(!window->isVisible());
    QCOMPARE(driver.boxes().size(), 1);
    QCOMPARE(driver.last().title, QStringLiteral("Application close"));
    QCOMPARE(driver.last().text, QStringLiteral("Are you sure you want to exit?"));
    if (!trayAvailable) {
        fixture->closeWindow();
        window = nullptr;
        QCOMPARE(QSettings().value(QStringLiteral("vlrunning")).toString(), QStringLiteral("0"));
        return;
    }

    auto* timer = window->findChild<QTimer*>();
    QVERIFY(timer->isActive());
    QVERIFY(window->findChild<QSystemTrayIcon*>()->isVisible());
    // Still serving ticks: the heartbeat moves on.
    QSettings().setValue(QStringLiteral("vlrunning"), QStringLiteral("1"));
    QVERIFY(QMetaObject::invokeMethod(window, "UpdateTimer"));
    QVERIFY(QSettings().value(QStringLiteral("vlrunning")).toString().toLongLong() > 1);
}

void WindowChromeTest::systemCloseAnsweredNo()
{
    showWindow();
    DialogDriver& driver = fixture->dialogs;
    driver.answer(QMessageBox::No);
    QVERIFY(!window->close());
    QVERIFY(window->isVisible());
    QCOMPARE(driver.boxes().size(), 1);
}

void WindowChromeTest::draggingNeverJumps()
{
    showWindow();
    window->move(100, 120);
    const QPoint start = window->pos();
    const QPointF grab(50.4, 60.6);
    const QPointF grabOnScreen = QPointF(start) + grab;

    QMouseEvent press(
        QEvent::MouseButtonPress, grab, grab, grabOnScreen, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &press);

    QMouseEvent still(QEvent::MouseMove, grab, grab, grabOnScreen, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &still);
    QCOMPARE(window->pos(), start);

    const QPointF moved = grabOnScreen + QPointF(30, -40);
    QMouseEvent drag(QEvent::MouseMove, grab, grab, moved, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &drag);
    QCOMPARE(window->pos(), start + QPoint(30, -40));
}

void WindowChromeTest::startMinimized()
{
    QSettings().setValue(QStringLiteral("startMinimized"), QStringLiteral("1"));
    // Not waited for: a window started minimised to the tray is never exposed.
    fixture->window = std::make_unique<VelnorMain>();
    window = fixture->window.get();
    window->show();
    QVERIFY(window->windowState() & Qt::WindowMinimized);
    QCOMPARE(window->windowType(), Qt::Tool);
}

QTEST_MAIN(WindowChromeTest)
#include "tst_windowchrome.moc"
