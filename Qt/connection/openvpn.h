#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class QObject;
class QProcess;

// What the OpenVPN executable is given: its input files in "include/", its
// command line and working folder, and the check of a downloaded
// configuration. Paths are relative to `base`, the client's working folder.
namespace connection::openvpn {

struct Command {
    QString program;
    QStringList arguments;
    QString workingFolder;
};

// The command line for the executable. On Windows the bundled
// "openvpn/openvpn.exe" with paths relative to its folder; elsewhere
// `configured` split like a command line (never by a shell, so a launcher
// such as "pkexec openvpn" works), with absolute paths, since a launcher may
// start the child in another folder. Empty program when `configured` is blank.
Command command(const QString& base, const QString& configured);

// Creates "include" and "openvpn" when missing and makes "include" owner-only.
bool prepareFolders(const QString& base);

// Writes one input file owner-only from the moment it exists, the bytes as
// they are. False when it cannot be written.
bool writeInputFile(const QString& path, const QByteArray& bytes);
QString certificatePath(const QString& base);
QString configPath(const QString& base);
QString credentialsPath(const QString& base);
QString logPath(const QString& base);
// Where the inline block of `option` (cert, key, tls-auth, ...) goes for
// NetworkManager's plug-in, which wants files. Empty for other options.
QString inlineFilePath(const QString& base, const QString& option);

// The user name, a line end and the password as UTF-8, no line end after it.
QByteArray credentials(const QString& userName, const QString& password);

// Removes the input files, inline blocks written out included (never the
// log); a missing file is no error.
void removeInputFiles(const QString& base);

// Puts why a profile was refused in the log, where OpenVPN's own words would
// be had it started.
bool writeRefusal(const QString& base, const QString& why);

// Asks the executable to end without waiting for it: SIGTERM now, so it can
// restore the routes it changed, and a kill after `graceMs` if that same
// process is still running.
void requestStop(QProcess* process, int graceMs = 3000);
// Stops the executable and waits at most twice `graceMs`, keeping the event
// loop turning meanwhile. True when no process is left running.
bool stopAndWait(QProcess* process, int graceMs = 3000);
// The same, blocking: for the window's destructor, where no event may run.
bool stop(QProcess* process, int graceMs = 3000);

// The number of the current connection attempt. Tearing an attempt down
// (disconnect, cancel, time-out, next quick-connect stage, giving up) begins
// a new one, so that a reply or a paused stage of the old one can tell it is
// no longer wanted. Lives here, not in the window, because the window's
// fields are fixed.
quint64 currentAttempt();
quint64 beginAttempt();

// Tags a reply with the current attempt, and tells whether a tagged reply
// still belongs to it.
void tagWithAttempt(QObject* reply);
bool belongsToCurrentAttempt(const QObject* reply);

} // namespace connection::openvpn
