#pragma once

#include <QString>

namespace app {

// The folder the client works in: the OpenVPN input files live in its
// "include/". On Linux the per-user data folder (XDG data home +
// "/velnor-vpn", or VELNOR_DATA_DIR), so a client started from $HOME or "/"
// scatters nothing there; on Windows the program's own folder, since a
// program started at sign-in starts in System32.
QString dataFolder();

// Creates the folder owner-only, makes it the current directory and removes
// input files a crash may have left behind. False when it cannot be used.
bool useDataFolder();

} // namespace app
