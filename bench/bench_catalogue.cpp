// Times the selection lists over a large server catalogue: a login reply up
// to the filled lists, storing the text and filling the lists on their own,
// and changes of the chosen server, protocol and type. Prints median and
// maximum of several runs; asserts nothing.
//
//   QT_QPA_PLATFORM=offscreen ./bench_catalogue [servers] [runs]

#include "cataloguefixture.h"
#include "mainwindow/form.h"
#include "mainwindow/velnormain.h"
#include "service/documenttext.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QNetworkReply>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <vector>

using bench::CannedReply;
using bench::catalogue;

namespace {

struct Figures {
    double median;
    double max;
};

Figures summarise(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    const size_t n = samples.size();
    const double median = n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
    return { median, samples.back() };
}

double threadCpuMilliseconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Wall-clock time, and the CPU time of this thread, which other load on a
// shared machine disturbs less.
struct Sample {
    double wall;
    double cpu;
};

Sample measure(const std::function<void()>& work)
{
    QElapsedTimer timer;
    const double cpuBefore = threadCpuMilliseconds();
    timer.start();
    work();
    const double wall = double(timer.nsecsElapsed()) / 1e6;
    return { wall, threadCpuMilliseconds() - cpuBefore };
}

void report(const char* what, const std::vector<Sample>& samples)
{
    std::vector<double> wall, cpu;
    for (const Sample& sample : samples) {
        wall.push_back(sample.wall);
        cpu.push_back(sample.cpu);
    }
    const Figures wallFigures = summarise(wall);
    const Figures cpuFigures = summarise(cpu);
    std::printf("%-42s wall median %8.2f max %8.2f ms | cpu median %8.2f max %8.2f ms\n", what, wallFigures.median,
        wallFigures.max, cpuFigures.median, cpuFigures.max);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The window writes its settings and removes files in its working folder:
    // keep both away from the user's.
    QTemporaryDir sandbox;
    qputenv("XDG_CONFIG_HOME", sandbox.path().toUtf8());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, sandbox.path());
    QDir::setCurrent(sandbox.path());

    QApplication app(argc, argv);
    const int servers = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 5000;
    const int runs = argc > 2 ? std::max(1, QString::fromLocal8Bit(argv[2]).toInt()) : 9;

    const QString text = catalogue(servers);
    std::printf("catalogue: %d servers, %d characters, %d runs\n", servers, int(text.size()), runs);

    VelnorMain window;
    // The lists live on the signed-in tabs, which the first reply makes.
    form::makeLatePages(&window);
    auto* browser = window.findChild<QTextBrowser*>(QStringLiteral("textBrowser"));
    auto* serverList = window.findChild<QComboBox*>(QStringLiteral("servers"));
    auto* protocolList = window.findChild<QComboBox*>(QStringLiteral("protocols"));
    auto* typeList = window.findChild<QComboBox*>(QStringLiteral("type"));
    const auto populate = [&window] { QMetaObject::invokeMethod(&window, "PopulateServers"); };

    // The whole path of a login reply: decoding, storing, judging the verdict
    // and filling the lists.
    const QByteArray body = text.toUtf8();
    std::vector<Sample> reply;
    for (int run = 0; run < runs; ++run) {
        service::storeDocumentText(browser->document(), QString());
        auto* canned = new CannedReply(body);
        reply.push_back(
            measure([&] { QMetaObject::invokeMethod(&window, "HasFinished", Q_ARG(QNetworkReply*, canned)); }));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    if (serverList->count() != servers)
        std::printf("warning: %d servers listed after the reply\n", serverList->count());
    report("login reply to filled lists", reply);

    std::vector<Sample> setText, fill, total;
    for (int run = 0; run < runs; ++run) {
        service::storeDocumentText(browser->document(), QString());
        const Sample set = measure([&] { service::storeDocumentText(browser->document(), text); });
        const Sample lists = measure(populate);
        setText.push_back(set);
        fill.push_back(lists);
        total.push_back({ set.wall + lists.wall, set.cpu + lists.cpu });
    }
    if (serverList->count() != servers)
        std::printf("warning: %d servers listed\n", serverList->count());
    report("store catalogue text", setText);
    report("PopulateServers", fill);
    report("store text + PopulateServers", total);

    const int targets[] = { 1, servers / 2, servers - 1 };
    for (const int target : targets) {
        if (target <= 0 || target >= servers)
            continue;
        std::vector<Sample> change;
        for (int run = 0; run < runs; ++run) {
            serverList->setCurrentIndex(0);
            // A user's change comes from the event loop, which has let go
            // of what the walks before it kept.
            QCoreApplication::processEvents();
            change.push_back(measure([&] { serverList->setCurrentIndex(target); }));
        }
        const QByteArray what = QStringLiteral("server change to #%1").arg(target).toUtf8();
        report(what.constData(), change);
    }

    // On the last server: OpenVPN (the last protocol), then its last profile.
    std::vector<Sample> protocolChange, typeChange;
    for (int run = 0; run < runs; ++run) {
        protocolList->setCurrentIndex(0);
        QCoreApplication::processEvents();
        protocolChange.push_back(measure([&] { protocolList->setCurrentIndex(protocolList->count() - 1); }));
        typeList->setCurrentIndex(0);
        QCoreApplication::processEvents();
        typeChange.push_back(measure([&] { typeList->setCurrentIndex(typeList->count() - 1); }));
    }
    report("protocol change on the last server", protocolChange);
    report("type change on the last server", typeChange);
    return 0;
}
