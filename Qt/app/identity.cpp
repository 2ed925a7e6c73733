#include "app/identity.h"

#include "buildconfig.h"

#include <QCoreApplication>

QString app::webDomain() { return QStringLiteral(VELNOR_DEFAULT_WEB_DOMAIN); }

void app::setIdentity()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Velnor"));
    QCoreApplication::setOrganizationDomain(webDomain());
    QCoreApplication::setApplicationName(QStringLiteral("Velnor VPN"));
}
