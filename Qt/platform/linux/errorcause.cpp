#include "platform/errorcause.h"

#include <QCoreApplication>
#include <QFile>

// The remote-access texts name Windows parts; on Linux the dial goes through
// NetworkManager (platform/linux/networkmanager.cpp maps its failures to
// these codes), so say which Linux part is missing.
QString platform::remoteAccessCause(unsigned long code)
{
    const auto text = [](const char* line) { return QCoreApplication::translate("VelnorMain", line); };
    switch (code) {
    case 633:
        return text("NetworkManager's command-line client (nmcli) is not installed: install the package "
                    "network-manager.");
    case 711:
        return text("NetworkManager is not running: start it (systemctl start NetworkManager).");
    case 609:
        return text("NetworkManager's PPTP or L2TP plug-in is not installed: install network-manager-pptp and "
                    "network-manager-l2tp.");
    case 649:
        return text("This user may not control networking: use the client in a local desktop session, or ask the "
                    "administrator for NetworkManager's network-control right.");
    case 1168:
        return text("NetworkManager has no network connection up to start the VPN from.");
    case 800:
        if (!QFile::exists(QStringLiteral("/dev/ppp")))
            return text("This kernel has no PPP support (/dev/ppp is missing), which PPTP and L2TP need: load the "
                        "ppp_generic module or use a kernel with PPP.");
        return QString();
    default:
        return QString();
    }
}
