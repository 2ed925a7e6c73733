#include "connection/launcher.h"

#include "connection/openvpn.h"

#include <QFile>
#include <QProcess>

#ifndef Q_OS_WIN
#include "connection/nmlauncher.h"
#include "platform/linux/networkmanager.h"
#endif

namespace {

using connection::openvpn::Directive;

// The executable as the client's own child process.
class DirectLauncher : public connection::openvpn::Launcher {
public:
    DirectLauncher(QProcess* process, std::function<QString()> executable)
        : Launcher(process)
        , process(process)
        , executable(std::move(executable))
    {
    }

    bool keepCredentials(const QString& base, const QString& userName, const QString& password) override
    {
        namespace openvpn = connection::openvpn;
        return openvpn::writeInputFile(openvpn::credentialsPath(base), openvpn::credentials(userName, password));
    }

    bool endPrevious() override { return connection::openvpn::stopAndWait(process); }

    void start(const QString& base, const QVector<Directive>&) override
    {
        const connection::openvpn::Command command = connection::openvpn::command(base, executable());
        process->setWorkingDirectory(command.workingFolder);
        process->start(command.program, command.arguments, QIODevice::ReadWrite);
    }

    void requestStop() override { connection::openvpn::requestStop(process); }

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

connection::openvpn::Launcher* connection::openvpn::installLauncher(
    QProcess* process, bool executableConfigured, std::function<QString()> executable)
{
#ifndef Q_OS_WIN
    if (!executableConfigured && networkManagerCanStartOpenVpn())
        return new NetworkManagerLauncher(process);
#else
    Q_UNUSED(executableConfigured)
#endif
    return installDirectLauncher(process, std::move(executable));
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
