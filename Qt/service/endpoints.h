#pragma once

#include <QString>

// The configured addresses of the service. Build-time defaults; the
// environment variables VELNOR_API_BASE, VELNOR_SITE_BASE, VELNOR_IP_ECHO_URL,
// VELNOR_STORE_URL and VELNOR_OPENVPN override them at run time.
namespace service::endpoints {
QString apiBase();
QString siteBase();
QString ipEchoUrl();
QString storeUrl();
QString openvpnExecutable();
// Whether VELNOR_OPENVPN names the executable: then the client starts it
// itself, never through NetworkManager.
bool openvpnExecutableConfigured();
} // namespace service::endpoints
