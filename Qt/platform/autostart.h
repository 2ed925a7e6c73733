#pragma once

#include <QString>

// The user's own list of programs the system starts at sign-in. Windows: the
// Run-key value "Velnor". Elsewhere: the XDG autostart entry
// $XDG_CONFIG_HOME/autostart/velnor-vpn.desktop.
namespace platform::autostart {

// What the entry starts for the running `executable`: on Linux its plain name
// when it lies in `installedBinDir` (a packaged install, found on PATH, so the
// entry outlives upgrades), else its full path (a build folder); on Windows
// always the full path.
QString program(const QString& executable, const QString& installedBinDir);

// Adds the entry that starts `executable` (a name or a path) plainly, without arguments, or
// replaces an earlier one. True when it was written.
bool add(const QString& executable);
// Removes the entry; removing a missing entry does nothing and succeeds.
bool remove();

// The preference's label as the user's system is called, untranslated
// (context "VelnorMain").
const char* optionText();

#ifndef Q_OS_WIN
// Where the entry lives.
QString entryPath();
// An Exec value that runs exactly `executable`: one quoted argument, as the
// desktop-entry format wants it.
QString execValue(const QString& executable);
#endif

} // namespace platform::autostart
