#pragma once

#include "connection/openvpnprofile.h"

#include <QString>
#include <QStringList>
#include <QVector>

// The NetworkManager OpenVPN profile made from a checked download: the items
// of its vpn.data, built here rather than by nmcli's importer, so that
// NetworkManager gets exactly the directives the allow-list passed and a
// directive it cannot carry refuses the profile instead of vanishing.
namespace connection::openvpn {

struct NetworkManagerProfile {
    // The first directive that cannot be carried, or that carries a value
    // the plug-in would read differently; empty when the profile is whole.
    QString refused;
    // "key=value" items, in a fixed order.
    QStringList data;
};

// `caPath` is the downloaded certificate, which wins over any "ca" in the
// profile, as it does on the executable's command line. The password is
// never stored: it comes with each activation.
NetworkManagerProfile networkManagerProfile(const QVector<Directive>& directives, const QString& caPath);

} // namespace connection::openvpn
