#include "app/datafolder.h"
#include "app/identity.h"
#include "app/settings.h"
#include "app/singleinstance.h"
#include "mainwindow/velnormain.h"
#include "platform/endrequests.h"

#include <QApplication>
#include <QDateTime>
#include <QFont>
#include <QtDebug>

namespace {
// The form is drawn in the Windows system font; elsewhere use the closest
// free font with similar widths, so the fixed-size texts still fit.
void useAvailableFonts()
{
#ifndef Q_OS_WIN
    QFont::insertSubstitutions(
        QStringLiteral("Segoe UI"), { QStringLiteral("Liberation Sans"), QStringLiteral("Arial") });
    QFont::insertSubstitutions(
        QStringLiteral("Segoe UI Black"), { QStringLiteral("Liberation Sans"), QStringLiteral("Arial") });
#endif
}
} // namespace

int main(int argc, char* argv[])
{
    app::setIdentity();
    app::settings::keepPrivate();

    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const qint64 last = app::singleinstance::storedHeartbeat(app::settings::storedHeartbeat());

    if (!app::singleinstance::mayStart(now, last)) {
        app::settings::requestRaise();
        qDebug("was here");
        return 0;
    }

    QApplication app(argc, argv);
    if (!app::useDataFolder())
        qWarning("cannot use the data folder %s", qPrintable(app::dataFolder()));
    useAvailableFonts();
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
