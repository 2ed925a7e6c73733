#include "options.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstring>

namespace {

bool allDigits(const std::string& text)
{
    return !text.empty() && text.size() <= 5 && text.find_first_not_of("0123456789") == std::string::npos;
}

// The address in its canonical form, or empty when it is not a specific numeric address.
std::string canonicalAddress(const std::string& host, bool bracketed, std::string& error)
{
    char text[INET6_ADDRSTRLEN] = {};
    if (bracketed) {
        in6_addr address {};
        if (inet_pton(AF_INET6, host.c_str(), &address) != 1) {
            error = "\"" + host + "\" is not an IPv6 address";
            return {};
        }
        if (IN6_IS_ADDR_UNSPECIFIED(&address)) {
            error = "the wildcard address :: is refused; give a specific address";
            return {};
        }
        inet_ntop(AF_INET6, &address, text, sizeof text);
        return text;
    }
    in_addr address {};
    if (inet_pton(AF_INET, host.c_str(), &address) != 1) {
        error = "\"" + host + "\" is not a numeric IPv4 address (IPv6 goes in brackets)";
        return {};
    }
    if (address.s_addr == htonl(INADDR_ANY)) {
        error = "the wildcard address 0.0.0.0 is refused; give a specific address";
        return {};
    }
    inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

} // namespace

std::string demo::Endpoint::urlAuthority() const
{
    const std::string address = host.find(':') == std::string::npos ? host : "[" + host + "]";
    return address + ":" + std::to_string(port);
}

std::string demo::parseEndpoint(const std::string& text, bool allowAnyPort, Endpoint& endpoint)
{
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos)
        return "\"" + text + "\" has no port; write ADDRESS:PORT";
    std::string host = text.substr(0, colon);
    const std::string port = text.substr(colon + 1);

    const bool bracketed = host.size() >= 2 && host.front() == '[' && host.back() == ']';
    if (bracketed)
        host = host.substr(1, host.size() - 2);
    if (host.empty())
        return "\"" + text + "\" has no address; give a specific one, such as 127.0.0.1";

    std::string error;
    const std::string address = canonicalAddress(host, bracketed, error);
    if (address.empty())
        return error;

    const int number = allDigits(port) ? std::stoi(port) : -1;
    if (number < (allowAnyPort ? 0 : 1) || number > 65535)
        return "\"" + port + "\" is not a port number";

    endpoint = { address, number };
    return {};
}

std::string demo::parseOptions(const std::vector<std::string>& arguments, Options& options)
{
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& name = arguments[i];
        if (name == "--help" || name == "-h") {
            options.help = true;
            continue;
        }
        if (name == "--offer-update") {
            options.offerUpdate = true;
            continue;
        }
        if (name != "--listen" && name != "--data" && name != "--openvpn-remote" && name != "--openvpn-ca"
            && name != "--openvpn-keys")
            return "unknown option \"" + name + "\"";
        if (i + 1 == arguments.size())
            return name + " needs a value";
        const std::string& value = arguments[++i];

        std::string error;
        if (name == "--listen") {
            error = parseEndpoint(value, true, options.listen);
        } else if (name == "--openvpn-remote") {
            Endpoint remote;
            error = parseEndpoint(value, false, remote);
            options.openvpnRemote = remote;
        } else if (value.empty()) {
            error = "an empty path";
        } else if (name == "--data") {
            options.dataDir = value;
        } else if (name == "--openvpn-keys") {
            options.openvpnKeys = value;
        } else {
            options.openvpnCa = value;
        }
        if (!error.empty())
            return name + ": " + error;
    }
    return {};
}

std::string demo::usage()
{
    return "Usage: velnor-demo [options]\n"
           "Stands in for the Velnor VPN service on this machine: backend, web site pages, IP echo page.\n"
           "\n"
           "  --listen ADDR:PORT          address to serve on (default 127.0.0.1:8707; a specific\n"
           "                              address, never a wildcard; port 0 picks a free one)\n"
           "  --data DIR                  data folder (default: the source tree's demo/data)\n"
           "  --openvpn-remote HOST:PORT  OpenVPN server the profiles point at; the catalogue's\n"
           "                              server and assigned addresses become HOST\n"
           "  --openvpn-ca FILE           certificate served as the OpenVPN CA\n"
           "  --openvpn-keys DIR          client.crt, client.key and tls-crypt.key the OpenVPN\n"
           "                              profiles carry inline\n"
           "  --offer-update              offer a newer version with an installer to download\n"
           "\n"
           "Prints \"listening on http://ADDR:PORT\" on standard output once it serves, then one line\n"
           "per request on standard error. Stops on SIGINT or SIGTERM.\n";
}
