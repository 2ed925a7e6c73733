// Starts as main.cpp does and ends right after the window's first paint, for
// counting start-up instructions with callgrind (deterministic, where CPU time
// is not). With "bare" it does the same for a bare QMainWindow, the floor;
// with "signedin" the window first handles a login reply with a large catalogue:
//   valgrind --tool=callgrind build-bench/bench/bench_firstpaint [bare|signedin]
// under a real X server (Xvfb): offscreen skips most of what X costs.

#include "app/datafolder.h"
#include "app/identity.h"
#include "app/settings.h"
#include "cataloguefixture.h"
#include "mainwindow/desktop.h"
#include "mainwindow/fonts.h"
#include "mainwindow/velnormain.h"
#include "platform/drawing.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QTimer>

#include <cstdlib>
#include <cstring>

namespace {
// Ends the process in the event loop turn after the first paint, skipping the
// teardown, which start-up does not pay.
class EndAfterFirstPaint : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !painted) {
            painted = true;
            QTimer::singleShot(0, [] { std::_Exit(0); });
        }
        return false;
    }

private:
    bool painted = false;
};
} // namespace

int main(int argc, char* argv[])
{
    const bool bare = argc > 1 && std::strcmp(argv[1], "bare") == 0;
    if (!bare) {
        app::setIdentity();
        app::settings::keepPrivate();
        platform::drawWithoutOpenGl();
        desktop::scaleWithTheScreen();
    }
    QApplication app(argc, argv);
    EndAfterFirstPaint end;
    if (bare) {
        QMainWindow window;
        auto* label = new QLabel(QStringLiteral("Hello from a minimal Qt5 Widgets window"));
        label->setAlignment(Qt::AlignCenter);
        window.setCentralWidget(label);
        window.resize(400, 200);
        window.installEventFilter(&end);
        window.show();
        return app.exec();
    }
    app::useDataFolder();
    fonts::useFormFonts();
    QGuiApplication::setQuitOnLastWindowClosed(false);
    VelnorMain window;
    window.installEventFilter(&end);
    window.show();
    if (argc > 1 && std::strcmp(argv[1], "signedin") == 0) {
        // The login reply of a large catalogue, read from the file bench_idle wrote.
        QFile saved(qEnvironmentVariable("VELNOR_BENCH_CATALOGUE"));
        const QByteArray body = saved.open(QIODevice::ReadOnly) ? saved.readAll() : bench::catalogueBytes(5000);
        QMetaObject::invokeMethod(&window, "HasFinished", Q_ARG(QNetworkReply*, new bench::CannedReply(body)));
    }
    return app.exec();
}
