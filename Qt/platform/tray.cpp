#include "platform/tray.h"

#include <QSystemTrayIcon>

namespace {
std::optional<bool> trayOverride;
platform::BalloonObserver balloonObserver;
constexpr int balloonMs = 10000;
} // namespace

bool platform::systemTrayAvailable() { return trayOverride.value_or(QSystemTrayIcon::isSystemTrayAvailable()); }

void platform::setSystemTrayAvailable(std::optional<bool> available) { trayOverride = available; }

void platform::showBalloon(QSystemTrayIcon* icon, const QString& title, const QString& message)
{
    icon->showMessage(title, message, QSystemTrayIcon::Information, balloonMs);
    if (balloonObserver)
        balloonObserver(title, message);
}

void platform::setBalloonObserver(BalloonObserver observer) { balloonObserver = std::move(observer); }
