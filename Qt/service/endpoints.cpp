#include "service/endpoints.h"

#include "buildconfig.h"

#include <QtGlobal>

namespace {
QString configured(const char* variable, const char* fallback)
{
    const QString value = qEnvironmentVariable(variable);
    return value.isEmpty() ? QString::fromUtf8(fallback) : value;
}
}

QString endpoints::apiBase()
{
    return configured("VELNOR_API_BASE", VELNOR_DEFAULT_API_BASE);
}

QString endpoints::siteBase()
{
    return configured("VELNOR_SITE_BASE", VELNOR_DEFAULT_SITE_BASE);
}

QString endpoints::ipEchoUrl()
{
    return configured("VELNOR_IP_ECHO_URL", VELNOR_DEFAULT_IP_ECHO_URL);
}

QString endpoints::storeUrl()
{
    return configured("VELNOR_STORE_URL", VELNOR_DEFAULT_STORE_URL);
}

QString endpoints::webDomain()
{
    // Also the organisation domain, so it must not vary between runs.
    return QStringLiteral(VELNOR_DEFAULT_WEB_DOMAIN);
}

QString endpoints::openvpnExecutable()
{
    return configured("VELNOR_OPENVPN", VELNOR_DEFAULT_OPENVPN);
}
