#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// What an accepted update does on this system.
namespace platform::installer {

// Windows downloads the installer and runs it. On Linux the system's package
// manager installs the client: the user is sent to the web site's download
// page, the client keeps running, and no installer is fetched or saved.
enum class Route { RunInstaller, DownloadPage };
Route updateRoute();

enum class HandOver { NotSaved, NotStarted, Started };

// Windows: saves the installer as `fileName` (relative to the working
// folder), whole or not at all, and starts it detached with "/SILENT".
// Linux: saves and starts nothing.
HandOver handOver(const QString& fileName, const QByteArray& installer);

// Starts a detached process; tests swap in a recorder (nullptr restores
// the real one).
using Starter = bool (*)(const QString& program, const QStringList& arguments);
void setStarter(Starter starter);
bool startDetached(const QString& program, const QStringList& arguments);

} // namespace platform::installer
