// A downloaded OpenVPN profile: the reader that decides what reaches
// OpenVPN, checked against a plainer statement of the same rule.
#include "fuzzinput.h"

#include "connection/openvpnprofile.h"

namespace openvpn = connection::openvpn;

namespace {
// The rule, stated again on its own: a name from this list, a file only
// inline, auth-user-pass only bare.
bool allowed(const openvpn::Directive& d)
{
    static const QStringList files = { "ca", "cert", "key", "extra-certs", "pkcs12", "tls-auth", "tls-crypt",
        "tls-crypt-v2", "crl-verify", "peer-fingerprint" };
    static const QStringList plain = QStringLiteral(
        "client tls-client pull dev dev-type proto topology remote remote-random remote-random-hostname port rport "
        "lport nobind float resolv-retry persist-remote-ip persist-local-ip persist-key persist-tun connect-retry "
        "connect-retry-max connect-timeout server-poll-timeout explicit-exit-notify keepalive ping ping-restart "
        "ping-exit ping-timer-rem inactive hand-window tran-window reneg-sec reneg-bytes reneg-pkts tls-timeout "
        "tun-mtu tun-mtu-extra link-mtu mssfix fragment mtu-disc sndbuf rcvbuf txqueuelen cipher data-ciphers "
        "data-ciphers-fallback ncp-ciphers auth tls-cipher tls-ciphersuites tls-groups tls-version-min "
        "tls-version-max tls-cert-profile key-direction remote-cert-tls remote-cert-ku remote-cert-eku "
        "verify-x509-name auth-nocache auth-retry route route-ipv6 route-gateway route-metric route-delay "
        "route-nopull redirect-gateway redirect-private block-ipv6 dhcp-option block-outside-dns pull-filter "
        "comp-lzo compress allow-compression verb mute mute-replay-warnings")
                                         .split(QLatin1Char(' '));
    if (d.isInline)
        return files.contains(d.name) || (d.name == QLatin1String("connection") && d.connection == 0);
    if (d.name == QLatin1String("auth-user-pass"))
        return d.arguments.isEmpty();
    return plain.contains(d.name);
}

// The directives written out again, every argument in double quotes.
QByteArray written(const QVector<openvpn::Directive>& directives)
{
    QByteArray text;
    for (const openvpn::Directive& d : directives) {
        if (d.connection != 0)
            continue; // inside the body of its <connection>
        if (d.isInline) {
            text += '<' + d.name.toUtf8() + ">\n" + d.inlineBody + "</" + d.name.toUtf8() + ">\n";
            continue;
        }
        QByteArray line = d.name.toUtf8();
        for (const QString& argument : d.arguments)
            line += " \"" + argument.toUtf8().replace('\\', "\\\\").replace('"', "\\\"") + '"';
        if (line.size() > 254)
            return QByteArray();
        text += line + '\n';
    }
    return text;
}

bool same(const openvpn::Directive& a, const openvpn::Directive& b)
{
    return a.name == b.name && a.arguments == b.arguments && a.inlineBody == b.inlineBody && a.isInline == b.isInline
        && a.connection == b.connection;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const fuzz::MemoryWatch memory(size);
    const openvpn::ProfileCheck check = openvpn::checkProfile(fuzz::body(data, size));
    FUZZ_CHECK(check.accepted == check.refused.isEmpty());
    FUZZ_CHECK(check.accepted || check.directives.isEmpty());
    for (const openvpn::Directive& d : check.directives)
        FUZZ_CHECK(allowed(d));
    // Read again from a plain writing, an accepted profile says the same.
    const QByteArray again = written(check.directives);
    if (check.accepted && !again.isEmpty()) {
        const openvpn::ProfileCheck reread = openvpn::checkProfile(again);
        FUZZ_CHECK(reread.accepted && reread.directives.size() == check.directives.size());
        for (int i = 0; i < reread.directives.size(); ++i)
            FUZZ_CHECK(same(reread.directives[i], check.directives[i]));
    }
    return 0;
}
