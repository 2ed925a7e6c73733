#pragma once

#include <QString>
#include <QStringList>

class QTextStream;

// velnor-vpn --check-profile FILE...: what each way of starting OpenVPN
// would make of downloaded profiles, without a window or a service.
namespace connection::openvpn {

// For each file, a line with its name and then, for each way of starting
// OpenVPN, lines beginning "direct:" or "networkmanager:" that say whether
// it is accepted, what is dropped and what refuses it. Returns the exit
// code: 0 when every file is accepted both ways, 1 when one is refused, 2
// when one cannot be read (or none is named).
int checkProfileFiles(const QStringList& files, QTextStream& out);

} // namespace connection::openvpn
