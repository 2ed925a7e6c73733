#include "app/datafolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

QString app::dataFolder()
{
#ifdef Q_OS_WIN
    return QCoreApplication::applicationDirPath();
#else
    const QString configured = qEnvironmentVariable("VELNOR_DATA_DIR");
    if (!configured.isEmpty())
        return configured;
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty() || QDir::isRelativePath(dataHome))
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    return dataHome + QStringLiteral("/velnor-vpn");
#endif
}

bool app::useDataFolder()
{
    const QString folder = dataFolder();
#ifndef Q_OS_WIN
    if (!QDir().mkpath(folder)
        || !QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner))
        return false;
#endif
    return QDir::setCurrent(folder);
}

void app::removeLeftoverInputFiles()
{
    // The credentials and keys above all. Only OpenVPN's log is kept.
    const QDir include(QStringLiteral("include"));
    for (const QString& name : include.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (name != QLatin1String("openvpn.log"))
            QFile::remove(include.filePath(name));
    }
}
