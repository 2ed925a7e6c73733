#include "mainwindow/tray.h"

#include <QSystemTrayIcon>

namespace {
std::optional<bool> trayOverride;
tray::BalloonObserver balloonObserver;
constexpr int balloonMs = 10000;
} // namespace

bool tray::systemTrayAvailable() { return trayOverride.value_or(QSystemTrayIcon::isSystemTrayAvailable()); }

void tray::setSystemTrayAvailable(std::optional<bool> available) { trayOverride = available; }

void tray::showBalloon(QSystemTrayIcon* icon, const QString& title, const QString& message)
{
    icon->showMessage(title, message, QSystemTrayIcon::Information, balloonMs);
    if (balloonObserver)
        balloonObserver(title, message);
}

void tray::setBalloonObserver(BalloonObserver observer) { balloonObserver = std::move(observer); }
