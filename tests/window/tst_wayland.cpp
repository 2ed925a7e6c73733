#include "app/settings.h"
#include "testenvironment.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <memory>

// The real program on the desktops users have. In a Wayland session:
// Debian's weston on its X11 backend inside Xvfb (the headless backend has no
// seat, so nothing could drag), the demo service, and xdotool as the user's
// mouse. On X11: Xvfb, with the Xft.dpi a desktop writes or none.
class WaylandTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void signsInAndTheCompositorMovesIt();
    void x11ScaleIsTheDesktops();

private:
    bool startXvfb();
    QProcess* start(const QString& program, const QString& arguments, const QProcessEnvironment& environment,
        const QString& log, bool readOutput = false);
    QImage screenshot(const QString& keepAs);
    bool xdotool(const QString& arguments, QString* output = nullptr);

    std::unique_ptr<TestEnvironment> env;
    QList<QProcess*> processes;
    QProcessEnvironment session;
};

namespace {
// The window body's blue, where the signed-in pages show it: above the
// pages and beside their tabs.
constexpr QRgb windowBlue = qRgb(0x09, 0x5e, 0x9c);

QRect blueArea(const QImage& image)
{
    QRect area;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if ((image.pixel(x, y) & 0xffffff) == (windowBlue & 0xffffff))
                area |= QRect(x, y, 1, 1);
        }
    }
    return area;
}

QString fileText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}
} // namespace

