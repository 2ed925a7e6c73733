#pragma once

#include "accounts.h"
#include "data.h"
#include "options.h"

#include <string>

namespace httplib {
class Server;
}

namespace demo {

// Everything the request handlers share.
struct Service {
    Service(Data data, Options options, const Endpoint& served);

    Data data;
    Options options;
    std::string base; // "http://ADDR:PORT", where the client finds the downloads
    int openvpnPort = 1194;
    AccountBook accounts;
};

// Every path the service answers, the request log and the answers to bad requests.
void addRoutes(httplib::Server& server, Service& service);

} // namespace demo
