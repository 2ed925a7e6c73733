#pragma once

#include "connection/openvpnprofile.h"

#include <QObject>
#include <QString>

#include <functional>

class QProcess;

// Who starts the OpenVPN executable once the input files are written: the
// client itself as a child process, or, on Linux for a desktop user who may
// not open a tunnel device, NetworkManager's OpenVPN plug-in. Chosen once,
// at the first start; the window talks only to this.
namespace connection::openvpn {

class Launcher : public QObject {
public:
    using QObject::QObject;

    // The downloaded profile as this way of starting OpenVPN takes it: what
    // goes on, what is dropped, or why it is refused. May decide the way.
    virtual ProfileCheck check(const QByteArray& profile, const QString& base) = 0;
    // Writes what the accepted profile needs under `base`: the profile
    // written out again from what goes on, and the files this way wants.
    virtual bool writeInputFiles(const QString& base, const ProfileCheck& check) = 0;
    // Keeps the account's credentials for the next start. False when they
    // cannot be kept.
    virtual bool keepCredentials(const QString& base, const QString& userName, const QString& password) = 0;
    // Ends what an earlier start left running before the next one. May turn
    // the event loop; false when it could not be ended.
    virtual bool endPrevious() = 0;
    // Starts the executable on the input files under `base` for the checked
    // profile and returns at once.
    virtual void start(const QString& base, const ProfileCheck& check) = 0;
    // Asks whatever runs to end, returning at once.
    virtual void requestStop() = 0;
    // Calls `done` on `context`'s thread once nothing started so far runs
    // any more (soon, from the event loop, when nothing does now); never if
    // `context` goes first. Never blocks.
    virtual void whenStopped(QObject* context, std::function<void()> done) = 0;
    // For the window's destruction: ends it without running events.
    virtual void stopForExit() = 0;
};

// The direct path: `executable` answers the configured command line (split
// like one, never by a shell) at each start.
Launcher* installDirectLauncher(QProcess* process, std::function<QString()> executable);

// Installs on `process` the launcher this machine uses: the direct one when
// `executableConfigured` (VELNOR_OPENVPN is set), on Windows, or when
// NetworkManager or its OpenVPN plug-in is missing; NetworkManager otherwise.
// The choice is made at the first start, not here.
Launcher* installLauncher(QProcess* process, bool executableConfigured, std::function<QString()> executable);

// The launcher installed on `process`.
Launcher* launcher(QProcess* process);

// Whether NetworkManager runs here and has the OpenVPN plug-in. Asks nmcli,
// waiting at most two seconds.
bool networkManagerCanStartOpenVpn();

} // namespace connection::openvpn
