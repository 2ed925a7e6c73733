#pragma once

#include <QString>

#include <functional>
#include <optional>

class QSystemTrayIcon;

namespace tray {
// Whether the desktop shows tray icons. Many Linux desktops have no tray;
// there a window hidden to the tray would be out of reach.
bool systemTrayAvailable();
// Overrides the answer (std::nullopt asks the desktop again); for tests.
void setSystemTrayAvailable(std::optional<bool> available);

// The program's tray balloon: information icon, shown for 10 s.
void showBalloon(QSystemTrayIcon* icon, const QString& title, const QString& message);
// Also hands every balloon to the observer (nullptr removes it); for tests,
// since no desktop shows balloons offscreen.
using BalloonObserver = std::function<void(const QString& title, const QString& message)>;
void setBalloonObserver(BalloonObserver observer);
} // namespace tray
