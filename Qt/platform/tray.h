#pragma once

#include <optional>

namespace platform {
// Whether the desktop shows tray icons. Many Linux desktops have no tray;
// there a window hidden to the tray would be out of reach.
bool systemTrayAvailable();
// Overrides the answer (std::nullopt asks the desktop again); for tests.
void setSystemTrayAvailable(std::optional<bool> available);
}
