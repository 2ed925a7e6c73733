#include "connection/openvpn.h"

#include "platform/privatefolder.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTimer>
#include <QVariant>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
QString includeFolder(const QString& base) { return base + QStringLiteral("/include"); }

quint64 attemptNumber = 0;

// The inline blocks NetworkManager's plug-in takes as files, and their names.
const QList<QPair<QString, QString>>& inlineFiles()
{
    static const QList<QPair<QString, QString>> files = {
        { QStringLiteral("cert"), QStringLiteral("client.crt") },
        { QStringLiteral("key"), QStringLiteral("client.key") },
        { QStringLiteral("pkcs12"), QStringLiteral("client.p12") },
        { QStringLiteral("extra-certs"), QStringLiteral("extra-certs.crt") },
        { QStringLiteral("tls-auth"), QStringLiteral("tls-auth.key") },
        { QStringLiteral("tls-crypt"), QStringLiteral("tls-crypt.key") },
        { QStringLiteral("tls-crypt-v2"), QStringLiteral("tls-crypt-v2.key") },
        { QStringLiteral("crl-verify"), QStringLiteral("crl.pem") },
    };
    return files;
}

const char attemptProperty[] = "velnorAttempt";
} // namespace

QString connection::openvpn::certificatePath(const QString& base)
{
    return includeFolder(base) + QStringLiteral("/certificate.crt");
}

QString connection::openvpn::configPath(const QString& base)
{
    return includeFolder(base) + QStringLiteral("/config.ovpn");
}

QString connection::openvpn::credentialsPath(const QString& base)
{
    return includeFolder(base) + QStringLiteral("/auth.conf");
}

QString connection::openvpn::logPath(const QString& base)
{
    return includeFolder(base) + QStringLiteral("/openvpn.log");
}

QString connection::openvpn::inlineFilePath(const QString& base, const QString& option)
{
    for (const auto& file : inlineFiles()) {
        if (file.first == option)
            return includeFolder(base) + QLatin1Char('/') + file.second;
    }
    return QString();
}

connection::openvpn::Command connection::openvpn::command(const QString& base, const QString& configured)
{
    Command result;
    result.workingFolder = base + QStringLiteral("/openvpn/");
#ifdef Q_OS_WIN
    Q_UNUSED(configured)
    result.program = base + QStringLiteral("/openvpn/openvpn.exe");
    const QString include = QStringLiteral("../include");
#else
    QStringList words = QProcess::splitCommand(configured);
    if (words.isEmpty())
        return result;
    result.program = words.takeFirst();
    result.arguments = words;
    const QString include = includeFolder(base);
#endif
    // The downloaded configuration comes over plain HTTP: it may run no
    // script, whatever it says.
    result.arguments << QStringLiteral("--config") << include + QStringLiteral("/config.ovpn")
                     << QStringLiteral("--script-security") << QStringLiteral("1") << QStringLiteral("--ca")
                     << include + QStringLiteral("/certificate.crt") << QStringLiteral("--auth-user-pass")
                     << include + QStringLiteral("/auth.conf") << QStringLiteral("--log")
                     << include + QStringLiteral("/openvpn.log");
    return result;
}

bool connection::openvpn::prepareFolders(const QString& base)
{
    QDir dir(base);
    if (!dir.mkpath(QStringLiteral("include")) || !dir.mkpath(QStringLiteral("openvpn")))
        return false;
    return platform::makePrivate(includeFolder(base));
}

bool connection::openvpn::writeInputFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
#ifdef Q_OS_WIN
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
#else
    // Created 0600, so the credentials are never readable by others, not
    // even for a moment; an older file is tightened before it is truncated.
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return false;
    if (::fchmod(fd, 0600) != 0 || ::ftruncate(fd, 0) != 0
        || !file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
#endif
    const bool written = file.write(bytes) == bytes.size();
    return file.flush() && written;
}

QByteArray connection::openvpn::credentials(const QString& userName, const QString& password)
{
    return userName.toUtf8() + '\n' + password.toUtf8();
}

void connection::openvpn::removeInputFiles(const QString& base)
{
    QFile::remove(credentialsPath(base));
    QFile::remove(certificatePath(base));
    QFile::remove(configPath(base));
    for (const auto& file : inlineFiles())
        QFile::remove(includeFolder(base) + QLatin1Char('/') + file.second);
}

bool connection::openvpn::writeRefusal(const QString& base, const QString& why)
{
    return prepareFolders(base)
        && writeInputFile(logPath(base),
            QStringLiteral("The client refused this OpenVPN profile, so OpenVPN was not started.\n%1\n")
                .arg(why)
                .toUtf8());
}

void connection::openvpn::requestStop(QProcess* process, int graceMs)
{
    if (process->state() == QProcess::NotRunning)
        return;
    process->terminate();
    // The process object is reused: a later start must not be the one killed.
    const qint64 stopped = process->processId();
    QTimer::singleShot(graceMs, process, [process, stopped] {
        if (process->state() != QProcess::NotRunning && process->processId() == stopped)
            process->kill();
    });
}

bool connection::openvpn::stopAndWait(QProcess* process, int graceMs)
{
    if (process->state() == QProcess::NotRunning)
        return true;
    requestStop(process, graceMs);
    QEventLoop loop;
    QObject::connect(process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), &loop, &QEventLoop::quit);
    QTimer::singleShot(2 * graceMs, &loop, &QEventLoop::quit);
    if (process->state() != QProcess::NotRunning)
        loop.exec();
    return process->state() == QProcess::NotRunning;
}

bool connection::openvpn::stop(QProcess* process, int graceMs)
{
    if (process->state() == QProcess::NotRunning)
        return true;
    process->terminate();
    if (process->waitForFinished(graceMs))
        return true;
    process->kill();
    return process->waitForFinished(graceMs) || process->state() == QProcess::NotRunning;
}

quint64 connection::openvpn::currentAttempt() { return attemptNumber; }

quint64 connection::openvpn::beginAttempt() { return ++attemptNumber; }

void connection::openvpn::tagWithAttempt(QObject* reply) { reply->setProperty(attemptProperty, attemptNumber); }

bool connection::openvpn::belongsToCurrentAttempt(const QObject* reply)
{
    return reply->property(attemptProperty).toULongLong() == attemptNumber;
}
