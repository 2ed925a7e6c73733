#pragma once

#include "connection/launcher.h"

#ifndef Q_OS_WIN

#include <QThread>

#include <atomic>
#include <memory>

namespace connection::openvpn {

// OpenVPN started by NetworkManager's plug-in, as the desktop user may
// without being root. The profile, owned by that user, has one fixed name
// and is rewritten before each activation; the password comes in a
// passwd-file that lasts as long as the activation. Every nmcli run happens
// on a thread of its own, in the order asked, so the window never waits.
class NetworkManagerLauncher : public Launcher {
public:
    explicit NetworkManagerLauncher(QObject* parent);
    ~NetworkManagerLauncher() override;

    static QString profileName();

    ProfileCheck check(const QByteArray& profile, const QString& base) override;
    bool writeInputFiles(const QString& base, const ProfileCheck& check) override;
    bool keepCredentials(const QString& base, const QString& userName, const QString& password) override;
    bool endPrevious() override { return true; } // the thread takes the old one down first
    void start(const QString& base, const ProfileCheck& check) override;
    void requestStop() override;
    void whenStopped(QObject* context, std::function<void()> done) override;
    void stopForExit() override;

private:
    void post(std::function<void()> job);

    QThread thread;
    QObject* worker = nullptr; // lives on `thread`
    // Bumped by every start and stop: a job or an activation of an older
    // value is no longer wanted.
    std::shared_ptr<std::atomic<quint64>> generation = std::make_shared<std::atomic<quint64>>(0);
    // Set when the window goes: no run may then wait for NetworkManager.
    std::shared_ptr<std::atomic<bool>> exiting = std::make_shared<std::atomic<bool>>(false);
    bool started = false;
    quint64 stopMarks = 0;
    QString userName;
    QString password;
    // Bounds on nmcli, as for the dialer: an activation, and any other run.
    int activationSeconds = 60;
    int commandMilliseconds = 20000;
};

} // namespace connection::openvpn

#endif
