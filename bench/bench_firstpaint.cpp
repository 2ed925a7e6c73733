// Starts as main.cpp does and ends right after the window's first paint, for
// counting start-up instructions with callgrind (deterministic, where CPU time
// is not). With "bare" it does the same for a bare QMainWindow, the floor:
//   valgrind --tool=callgrind build-bench/bench/bench_firstpaint [bare]
// under a real X server (Xvfb): offscreen skips most of what X costs.

#include "app/datafolder.h"
#include "app/identity.h"
#include "app/settings.h"
#include "mainwindow/desktop.h"
#include "mainwindow/fonts.h"
#include "mainwindow/velnormain.h"
#include "platform/drawing.h"

#include <QApplication>
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
    return app.exec();
}
