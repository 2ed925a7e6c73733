#include "app/identity.h"

#include "buildconfig.h"

#include <QCoreApplication>

QString app::webDomain() { return QStringLiteral(VELNOR_DEFAULT_WEB_DOMAIN); }

QString app::version() { return QStringLiteral(VELNOR_VERSION); }

QString app::desktopFileName() { return QStringLiteral(VELNOR_DESKTOP_FILE_NAME); }

QString app::installedBinDir() { return QStringLiteral(VELNOR_INSTALL_BINDIR); }

void app::setIdentity()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Velnor"));
    QCoreApplication::setOrganizationDomain(webDomain());
    QCoreApplication::setApplicationName(QStringLiteral("Velnor VPN"));
}
