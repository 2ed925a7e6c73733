// The main window at rest on one of its pages, for the idle figures of
// bench/run: the login page, the account page signed in with a catalogue of
// 5,000 servers, the connected page (as the monitor sees it after a dial went
// through, without dialing) or minimised to the tray. With a count, it lists
// what woke it over that many seconds and quits; without, it runs until ended.
// Signed in, the login reply is the file VELNOR_BENCH_CATALOGUE names when
// set (bench/run writes it once with "catalogue FILE"), so that making it
// is not counted as the client's start.
//
//   bench_idle login|signedin|connected|minimised [count-seconds]
//   bench_idle catalogue FILE

#include "cataloguefixture.h"
#include "connection/state.h"
#include "mainwindow/desktop.h"
#include "mainwindow/tray.h"
#include "mainwindow/velnormain.h"
#include "platform/drawing.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMap>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

// Counts the timer events each receiver gets, and the paints.
class WakeCounter : public QObject {
public:
    bool eventFilter(QObject* receiver, QEvent* event) override
    {
        if (event->type() == QEvent::Timer || event->type() == QEvent::Paint) {
            const QString key = QLatin1String(event->type() == QEvent::Timer ? "timer " : "paint ")
                + QLatin1String(receiver->metaObject()->className()) + QLatin1Char(' ') + receiver->objectName();
            ++counts[key];
        }
        return false;
    }

    QMap<QString, int> counts;
};

double processCpuMilliseconds()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

QWidget* child(QObject& window, const char* name)
{
    auto* found = window.findChild<QWidget*>(QLatin1String(name));
    if (!found)
        std::fprintf(stderr, "bench_idle: no widget %s\n", name);
    return found;
}

// What the window shows once a dial is confirmed, and the state word the
// monitor keeps for it, so every tick does its connected work.
void showConnected(QObject& window)
{
    for (const char* page : { "WidgetNewAccount", "WingetConnected", "WingetLogin", "WidgetConnectingVPN" }) {
        if (QWidget* widget = child(window, page))
            widget->hide();
    }
    if (QWidget* page = child(window, "WidgetConnectedVPN"))
        page->show();
    if (auto* status = qobject_cast<QLabel*>(child(window, "connectionStatus")))
        status->setText(connection::wordOf(connection::State::Connected));
}

} // namespace

int main(int argc, char** argv)
{
    const char* page = argc > 1 ? argv[1] : "login";
    if (!std::strcmp(page, "catalogue") && argc > 2) {
        QFile file(QString::fromLocal8Bit(argv[2]));
        return file.open(QIODevice::WriteOnly) && file.write(bench::catalogueBytes(5000)) > 0 ? 0 : 1;
    }
    const int countSeconds = argc > 2 ? std::atoi(argv[2]) : 0;
    if (std::strcmp(page, "login") && std::strcmp(page, "signedin") && std::strcmp(page, "connected")
        && std::strcmp(page, "minimised")) {
        std::fprintf(stderr, "usage: bench_idle login|signedin|connected|minimised [count-seconds]\n");
        return 2;
    }
    // Settings and the files the window writes stay out of the user's.
    QTemporaryDir sandbox;
    qputenv("XDG_CONFIG_HOME", sandbox.path().toUtf8());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, sandbox.path());
    QDir::setCurrent(sandbox.path());

    platform::drawWithoutOpenGl();
    desktop::scaleWithTheScreen();
    QApplication app(argc, argv);
    QGuiApplication::setQuitOnLastWindowClosed(false);
    WakeCounter counter;
    if (countSeconds > 0)
        app.installEventFilter(&counter);

    VelnorMain window;
    window.show();
    if (!std::strcmp(page, "connected"))
        showConnected(window);
    if (!std::strcmp(page, "signedin")) {
        // The login reply as the service sends it, read as the window reads it.
        QFile saved(qEnvironmentVariable("VELNOR_BENCH_CATALOGUE"));
        const QByteArray body = saved.fileName().isEmpty() || !saved.open(QIODevice::ReadOnly)
            ? bench::catalogueBytes(5000)
            : saved.readAll();
        auto* reply = new bench::CannedReply(body);
        QMetaObject::invokeMethod(&window, "HasFinished", Q_ARG(QNetworkReply*, reply));
    }
    // Minimised to the tray only once mapped, as a user would. The private
    // X server has no tray: answer as a desktop with one would.
    if (!std::strcmp(page, "minimised")) {
        tray::setSystemTrayAvailable(true);
        QTimer::singleShot(500, &window, [&window] { QMetaObject::invokeMethod(&window, "applicationMinimize"); });
    }

    if (countSeconds > 0) {
        // Start counting once the start-up has settled.
        double cpuBefore = 0;
        QTimer::singleShot(2000, &app, [&] {
            counter.counts.clear();
            cpuBefore = processCpuMilliseconds();
        });
        QTimer::singleShot(2000 + countSeconds * 1000, &app, [&] {
            const double cpu = processCpuMilliseconds() - cpuBefore;
            std::printf("%s page: %.1f ms of CPU over %d s, %.2f ms per 3 s monitor tick\n", page, cpu, countSeconds,
                cpu / (countSeconds / 3.0));
            std::printf("wake-ups on the %s page over %d s:\n", page, countSeconds);
            for (auto it = counter.counts.cbegin(); it != counter.counts.cend(); ++it)
                std::printf("%8d  %s\n", it.value(), qPrintable(it.key()));
            app.quit();
        });
    }
    return app.exec();
}
