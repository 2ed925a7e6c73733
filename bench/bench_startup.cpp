// Start-up cost of the main window against a bare QMainWindow, in one process:
// construction plus the first paint, and the resident memory each adds.
// Run offscreen: QT_QPA_PLATFORM=offscreen build-rel/bench/bench_startup

#include "mainwindow/velnormain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
long residentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

template <typename Window>
double showOnce()
{
    QElapsedTimer timer;
    timer.start();
    Window window;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        std::fprintf(stderr, "window not exposed\n");
    window.grab(); // the first full paint
    const double ms = timer.nsecsElapsed() / 1e6;
    return ms;
}

template <typename Window>
void report(const char* name, int runs)
{
    std::vector<double> times;
    const long before = residentKilobytes();
    for (int run = 0; run < runs; ++run)
        times.push_back(showOnce<Window>());
    Window kept; // what one live window costs in memory
    kept.show();
    if (!QTest::qWaitForWindowExposed(&kept))
        std::fprintf(stderr, "window not exposed\n");
    const long after = residentKilobytes();
    const double first = times.front();
    std::sort(times.begin(), times.end());
    std::printf("%-12s first %.1f ms, median %.1f ms, max %.1f ms over %d runs; RSS +%ld kB with one window\n", name,
        first, times.at(times.size() / 2), times.back(), runs, after - before);
}
}

int main(int argc, char* argv[])
{
    QTemporaryDir settingsFolder;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsFolder.path());
    QApplication app(argc, argv);
    std::printf("resident at start: %ld kB\n", residentKilobytes());
    report<QMainWindow>("bare window", 15);
    report<VelnorMain>("VelnorMain", 15);
    return 0;
}
