#pragma once

#include <QString>
#include <QStringList>

// Handing a downloaded installer over to the system.
namespace platform::installer {

// Windows runs the installer, silently and with the program's administrator
// rights. Elsewhere it is only saved and shown to the user: it is a Windows
// installer, and where Wine is installed, running or opening it would run it.
#ifdef Q_OS_WIN
constexpr bool runsInstaller = true;
#else
constexpr bool runsInstaller = false;
#endif

// Windows: starts the installer detached with "/SILENT". Elsewhere: opens
// the folder that holds it in the desktop's file manager; never the file.
// True when the process started.
bool handOver(const QString& installerPath);

// Starts a detached process; tests swap in a recorder (nullptr restores
// the real one).
using Starter = bool (*)(const QString& program, const QStringList& arguments);
void setStarter(Starter starter);
bool startDetached(const QString& program, const QStringList& arguments);

} // namespace platform::installer
