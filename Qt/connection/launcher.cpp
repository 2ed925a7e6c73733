#include "connection/launcher.h"

#include "connection/openvpn.h"

#include <QFile>
#include <QProcess>
#include <QTimer>

#include <memory>

#ifndef Q_OS_WIN
#include "connection/nmlauncher.h"
#include "platform/linux/networkmanager.h"
#endif

namespace {

using connection::openvpn::ProfileCheck;

// The executable as the client's own child process.
class DirectLauncher : public connection::openvpn::Launcher {
public:
    DirectLauncher(QProcess* process, std::function<QString()> executable)
        : Launcher(process)
        , process(process)
        , executable(std::move(executable))
    {
    }

    ProfileCheck check(const QByteArray& profile, const QString&) override
    {
        return connection::openvpn::checkProfile(profile, connection::openvpn::Path::Direct);
    }

    bool writeInputFiles(const QString& base, const ProfileCheck& check) override
    {
        namespace openvpn = connection::openvpn;
        return openvpn::writeInputFile(openvpn::configPath(base), openvpn::writtenProfile(check.directives));
    }

    bool keepCredentials(const QString& base, const QString& userName, const QString& password) override
    {
        namespace openvpn = connection::openvpn;
        return openvpn::writeInputFile(openvpn::credentialsPath(base), openvpn::credentials(userName, password));
    }

    bool endPrevious() override { return connection::openvpn::stopAndWait(process); }

    void start(const QString& base, const ProfileCheck&) override
    {
        const connection::openvpn::Command command = connection::openvpn::command(base, executable());
        process->setWorkingDirectory(command.workingFolder);
        process->start(command.program, command.arguments, QIODevice::ReadWrite);
    }

    void requestStop() override { connection::openvpn::requestStop(process); }

    void whenStopped(QObject* context, std::function<void()> done) override
    {
        if (process->state() == QProcess::NotRunning) {
            QTimer::singleShot(0, context, std::move(done));
            return;
        }
        auto connection = std::make_shared<QMetaObject::Connection>();
        *connection = QObject::connect(
            process, &QProcess::stateChanged, context, [connection, done](QProcess::ProcessState state) {
                if (state != QProcess::NotRunning)
                    return;
                QObject::disconnect(*connection);
                done();
            });
    }

    void stopForExit() override { connection::openvpn::stop(process); }

private:
    QProcess* process;
    std::function<QString()> executable;
};

} // namespace

connection::openvpn::Launcher* connection::openvpn::installDirectLauncher(
    QProcess* process, std::function<QString()> executable)
{
    return new DirectLauncher(process, std::move(executable));
}

namespace {

// Asks whether NetworkManager can start OpenVPN only when the first
// connection needs an answer: asking runs nmcli, which the window's start
// should not wait for.
class ChoosingLauncher : public connection::openvpn::Launcher {
public:
    ChoosingLauncher(QProcess* process, bool executableConfigured, std::function<QString()> executable)
        : Launcher(process)
        , process(process)
        , executableConfigured(executableConfigured)
        , executable(std::move(executable))
    {
    }

    ProfileCheck check(const QByteArray& profile, const QString& base) override
    {
        return chosen()->check(profile, base);
    }
    bool writeInputFiles(const QString& base, const ProfileCheck& check) override
    {
        return chosen()->writeInputFiles(base, check);
    }
    bool keepCredentials(const QString& base, const QString& userName, const QString& password) override
    {
        return chosen()->keepCredentials(base, userName, password);
    }
    bool endPrevious() override { return !choice || choice->endPrevious(); }
    void start(const QString& base, const ProfileCheck& check) override { chosen()->start(base, check); }
    void requestStop() override
    {
        if (choice)
            choice->requestStop();
    }
    void whenStopped(QObject* context, std::function<void()> done) override
    {
        if (choice)
            choice->whenStopped(context, std::move(done));
        else
            QTimer::singleShot(0, context, std::move(done));
    }
    void stopForExit() override
    {
        if (choice)
            choice->stopForExit();
    }

private:
    Launcher* chosen()
    {
        if (choice)
            return choice;
#ifndef Q_OS_WIN
        if (!executableConfigured && connection::openvpn::networkManagerCanStartOpenVpn())
            choice = new connection::openvpn::NetworkManagerLauncher(process);
#endif
        if (!choice)
            choice = connection::openvpn::installDirectLauncher(process, std::move(executable));
        // Ours, so that launcher() keeps finding this one.
        choice->setParent(this);
        return choice;
    }

    QProcess* process;
    bool executableConfigured;
    std::function<QString()> executable;
    Launcher* choice = nullptr;
};

} // namespace

connection::openvpn::Launcher* connection::openvpn::installLauncher(
    QProcess* process, bool executableConfigured, std::function<QString()> executable)
{
#ifdef Q_OS_WIN
    Q_UNUSED(executableConfigured)
    return installDirectLauncher(process, std::move(executable));
#else
    return new ChoosingLauncher(process, executableConfigured, std::move(executable));
#endif
}

connection::openvpn::Launcher* connection::openvpn::launcher(QProcess* process)
{
    return process->findChild<Launcher*>(QString(), Qt::FindDirectChildrenOnly);
}

bool connection::openvpn::networkManagerCanStartOpenVpn()
{
#ifdef Q_OS_WIN
    return false;
#else
    const bool plugin = QFile::exists(QStringLiteral("/usr/lib/NetworkManager/VPN/nm-openvpn-service.name"))
        || QFile::exists(QStringLiteral("/etc/NetworkManager/VPN/nm-openvpn-service.name"));
    if (!plugin)
        return false;
    const platform::networkmanager::Outcome status = platform::networkmanager::run(
        { QStringLiteral("-t"), QStringLiteral("-f"), QStringLiteral("RUNNING"), QStringLiteral("general") }, 2000);
    return status.started && !status.timedOut && !status.crashed && status.exitCode == 0;
#endif
}
