#include "service.h"

#include "documents.h"
#include "rules.h"

#include <httplib.h>

#include <algorithm>
#include <cstdio>
#include <initializer_list>

namespace {

using httplib::Request;
using httplib::Response;

// Longer requests are refused before any handler sees them.
constexpr std::size_t maxTargetLength = 2048;

const char* const xmlType = "text/xml; charset=utf-8";
const char* const textType = "text/plain; charset=utf-8";
const char* const htmlType = "text/html; charset=utf-8";

void refuse(Response& response, int status, const std::string& message)
{
    response.status = status;
    response.set_content(message + "\n", textType);
}

// True when every named parameter is present; otherwise answers 400.
bool hasParameters(const Request& request, Response& response, std::initializer_list<const char*> names)
{
    for (const char* name : names) {
        if (!request.has_param(name)) {
            refuse(response, 400, std::string("Bad request: the parameter \"") + name + "\" is missing.");
            return false;
        }
    }
    return true;
}

// The user name and a well-formed credential digest, or a 400.
bool hasCredentials(const Request& request, Response& response)
{
    if (!hasParameters(request, response, { "username", "key" }))
        return false;
    if (!demo::isDigest(request.get_param_value("key"))) {
        refuse(response, 400, "Bad request: the key must be 32 hexadecimal digits.");
        return false;
    }
    return true;
}

// The path as it goes into the log: printable ASCII, shortened. The query,
// which carries credential digests, is never logged.
std::string loggedPath(const std::string& path)
{
    std::string shown = path.substr(0, 200);
    for (char& c : shown) {
        if (c < 0x21 || c > 0x7e)
            c = '?';
    }
    return shown.empty() ? "-" : shown;
}

void page(
    Response& response, const demo::Service& service, int status, const std::string& title, const std::string& content)
{
    response.status = status;
    response.set_content(demo::sitePage(service.data, title, content), htmlType);
}

void paragraph(
    Response& response, const demo::Service& service, int status, const std::string& title, const std::string& text)
{
    page(response, service, status, title, "<p>" + demo::xmlEscaped(text) + "</p>\n");
}

void addApi(httplib::Server& server, demo::Service& service)
{
    server.Get("/api/AppServersV2", [&service](const Request& request, Response& response) {
        if (!hasCredentials(request, response))
            return;
        const bool accepted
            = service.accounts.signIn(request.get_param_value("username"), request.get_param_value("key")).has_value();
        const std::string profile = "UDP " + std::to_string(service.openvpnPort);
        response.set_content(accepted ? demo::catalogueDocument(service.data.servers, service.base, profile)
                                      : demo::refusedCatalogueDocument(),
            xmlType);
    });

    server.Get("/api/AppUserInfoV3", [&service](const Request& request, Response& response) {
        if (!hasCredentials(request, response))
            return;
        const auto account
            = service.accounts.signIn(request.get_param_value("username"), request.get_param_value("key"));
        response.set_content(account
                ? demo::accountDocument(*account, service.data, demo::quickConnectList(service.data, service.base))
                : demo::refusedAccountDocument(),
            xmlType);
    });

    server.Get("/api/AppNewAccount", [&service](const Request& request, Response& response) {
        if (!hasParameters(request, response, { "firstname", "lastname", "email" }))
            return;
        const demo::AccountBook::Creation creation = service.accounts.create(request.get_param_value("firstname"),
            request.get_param_value("lastname"), request.get_param_value("email"));
        response.set_content((creation.created ? "true|" : "false|") + creation.text, textType);
    });

    server.Get(R"(/api/AppVer2/([^/]+))", [&service](const Request&, Response& response) {
        const demo::Data& data = service.data;
        const std::string version = service.options.offerUpdate ? data.newerVersion : data.currentVersion;
        response.set_content(
            demo::updateDocument(version, service.base + "/download/" + data.installerName, data.updateNotes), xmlType);
    });
}

void addDownloads(httplib::Server& server, demo::Service& service)
{
    server.Get("/openvpn/ca.crt", [&service](const Request&, Response& response) {
        std::string certificate = service.data.certificate;
        if (!service.options.openvpnCa.empty()) {
            // Read at every download, so a certificate made after start is served.
            std::string error;
            certificate = demo::readFile(service.options.openvpnCa, error);
            if (!error.empty())
                return refuse(response, 503, "The OpenVPN CA file cannot be read.");
        }
        response.set_content(certificate, "application/x-x509-ca-cert");
    });

    server.Get(R"(/openvpn/(\d+)\.ovpn)", [&service](const Request& request, Response& response) {
        for (const demo::Server& vpnServer : service.data.servers) {
            if (vpnServer.id == request.matches[1].str()) {
                const std::string remote = vpnServer.address + " " + std::to_string(service.openvpnPort);
                std::map<std::string, std::string> keys = service.data.openvpnKeys;
                if (!service.options.openvpnKeys.empty()) {
                    // Read at every download, like the CA.
                    std::string error;
                    keys = demo::readOpenvpnKeys(service.options.openvpnKeys, error);
                    if (!error.empty())
                        return refuse(response, 503, "The OpenVPN client keys cannot be read.");
                }
                return response.set_content(
                    demo::openvpnConfig(service.data.openvpnConfig, remote, keys), "application/x-openvpn-profile");
            }
        }
        refuse(response, 404, "Not found: no server has this id.");
    });

    server.Get(R"(/download/([^/]+))", [&service](const Request& request, Response& response) {
        if (request.matches[1].str() != service.data.installerName)
            return refuse(response, 404, "Not found: no such download.");
        response.set_content(service.data.installer, "application/octet-stream");
    });

    server.Get("/ip", [](const Request& request, Response& response) {
        // Whom it answered: through a tunnel or not, for a test to read.
        std::fprintf(stderr, "IP echo for %s\n", request.remote_addr.c_str());
        response.set_content(demo::ipEchoPage(request.remote_addr), htmlType);
    });
}

void addSite(httplib::Server& server, demo::Service& service)
{
    const auto fixedPage
        = [&server, &service](const std::string& path, const std::string& name, const std::string& title) {
              server.Get(path, [&service, name, title](const Request&, Response& response) {
                  page(response, service, 200, title, service.data.pages.at(name));
              });
          };
    fixedPage("/", "index", "Velnor VPN demo service");
    fixedPage("/site", "index", "Velnor VPN demo service");
    fixedPage("/site/forgotpassword", "forgotpassword", "Password lost?");
    fixedPage("/site/login/facebook", "trial", "Trial");
    fixedPage("/site/download", "download", "Download Velnor VPN");
    fixedPage("/store", "store", "Velnor VPN for Android");

    // Opened in the browser by the client's checkout; paying activates the
    // account, which the client sees at its next account refresh.
    server.Get("/site/api/payment", [&service](const Request& request, Response& response) {
        const std::string title = "Payment";
        if (!request.has_param("email") || !request.has_param("processor") || !request.has_param("plan"))
            return paragraph(response, service, 400, title, "The payment link lacks the e-mail, method or plan.");
        const demo::Data& data = service.data;
        const std::string processorId = request.get_param_value("processor");
        const std::string planId = request.get_param_value("plan");
        const auto plan = std::find_if(
            data.plans.begin(), data.plans.end(), [&](const demo::Plan& entry) { return entry.id == planId; });
        const bool knownProcessor = std::any_of(data.processors.begin(), data.processors.end(),
            [&](const demo::Processor& entry) { return entry.id == processorId; });
        if (plan == data.plans.end() || !knownProcessor)
            return paragraph(response, service, 400, title, "Please choose a payment method and a plan in the app.");
        const auto account = service.accounts.pay(request.get_param_value("email"), *plan);
        if (!account)
            return paragraph(response, service, 404, title, "No account uses this e-mail address.");
        paragraph(response, service, 200, "Payment received",
            "Thank you, " + account->name + ". Your plan \"" + account->plan + "\" is active until "
                + demo::expiryDate(account->daysLeft) + ". The app picks it up on its own; you can close this page.");
    });

    // Where the mails of the demo would have gone.
    server.Get("/site/mailbox", [&service](const Request& request, Response& response) {
        const std::string title = "Demo mailbox";
        const std::string form = "<form action=\"/site/mailbox\"><input name=\"email\" placeholder=\"email\"> "
                                 "<button>Open</button></form>\n";
        if (!request.has_param("email"))
            return page(response, service, 200, title, "<p>The mails the demo service has sent.</p>\n" + form);
        const std::string email = request.get_param_value("email");
        std::string content;
        for (const demo::AccountBook::Mail& mail : service.accounts.mailsTo(email)) {
            content += "<p>New account has been created.<br>User name: <code>" + demo::xmlEscaped(mail.user)
                + "</code><br>Password: <code>" + demo::xmlEscaped(mail.password) + "</code></p>\n";
        }
        if (content.empty())
            content = "<p>No mail for " + demo::xmlEscaped(email) + ".</p>\n";
        page(response, service, 200, title + ": " + email, content + form);
    });
}

std::string errorText(int status)
{
    switch (status) {
    case 404:
        return "Not found: nothing is served at this address.";
    case 405:
        return "Method not allowed: the service answers GET requests.";
    case 413:
    case 414:
        return "The request is too long.";
    default:
        return status >= 500 ? "The demo service failed to answer." : "Bad request.";
    }
}

} // namespace

