#pragma once

#include "connection/openvpnprofile.h"

#include <QByteArray>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

// The NetworkManager OpenVPN profile made from a profile the option table
// passed for NetworkManager: the items of its vpn.data, the connection's own
// IP settings, and the inline blocks the plug-in wants as files. Built here
// rather than by nmcli's importer, so that NetworkManager gets exactly what
// the table carries, and a value the plug-in would read otherwise refuses the
// profile instead of vanishing.
namespace connection::openvpn {

struct NetworkManagerFile {
    QString path;
    QByteArray bytes;
};

struct NetworkManagerProfile {
    // "line N: NAME: reason" for the first value the plug-in cannot carry as
    // OpenVPN would read it; empty when the profile is whole.
    QString refused;
    // Values left out beyond what the table drops (Windows-only name service settings).
    QVector<Decision> dropped;
    // vpn.data items, "key=value" with the value as the plug-in reads it.
    QStringList data;
    // Other properties of the connection ("ipv4.routes" and the like) and their values.
    QVector<QPair<QString, QString>> settings;
    // Inline blocks to write owner-only before the connection is added.
    QVector<NetworkManagerFile> files;
};

// `directives` as checked for NetworkManager; the files go to the input
// folder under `base`, whose downloaded certificate is the CA, as on the
// executable's command line. The password is never stored: it comes with
// each activation.
NetworkManagerProfile networkManagerProfile(const QVector<Directive>& directives, const QString& base);

// The profile checked for NetworkManager: the table's verdicts, then the
// values the plug-in would read otherwise, which refuse it.
ProfileCheck checkNetworkManagerProfile(const QByteArray& profile, const QString& base);

// The items as one vpn.data value for nmcli, each value escaped the way
// nmcli splits the list.
QString vpnDataArgument(const QStringList& data);

} // namespace connection::openvpn
