#pragma once

#include <QString>

namespace app {

// The folder the client works in: the OpenVPN input files live in its
// "include/". On Linux the per-user data folder (XDG data home +
// "/velnor-vpn", or VELNOR_DATA_DIR), so a client started from $HOME or "/"
// scatters nothing there; on Windows the program's own folder, since a
// program started at sign-in starts in System32.
QString dataFolder();

// Creates the folder owner-only and makes it the current directory. False
// when it cannot be used.
bool useDataFolder();

// Removes from the current directory the input files a run that ended
// without its disconnect left behind. Only for the copy that holds the
// folder's lock: another copy may be using them.
void removeLeftoverInputFiles();

} // namespace app
