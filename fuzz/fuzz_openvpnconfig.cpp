// A downloaded OpenVPN profile: the reader and the option table that decide
// what reaches OpenVPN and NetworkManager, checked against plainer statements
// of the same rules.
#include "fuzzinput.h"

#include "connection/nmprofile.h"
#include "connection/openvpnprofile.h"

#include <QSet>

namespace openvpn = connection::openvpn;

namespace {
// What may never go on, stated again on its own: it loads code, names a file,
// runs a script, opens a socket, changes identity or where OpenVPN writes.
bool dangerous(const openvpn::Directive& d)
{
    static const QStringList list = QStringLiteral(
        "plugin providers engine pkcs11-providers pkcs11-id management management-client management-hold "
        "management-query-passwords management-external-key management-external-cert daemon log log-append status "
        "writepid config cd chroot user group up down down-pre route-up route-pre-down ipchange tls-verify "
        "learn-address client-connect client-disconnect auth-user-pass-verify script-security setenv setenv-safe "
        "tmp-dir replay-persist dev-node capath askpass iproute setcon mode server tls-server port-share "
        "tls-export-cert ifconfig-pool-persist memstats genkey")
                                        .split(QLatin1Char(' '));
    static const QSet<QString> names(list.begin(), list.end());
    static const QSet<QString> files = { "cert", "key", "extra-certs", "pkcs12", "tls-auth", "tls-crypt",
        "tls-crypt-v2", "crl-verify", "http-proxy-user-pass" };
    if (names.contains(d.name))
        return true;
    if (files.contains(d.name) && !d.isInline)
        return true;
    return d.name == QLatin1String("auth-user-pass") && (d.isInline || !d.arguments.isEmpty());
}

bool same(const openvpn::Directive& a, const openvpn::Directive& b)
{
    return a.name == b.name && a.arguments == b.arguments && a.inlineBody == b.inlineBody && a.isInline == b.isInline
        && a.connection == b.connection;
}

// The vpn.data argument split again as nmcli splits it.
QStringList nmcliItems(const QString& argument)
{
    QStringList items;
    QString item;
    for (int i = 0; i < argument.size(); ++i) {
        if (argument.at(i) == QLatin1Char('\\') && i + 1 < argument.size()) {
            item += argument.at(++i);
        } else if (argument.at(i) == QLatin1Char(',')) {
            items << item;
            item.clear();
            if (i + 1 < argument.size() && argument.at(i + 1) == QLatin1Char(' '))
                ++i;
        } else {
            item += argument.at(i);
        }
    }
    return items << item;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const fuzz::MemoryWatch memory(size);
    const QByteArray profile = fuzz::body(data, size);
    const openvpn::ProfileCheck check = openvpn::checkProfile(profile);
    FUZZ_CHECK(check.accepted == check.refused.isEmpty());
    FUZZ_CHECK(check.accepted || check.directives.isEmpty());
    for (const openvpn::Directive& d : check.directives)
        FUZZ_CHECK(!dangerous(d));
    // Written out and read again, an accepted profile says the same, all of it carried.
    if (check.accepted) {
        const openvpn::ProfileCheck reread = openvpn::checkProfile(openvpn::writtenProfile(check.directives));
        FUZZ_CHECK(reread.accepted && reread.directives.size() == check.directives.size());
        FUZZ_CHECK(reread.dropped().isEmpty());
        for (int i = 0; i < reread.directives.size(); ++i)
            FUZZ_CHECK(same(reread.directives[i], check.directives[i]));
    }

    const openvpn::ProfileCheck plugin = openvpn::checkNetworkManagerProfile(profile, QStringLiteral("/base"));
    FUZZ_CHECK(plugin.accepted == plugin.refused.isEmpty());
    // What the plug-in may take is no more than what OpenVPN may.
    FUZZ_CHECK(!plugin.accepted || check.accepted);
    if (plugin.accepted) {
        for (const openvpn::Directive& d : plugin.directives)
            FUZZ_CHECK(!dangerous(d));
        const openvpn::NetworkManagerProfile result = openvpn::networkManagerProfile(plugin.directives, "/base");
        FUZZ_CHECK(result.refused.isEmpty());
        // nmcli reads back exactly the items, whatever their values hold.
        FUZZ_CHECK(nmcliItems(openvpn::vpnDataArgument(result.data)) == result.data);
        for (const QString& item : result.data)
            FUZZ_CHECK(item.indexOf(QLatin1Char('=')) > 0 && item.trimmed() == item);
        for (const openvpn::NetworkManagerFile& file : result.files)
            FUZZ_CHECK(file.path.startsWith(QLatin1String("/base/include/")));
    }
    return 0;
}
