#include "connection/nmlauncher.h"

#ifndef Q_OS_WIN

#include "connection/nmprofile.h"
#include "connection/openvpn.h"
#include "platform/linux/networkmanager.h"

#include <QProcess>
#include <QTimer>
#include <QtDebug>

#include <algorithm>

#include <pwd.h>
#include <unistd.h>

namespace {

namespace nm = platform::networkmanager;
using nm::Outcome;
using nm::Step;

constexpr int exitNotFound = 10;

QStringList nmcli(std::initializer_list<const char*> words, const QStringList& more = {})
{
    QStringList arguments;
    for (const char* word : words)
        arguments << QLatin1String(word);
    return arguments + more;
}

QStringList downArguments()
{
    return nmcli({ "connection", "down", "id" }, { connection::openvpn::NetworkManagerLauncher::profileName() });
}

// The profile belongs to this user alone: changing it then needs only the
// right an active desktop session has (settings.modify.own), not the
// administrator's.
QString ownerPermission()
{
    const passwd* entry = ::getpwuid(::geteuid());
    return entry ? QStringLiteral("user:") + QString::fromLocal8Bit(entry->pw_name) : QString();
}

void warn(const char* what, Step step, const Outcome& outcome)
{
    qWarning("NetworkManager: %s failed (code %lu): %s", what, static_cast<unsigned long>(nm::errorCode(step, outcome)),
        qPrintable(outcome.errorText.trimmed()));
}

struct Activation {
    quint64 generation = 0;
    QStringList data;
    // Other properties of the connection and their values, as nmcli arguments.
    QStringList settings;
    QString userName;
    QString password;
    int activationSeconds = 60;
    int commandMilliseconds = 20000;
};

// Writes the profile afresh and activates it; runs on the launcher's thread.
void activate(Activation activation, const std::shared_ptr<std::atomic<quint64>>& generation,
    const std::shared_ptr<std::atomic<bool>>& exiting)
{
    const auto cancelled = [&] { return generation->load() != activation.generation; };
    const QString name = connection::openvpn::NetworkManagerLauncher::profileName();
    const int command = activation.commandMilliseconds;
    const auto finish = [&] {
        activation.password.fill(QLatin1Char('\0'));
        if (cancelled() && !exiting->load())
            nm::run(downArguments(), command);
    };
    if (cancelled())
        return finish();

    const Outcome removed = nm::run(nmcli({ "connection", "delete", "id" }, { name }), command, cancelled);
    if (removed.exitCode != exitNotFound && nm::errorCode(Step::WriteProfile, removed) != 0) {
        warn("removing the old profile", Step::WriteProfile, removed);
        return finish();
    }
    const QString owner = ownerPermission();
    const Outcome added = nm::run(nmcli({ "connection", "add", "type", "vpn", "con-name" }, { name })
            + nmcli({ "ifname", "*", "vpn-type", "openvpn", "connection.autoconnect", "no", "connection.permissions" },
                QStringList { owner, QStringLiteral("vpn.data"), connection::openvpn::vpnDataArgument(activation.data) }
                    + activation.settings),
        command, cancelled);
    if (nm::errorCode(Step::WriteProfile, added) != 0) {
        warn("writing the profile", Step::WriteProfile, added);
        return finish();
    }
    // The user name through the editor on standard input, as for PPTP.
    QByteArray script = QStringLiteral("set vpn.user-name %1\nsave\nquit\nyes\n").arg(activation.userName).toUtf8();
    const Outcome edited = nm::run(nmcli({ "connection", "edit", "id" }, { name }), command, cancelled, script);
    script.fill('\0');
    if (nm::errorCode(Step::WriteProfile, edited) != 0) {
        warn("setting the user name", Step::WriteProfile, edited);
        return finish();
    }

    auto secrets = std::make_unique<nm::PasswordFile>(activation.password);
    activation.password.fill(QLatin1Char('\0'));
    if (!secrets->isWritten()) {
        qWarning("NetworkManager: the password file could not be written");
        return finish();
    }
    const Outcome up = nm::run(nmcli({ "--wait" }, { QString::number(activation.activationSeconds) })
            + nmcli({ "connection", "up", "id" }, { name, QStringLiteral("passwd-file"), secrets->fileName() }),
        activation.activationSeconds * 1000 + command, cancelled);
    secrets.reset();
    if (cancelled())
        return finish();
    if (nm::errorCode(Step::Dial, up) != 0) {
        warn("activation", Step::Dial, up);
        // NetworkManager may still be trying: the monitor's limit ends the
        // attempt, and nothing of it must stay up.
        nm::run(downArguments(), command);
    }
}

// Runs the launcher's jobs on its thread, one at a time in the order posted,
// and says from there when a mark posted after them is reached. The jobs
// never outlive it, so the notice is safe to send.
class JobQueue : public QObject {
    Q_OBJECT

signals:
    void reached(quint64 mark);
};

} // namespace

