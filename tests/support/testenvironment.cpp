#include "testenvironment.h"

#include "app/identity.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>

TestEnvironment::TestEnvironment()
    : previousFolder(QDir::currentPath())
{
    QDir(root.path()).mkpath(QStringLiteral("config"));
    QDir(root.path()).mkpath(QStringLiteral("work"));
    qputenv("XDG_CONFIG_HOME", configFolder().toUtf8());
    // The executable as before, never the machine's own NetworkManager,
    // unless a suite unsets this after making its environment.
    if (qEnvironmentVariableIsEmpty("VELNOR_OPENVPN"))
        qputenv("VELNOR_OPENVPN", "openvpn");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, configFolder());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, configFolder());
    QDir::setCurrent(workFolder());
    setApplicationIdentity();
}

TestEnvironment::~TestEnvironment()
{
    QDir::setCurrent(previousFolder);
}

QString TestEnvironment::configFolder() const
{
    return root.filePath(QStringLiteral("config"));
}

QString TestEnvironment::workFolder() const
{
    return root.filePath(QStringLiteral("work"));
}

QString TestEnvironment::settingsFile() const
{
    return configFolder() + QStringLiteral("/Velnor/Velnor VPN.conf");
}

void TestEnvironment::setApplicationIdentity()
{
    app::setIdentity();
}
