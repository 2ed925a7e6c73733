#pragma once

#include <optional>
#include <string>
#include <vector>

namespace demo {

// A numeric address and a port.
struct Endpoint {
    std::string host;
    int port = 0;

    // host:port as it goes into a URL or an OpenVPN remote ("[::1]:8707" for IPv6).
    std::string urlAuthority() const;
};

struct Options {
    Endpoint listen { "127.0.0.1", 8707 };
    std::string dataDir;
    std::optional<Endpoint> openvpnRemote;
    std::string openvpnCa; // empty: the bundled placeholder
    std::string openvpnKeys; // folder of the client's keys; empty: the bundled placeholders
    bool offerUpdate = false;
    bool help = false;
};

// Reads "ADDR:PORT" ("[ADDR]:PORT" for IPv6). The address must be numeric and
// specific: a wildcard would expose the demo on every interface. Port 0 only
// when allowed (the system then picks one). Returns an error text, empty when
// the endpoint is good.
std::string parseEndpoint(const std::string& text, bool allowAnyPort, Endpoint& endpoint);

// The command line without the program name. Returns an error text, empty on success.
std::string parseOptions(const std::vector<std::string>& arguments, Options& options);

std::string usage();

} // namespace demo