void WaylandTest::init()
{
    for (const char* tool : { "Xvfb", "weston", "weston-screenshooter", "xdotool" }) {
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            QSKIP(qPrintable(QStringLiteral("%1 is not installed (scripts/deps)").arg(QLatin1String(tool))));
    }
    env = std::make_unique<TestEnvironment>();
    session = QProcessEnvironment::systemEnvironment();
    session.remove(QStringLiteral("QT_QPA_PLATFORM"));
    session.insert(QStringLiteral("XDG_RUNTIME_DIR"), env->workFolder());
    QFile::setPermissions(env->workFolder(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

void WaylandTest::cleanup()
{
    // The program first: it leaves the compositor before it goes.
    while (!processes.isEmpty()) {
        std::unique_ptr<QProcess> process(processes.takeLast());
        process->terminate();
        if (!process->waitForFinished(10000))
            process->kill();
    }
    env.reset();
}

// Each writes its log to a file: a pipe nobody reads while the test waits on
// another process would fill and stop it.
QProcess* WaylandTest::start(const QString& program, const QString& arguments, const QProcessEnvironment& environment,
    const QString& log, bool readOutput)
{
    auto* process = new QProcess;
    processes.append(process);
    process->setProcessEnvironment(environment);
    process->setStandardErrorFile(env->workFolder() + QLatin1Char('/') + log);
    if (!readOutput)
        process->setStandardOutputFile(QProcess::nullDevice());
    process->start(program, QProcess::splitCommand(arguments));
    return process;
}

QImage WaylandTest::screenshot(const QString& keepAs)
{
    QDir work(env->workFolder());
    for (const QString& old : work.entryList({ QStringLiteral("wayland-screenshot-*.png") }))
        work.remove(old);
    QProcess shooter;
    shooter.setProcessEnvironment(session);
    shooter.setWorkingDirectory(work.path());
    shooter.start(QStringLiteral("weston-screenshooter"), QStringList());
    if (!shooter.waitForFinished(20000) || shooter.exitCode() != 0)
        return QImage();
    const QStringList shots = work.entryList({ QStringLiteral("wayland-screenshot-*.png") });
    const QImage shot(work.filePath(shots.value(0)));
    shot.save(QCoreApplication::applicationDirPath() + QLatin1Char('/') + keepAs);
    return shot;
}

// The user's mouse, or a look at the X server's windows.
bool WaylandTest::xdotool(const QString& arguments, QString* output)
{
    QProcess xdotool;
    xdotool.setProcessEnvironment(session);
    xdotool.start(QStringLiteral("xdotool"), QProcess::splitCommand(arguments));
    const bool done = xdotool.waitForFinished(30000) && xdotool.exitCode() == 0;
    if (output)
        *output = QString::fromLatin1(xdotool.readAllStandardOutput()).trimmed();
    return done;
}

// Its screen is 100 DPI, as Xvfb's are unless told otherwise. It keeps its
// resources when the last program leaves. False if it did not come up.
bool WaylandTest::startXvfb()
{
    QProcess* xvfb
        = start(QStringLiteral("Xvfb"), QStringLiteral("-displayfd 1 -screen 0 1280x1024x24 -nolisten tcp -noreset"),
            session, QStringLiteral("xvfb.log"), true);
    if (!QTest::qWaitFor([xvfb] { return xvfb->canReadLine(); }, 20000))
        return false;
    session.insert(QStringLiteral("DISPLAY"), QLatin1Char(':') + QString::fromLatin1(xvfb->readLine().trimmed()));
    return true;
}

void WaylandTest::signsInAndTheCompositorMovesIt()
{
    QVERIFY(startXvfb());
    start(QStringLiteral("weston"),
        QStringLiteral("--backend=x11-backend.so --use-pixman --debug --socket=velnor-test --idle-time=0 "
                       "--width=1024 --height=768"),
        session, QStringLiteral("weston.log"));
    session.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("velnor-test"));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(env->workFolder() + QStringLiteral("/velnor-test")), 20000);

    QProcess* demo = start(QStringLiteral(VELNOR_DEMO_EXECUTABLE), QStringLiteral("--listen 127.0.0.1:0"),
        QProcessEnvironment::systemEnvironment(), QStringLiteral("demo.log"), true);
    QTRY_VERIFY_WITH_TIMEOUT(demo->canReadLine(), 20000);
    const QString service = QString::fromUtf8(demo->readLine().trimmed()).section(QLatin1Char(' '), -1);

    // A Wayland session as a desktop hands it over, with an X server there too.
    app::settings::storeRememberedLogin(QStringLiteral("demo"), QStringLiteral("demo"), true);
    QProcessEnvironment client = session;
    client.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
    client.insert(QStringLiteral("WAYLAND_DEBUG"), QStringLiteral("client"));
    client.insert(QStringLiteral("XDG_CONFIG_HOME"), env->configFolder());
    client.insert(QStringLiteral("VELNOR_DATA_DIR"), env->workFolder() + QStringLiteral("/data"));
    client.insert(QStringLiteral("VELNOR_API_BASE"), service + QStringLiteral("/api"));
    client.insert(QStringLiteral("VELNOR_IP_ECHO_URL"), service + QStringLiteral("/ip"));
    start(QStringLiteral(VELNOR_EXECUTABLE), QString(), client, QStringLiteral("protocol.log"));
    const QString protocol = env->workFolder() + QStringLiteral("/protocol.log");
    // How many times the program sent or received a message of the protocol.
    const auto sent = [&protocol](const char* pattern) {
        return fileText(protocol).count(QRegularExpression(QLatin1String(pattern)));
    };

    QTRY_VERIFY_WITH_TIMEOUT(
        fileText(env->workFolder() + QStringLiteral("/demo.log")).contains(QLatin1String("/api/AppUserInfoV3 200")),
        30000);
    QVERIFY2(sent("xdg_wm_base@\\d+\\.get_xdg_surface\\("), "not a Wayland window");

    // Mapped and drawn: the signed-in page's blue is on the screen.
    QRect before;
    QTRY_VERIFY_WITH_TIMEOUT(
        (before = blueArea(screenshot(QStringLiteral("wayland-signed-in.png")))).width() > 300, 20000);

    // Pressed on the blue band beside the logo, dragged towards the middle.
    // The X pointer starts inside weston's window, which then may see no
    // motion until the pointer has left it (it is larger than weston's) and
    // come back.
    const QPoint press = before.topLeft() + QPoint(200, 30);
    const QPoint end = press + QPoint(before.x() < 400 ? 100 : -100, before.y() < 250 ? 55 : -55);
    const auto at = [](const char* action, const QPoint& point) {
        return QString::fromLatin1(action).arg(point.x()).arg(point.y());
    };
    QVERIFY(xdotool(QStringLiteral("mousemove 1200 1000")));
    QVERIFY(xdotool(at("mousemove %1 %2", press)));
    QTRY_VERIFY_WITH_TIMEOUT(sent("wl_pointer@\\d+\\.enter\\("), 10000);
    QVERIFY(xdotool(QStringLiteral("mousedown 1")));
    QTRY_VERIFY_WITH_TIMEOUT(sent("wl_pointer@\\d+\\.button\\("), 10000);
    QVERIFY(xdotool(at("mousemove %1 %2", press + QPoint(5, 5))));
    QTRY_VERIFY_WITH_TIMEOUT(sent("xdg_toplevel@\\d+\\.move\\("), 10000);
    QVERIFY(xdotool(at("mousemove %1 %2 mouseup 1", end)));
    // The compositor moves it with the pointer from where it was pressed.
    QTRY_COMPARE_WITH_TIMEOUT(
        blueArea(screenshot(QStringLiteral("wayland-moved.png"))).topLeft(), before.topLeft() + end - press, 20000);

    // Released: the pointer moving on over the window moves it no more.
    const int motions = sent("wl_pointer@\\d+\\.motion\\(");
    QVERIFY(xdotool(at("mousemove %1 %2", end + QPoint(40, 20))));
    QTRY_VERIFY_WITH_TIMEOUT(sent("wl_pointer@\\d+\\.motion\\(") > motions, 10000);
    QCOMPARE(sent("xdg_toplevel@\\d+\\.move\\("), 1);
}

// The window's size on an X desktop that sets the Xft.dpi given, or none: a
// desktop that sets none asks for no scaling, whatever DPI the screen has.
void WaylandTest::x11ScaleIsTheDesktops()
{
    if (QStandardPaths::findExecutable(QStringLiteral("xrdb")).isEmpty())
        QSKIP("xrdb is not installed (scripts/deps)");
    QVERIFY(startXvfb());
    const auto windowSize = [this](const QString& name) {
        QProcessEnvironment client = session;
        client.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        client.insert(QStringLiteral("XDG_CONFIG_HOME"), env->workFolder() + QStringLiteral("/config-") + name);
        client.insert(QStringLiteral("VELNOR_DATA_DIR"), env->workFolder() + QStringLiteral("/data-") + name);
        // Nothing listens there: the address check fails at once.
        client.insert(QStringLiteral("VELNOR_API_BASE"), QStringLiteral("http://127.0.0.1:9/api"));
        client.insert(QStringLiteral("VELNOR_IP_ECHO_URL"), QStringLiteral("http://127.0.0.1:9/ip"));
        std::unique_ptr<QProcess> program(start(QStringLiteral(VELNOR_EXECUTABLE), QString(), client, name + ".log"));
        processes.removeOne(program.get());
        QString window, geometry;
        xdotool(QStringLiteral("search --sync --onlyvisible --pid %1").arg(program->processId()), &window);
        xdotool(QStringLiteral("getwindowgeometry ") + window.section(QLatin1Char('\n'), -1), &geometry);
        const auto size = QRegularExpression(QStringLiteral("Geometry: (\\d+)x(\\d+)")).match(geometry);
        program->terminate();
        program->waitForFinished(10000);
        return QSize(size.captured(1).toInt(), size.captured(2).toInt());
    };
    const auto setDpi = [this](const QByteArray& resources) {
        QProcess xrdb;
        xrdb.setProcessEnvironment(session);
        xrdb.start(QStringLiteral("xrdb"), { QStringLiteral("-load") });
        xrdb.write(resources);
        xrdb.closeWriteChannel();
        return xrdb.waitForFinished(20000) && xrdb.exitCode() == 0;
    };

    const QSize unset = windowSize(QStringLiteral("unset"));
    QVERIFY(setDpi("Xft.dpi: 96\n"));
    const QSize atOne = windowSize(QStringLiteral("96"));
    QVERIFY(setDpi("Xft.antialias: 1\nXft.dpi: 144\n"));
    const QSize atOneAndAHalf = windowSize(QStringLiteral("144"));

    QVERIFY(!atOne.isEmpty());
    QCOMPARE(unset, atOne);
    QVERIFY2(qAbs(atOneAndAHalf.width() - atOne.width() * 3 / 2) <= 2
            && qAbs(atOneAndAHalf.height() - atOne.height() * 3 / 2) <= 2,
        qPrintable(QStringLiteral("%1x%2 at 144 DPI").arg(atOneAndAHalf.width()).arg(atOneAndAHalf.height())));
}

QTEST_MAIN(WaylandTest)
#include "tst_wayland.moc"
