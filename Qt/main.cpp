#include "app/commandline.h"
#include "app/datafolder.h"
#include "app/identity.h"
#include "app/settings.h"
#include "app/singleinstance.h"
#include "connection/checkprofile.h"
#include "mainwindow/desktop.h"
#include "mainwindow/fonts.h"
#include "mainwindow/messagebox.h"
#include "mainwindow/velnormain.h"
#include "platform/drawing.h"
#include "platform/endrequests.h"

#include <QApplication>
#include <QDateTime>
#include <QTextStream>
#include <QtDebug>

#include <cstdio>

int main(int argc, char* argv[])
{
    app::setIdentity();
    const app::commandline::Answer answer = app::commandline::read(argc, argv);
    if (answer.checkProfiles) {
        // No window and no service, and before the single-instance check,
        // so that it works beside a running copy.
        QTextStream out(stdout);
        return connection::openvpn::checkProfileFiles(answer.profiles, out);
    }
    if (!answer.run) {
        std::fputs(answer.output.toLocal8Bit().constData(), stdout);
        std::fputs(answer.error.toLocal8Bit().constData(), stderr);
        return answer.exitCode;
    }
    app::settings::keepPrivate();

    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const qint64 last = app::singleinstance::storedHeartbeat(app::settings::storedHeartbeat());

    const auto refuse = [] {
        app::settings::requestRaise();
        qDebug("was here");
        return 0;
    };
    if (!app::singleinstance::mayStart(now, last))
        return refuse();

    platform::drawWithoutOpenGl();
    desktop::scaleWithTheScreen();
    QApplication app(argc, argv);
    if (!app::useDataFolder())
        qWarning("cannot use the data folder %s", qPrintable(app::dataFolder()));
    // Held until the window has gone: a copy that is stopped or busy keeps it
    // although its heartbeat ages.
    const app::singleinstance::FolderLock lock(app::dataFolder());
    using LockState = app::singleinstance::FolderLock::State;
    if (lock.state() == LockState::HeldByLiveCopy)
        return refuse();
    if (lock.state() == LockState::Taken)
        app::removeLeftoverInputFiles();
    else
        qWarning("cannot lock the data folder; files left in it are kept");
    fonts::useFormFonts();
    messagebox::useSharpIcons();
    // Hiding or closing the window must never end the program; only an
    // explicit quit does.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    int exitCode = 0;
    {
        VelnorMain window;
        window.show();
        platform::onEndRequest(&app, [] { QCoreApplication::quit(); });
        exitCode = app.exec();
    }
    return exitCode;
}
