#pragma once

#include <map>
#include <string>
#include <vector>

// What the demo service serves, read once at start from the data folder.
namespace demo {

struct Account {
    std::string user; // lower case
    std::string md5; // lower-case hex MD5 of the password's UTF-8 text
    std::string name;
    std::string email;
    bool enabled = false;
    std::string plan;
    int daysLeft = 0; // counted from the day the service started
    std::string quota;
};

struct Server {
    std::string id;
    std::string name;
    std::string country;
    std::string address;
    std::string assignedAddress;
    std::string preSharedKey;
};

struct QuickEntry {
    std::string serverId;
    std::string protocol; // PPTP, L2TP or OpenVPN
};

struct Plan {
    std::string id;
    std::string offer; // as listed on the payment page
    std::string name; // as shown on the account once paid
    int days = 0;
};

struct Processor {
    std::string id;
    std::string name;
};

struct Data {
    std::vector<Account> accounts;
    std::vector<Server> servers;
    std::vector<QuickEntry> quickConnect;
    std::vector<Plan> plans;
    std::vector<Processor> processors;

    std::string currentVersion;
    std::string newerVersion;
    std::string updateNotes;
    std::string installerName;
    std::string installer;

    std::string openvpnConfig; // template with {{remote}} and the client's keys
    std::string certificate;
    // What fills {{cert}}, {{key}} and {{tls-crypt}} of the profile, by name.
    std::map<std::string, std::string> openvpnKeys;

    std::string pageLayout; // with {{title}} and {{content}}
    std::map<std::string, std::string> pages; // name -> HTML fragment
};

// The client's certificate, key and tls-crypt key that the profiles carry
// inline: client.crt, client.key and tls-crypt.key in `folder`.
std::map<std::string, std::string> readOpenvpnKeys(const std::string& folder, std::string& error);

// Reads every file of the folder. Returns an error text naming the file and
// line, empty on success.
std::string loadData(const std::string& folder, Data& data);

std::string readFile(const std::string& path, std::string& error);

// Without a test world to lead to, every address the catalogue hands out must
// stay on this machine: a loopback address, and no assigned address equal to
// `echoed` (what the IP echo answers a local client), or an attempt would be
// confirmed with no tunnel. Returns an error text, empty when all are local.
std::string checkLocalOnly(const Data& data, const std::string& echoed);

} // namespace demo
