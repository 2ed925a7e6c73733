#include "service/endpoints.h"

#include "buildconfig.h"

#include <QtGlobal>

namespace {
QString configured(const char* variable, const char* fallback)
{
    const QString value = qEnvironmentVariable(variable);
    return value.isEmpty() ? QString::fromUtf8(fallback) : value;
}
} // namespace

QString service::endpoints::apiBase() { return configured("VELNOR_API_BASE", VELNOR_DEFAULT_API_BASE); }

QString service::endpoints::siteBase() { return configured("VELNOR_SITE_BASE", VELNOR_DEFAULT_SITE_BASE); }

QString service::endpoints::ipEchoUrl() { return configured("VELNOR_IP_ECHO_URL", VELNOR_DEFAULT_IP_ECHO_URL); }

QString service::endpoints::storeUrl() { return configured("VELNOR_STORE_URL", VELNOR_DEFAULT_STORE_URL); }

QString service::endpoints::openvpnExecutable() { return configured("VELNOR_OPENVPN", VELNOR_DEFAULT_OPENVPN); }

bool service::endpoints::openvpnExecutableConfigured() { return !qEnvironmentVariableIsEmpty("VELNOR_OPENVPN"); }