demo::Service::Service(Data data, Options options, const Endpoint& served)
    : data(std::move(data))
    , options(std::move(options))
    , base("http://" + served.urlAuthority())
    , accounts(this->data.accounts)
{
    if (this->options.openvpnRemote) {
        // Every server leads to the one OpenVPN server, and a tunnel to it is
        // confirmed when the IP echo sees that address.
        openvpnPort = this->options.openvpnRemote->port;
        for (Server& server : this->data.servers) {
            server.address = this->options.openvpnRemote->host;
            server.assignedAddress = this->options.openvpnRemote->host;
        }
    }
}

void demo::addRoutes(httplib::Server& server, Service& service)
{
    server.set_pre_routing_handler([](const Request& request, Response& response) {
        if (request.target.size() <= maxTargetLength)
            return httplib::Server::HandlerResponse::Unhandled;
        refuse(response, 414, errorText(414));
        return httplib::Server::HandlerResponse::Handled;
    });

    addApi(server, service);
    addDownloads(server, service);
    addSite(server, service);

    // Only answers that have no text of their own yet get the generic one.
    server.set_error_handler(httplib::Server::HandlerWithResponse([](const Request&, Response& response) {
        if (!response.body.empty())
            return httplib::Server::HandlerResponse::Unhandled;
        refuse(response, response.status, errorText(response.status));
        return httplib::Server::HandlerResponse::Handled;
    }));
    server.set_exception_handler(
        [](const Request&, Response& response, std::exception_ptr) { refuse(response, 500, errorText(500)); });
    server.set_logger([](const Request& request, const Response& response) {
        std::fprintf(stderr, "%s %s %d\n", request.method.empty() ? "-" : loggedPath(request.method).c_str(),
            loggedPath(request.path).c_str(), response.status);
    });
}
