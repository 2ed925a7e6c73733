#pragma once

#include "data.h"

#include <string>

// The documents the client reads, in the layouts it expects (its readers walk
// some of them by position, so white space matters), and the site's pages.
namespace demo {

// Where the OpenVPN downloads are found, below the service's own address.
std::string certificateUrl(const std::string& base);
std::string configUrl(const std::string& base, const std::string& serverId);

// The login reply: the verdict and, when accepted, every server.
std::string catalogueDocument(
    const std::vector<Server>& servers, const std::string& base, const std::string& profileName);
std::string refusedCatalogueDocument();

// The quick-connect list of the account information.
std::string quickConnectList(const Data& data, const std::string& base);

std::string accountDocument(const Account& account, const Data& data, const std::string& quickList);
std::string refusedAccountDocument();

std::string updateDocument(const std::string& version, const std::string& installerUrl, const std::string& notes);

std::string openvpnConfig(
    const std::string& configTemplate, const std::string& remote, const std::map<std::string, std::string>& keys);

std::string ipEchoPage(const std::string& address);

// A site page: the layout around an HTML fragment; the title is plain text.
std::string sitePage(const Data& data, const std::string& title, const std::string& content);

// The expiry date shown for an account with this many days left, as YYYY-MM-DD.
std::string expiryDate(int daysLeft);

} // namespace demo
