#include "connection/checkprofile.h"

#include "connection/nmprofile.h"
#include "connection/openvpnprofile.h"

#include <QDir>
#include <QFile>
#include <QTextStream>

namespace openvpn = connection::openvpn;

namespace {

// Prints one way's verdict; true when it accepts the profile.
bool report(QTextStream& out, const char* way, const openvpn::ProfileCheck& check)
{
    if (!check.accepted) {
        out << way << ": refused: " << check.refused << '\n';
        return false;
    }
    const QVector<openvpn::Decision> dropped = check.dropped();
    out << way << ": accepted";
    if (!dropped.isEmpty())
        out << ", " << dropped.size() << (dropped.size() == 1 ? " line dropped" : " lines dropped");
    out << '\n';
    for (const openvpn::Decision& decision : dropped)
        out << way << ": dropped " << openvpn::describe(decision) << '\n';
    return true;
}

} // namespace

int openvpn::checkProfileFiles(const QStringList& files, QTextStream& out)
{
    if (files.isEmpty()) {
        out << "--check-profile needs at least one profile file\n";
        return 2;
    }
    int exitCode = 0;
    for (const QString& name : files) {
        QFile file(name);
        out << name << '\n';
        if (!file.open(QIODevice::ReadOnly)) {
            out << name << ": cannot be read: " << file.errorString() << '\n';
            exitCode = 2;
            continue;
        }
        const QByteArray profile = file.readAll();
        // The paths NetworkManager would be given do not matter here.
        const bool direct = report(out, "direct", checkProfile(profile, Path::Direct));
        const bool networkManager
            = report(out, "networkmanager", checkNetworkManagerProfile(profile, QDir::currentPath()));
        if ((!direct || !networkManager) && exitCode == 0)
            exitCode = 1;
    }
    out.flush();
    return exitCode;
}
