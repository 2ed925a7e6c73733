#include "platform/tray.h"

#include <QSystemTrayIcon>

namespace {
std::optional<bool> trayOverride;
}

bool platform::systemTrayAvailable()
{
    return trayOverride.value_or(QSystemTrayIcon::isSystemTrayAvailable());
}

void platform::setSystemTrayAvailable(std::optional<bool> available)
{
    trayOverride = available;
}