QString connection::openvpn::NetworkManagerLauncher::profileName() { return QStringLiteral("Velnor OpenVPN"); }

connection::openvpn::NetworkManagerLauncher::NetworkManagerLauncher(QObject* parent)
    : Launcher(parent)
    , worker(new JobQueue)
{
    worker->moveToThread(&thread);
    thread.start();
}

connection::openvpn::NetworkManagerLauncher::~NetworkManagerLauncher()
{
    ++*generation;
    exiting->store(true);
    thread.quit();
    // A run still going is stopped by the cancelled generation within
    // seconds; past that it is left to the ending process.
    if (thread.wait(10000))
        delete worker;
}

void connection::openvpn::NetworkManagerLauncher::post(std::function<void()> job)
{
    QMetaObject::invokeMethod(worker, std::move(job), Qt::QueuedConnection);
}

connection::openvpn::ProfileCheck connection::openvpn::NetworkManagerLauncher::check(
    const QByteArray& profile, const QString& base)
{
    return checkNetworkManagerProfile(profile, base);
}

bool connection::openvpn::NetworkManagerLauncher::writeInputFiles(const QString& base, const ProfileCheck& check)
{
    // The plug-in reads the inline blocks from files; they go with the attempt.
    const NetworkManagerProfile profile = networkManagerProfile(check.directives, base);
    if (!writeInputFile(configPath(base), writtenProfile(check.directives)))
        return false;
    return std::all_of(profile.files.begin(), profile.files.end(),
        [](const NetworkManagerFile& file) { return writeInputFile(file.path, file.bytes); });
}

bool connection::openvpn::NetworkManagerLauncher::keepCredentials(
    const QString&, const QString& name, const QString& secret)
{
    userName = name;
    password = secret;
    return nm::editorCanCarryName(name);
}

void connection::openvpn::NetworkManagerLauncher::start(const QString& base, const ProfileCheck& check)
{
    Activation activation;
    activation.generation = ++*generation;
    activation.userName = userName;
    activation.password = password;
    activation.activationSeconds = activationSeconds;
    activation.commandMilliseconds = commandMilliseconds;
    password.fill(QLatin1Char('\0'));
    password.clear();
    // The check refused what the plug-in cannot carry before anything was written.
    const NetworkManagerProfile profile = networkManagerProfile(check.directives, base);
    if (!check.accepted || !profile.refused.isEmpty())
        return;
    activation.data = profile.data;
    for (const auto& setting : profile.settings)
        activation.settings << setting.first << setting.second;
    started = true;
    post([activation, generation = generation, exiting = exiting] { activate(activation, generation, exiting); });
}

void connection::openvpn::NetworkManagerLauncher::requestStop()
{
    ++*generation;
    if (!started)
        return;
    const int command = commandMilliseconds;
    // The window's end takes it down by itself, without waiting for this.
    post([command, exiting = exiting] { nm::run(downArguments(), command, [exiting] { return exiting->load(); }); });
}

void connection::openvpn::NetworkManagerLauncher::whenStopped(QObject* context, std::function<void()> done)
{
    if (!started) {
        QTimer::singleShot(0, context, std::move(done));
        return;
    }
    // The stops asked for so far, and an activation they cancel, run before
    // the mark: when it is reached, NetworkManager has taken the tunnel down.
    auto* queue = static_cast<JobQueue*>(worker);
    const quint64 mark = ++stopMarks;
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = connect(queue, &JobQueue::reached, context, [connection, mark, done](quint64 reached) {
        if (reached < mark)
            return;
        QObject::disconnect(*connection);
        done();
    });
    post([queue, mark] { emit queue->reached(mark); });
}

void connection::openvpn::NetworkManagerLauncher::stopForExit()
{
    ++*generation;
    exiting->store(true);
    thread.quit();
    thread.wait(10000);
    // Not waited for: NetworkManager takes the tunnel down whether or not
    // the client is still there.
    if (!started)
        return;
    QProcess down;
    down.setProgram(nm::program());
    down.setArguments(downArguments());
    down.setStandardInputFile(QProcess::nullDevice());
    down.setStandardOutputFile(QProcess::nullDevice());
    down.setStandardErrorFile(QProcess::nullDevice());
    down.startDetached();
}

#include "nmlauncher.moc"

#endif
