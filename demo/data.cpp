#include "data.h"

#include "rules.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

namespace {

using Row = std::map<std::string, std::string>;

struct Table {
    std::string name;
    std::vector<Row> rows;
    std::vector<int> lines; // file line of each row, for messages

    std::string where(std::size_t row) const { return name + " line " + std::to_string(lines[row]) + ": "; }
};

std::vector<std::string> splitTabs(const std::string& line)
{
    std::vector<std::string> cells;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        cells.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos)
            return cells;
        start = tab + 1;
    }
}

// A tab-separated file whose first line names the columns.
std::string readTable(
    const std::string& folder, const std::string& name, const std::vector<std::string>& columns, Table& table)
{
    std::string error;
    const std::string text = demo::readFile(folder + "/" + name, error);
    if (!error.empty())
        return error;
    table.name = name;

    std::istringstream stream(text);
    std::string line;
    std::vector<std::string> header;
    for (int number = 1; std::getline(stream, line); ++number) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (header.empty()) {
            header = splitTabs(line);
            for (const std::string& column : columns) {
                if (std::find(header.begin(), header.end(), column) == header.end())
                    return name + ": the first line names no column \"" + column + "\"";
            }
            continue;
        }
        if (line.empty())
            continue;
        const std::vector<std::string> cells = splitTabs(line);
        if (cells.size() != header.size())
            return name + " line " + std::to_string(number) + ": " + std::to_string(cells.size())
                + " cells, the header has " + std::to_string(header.size());
        Row row;
        for (std::size_t i = 0; i < cells.size(); ++i)
            row[header[i]] = cells[i];
        table.rows.push_back(row);
        table.lines.push_back(number);
    }
    if (header.empty())
        return name + " is empty";
    return {};
}

bool toInt(const std::string& text, int& value)
{
    if (text.empty())
        return false;
    errno = 0;
    char* end = nullptr;
    const long number = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || number < -100000 || number > 100000)
        return false;
    value = static_cast<int>(number);
    return true;
}

std::string loadAccounts(const std::string& folder, std::vector<demo::Account>& accounts)
{
    Table table;
    std::string error = readTable(
        folder, "accounts.tsv", { "user", "md5", "name", "email", "enabled", "plan", "days_left", "quota" }, table);
    if (!error.empty())
        return error;
    std::set<std::string> users;
    std::set<std::string> emails;
    for (std::size_t i = 0; i < table.rows.size(); ++i) {
        Row& row = table.rows[i];
        demo::Account account { row["user"], row["md5"], row["name"], row["email"], row["enabled"] == "1", row["plan"],
            0, row["quota"] };
        if (account.user.empty() || account.user != demo::lowerCase(account.user))
            return table.where(i) + "the user name must be lower case and not empty";
        if (!demo::isDigest(account.md5) || account.md5 != demo::lowerCase(account.md5))
            return table.where(i) + "md5 must be 32 lower-case hex digits";
        if (!demo::isEmailAddress(account.email))
            return table.where(i) + "the e-mail address is not valid";
        if (account.name.empty() || account.plan.empty() || account.quota.empty())
            return table.where(i) + "name, plan and quota must not be empty";
        if (row["enabled"] != "0" && row["enabled"] != "1")
            return table.where(i) + "enabled must be 0 or 1";
        if (!toInt(row["days_left"], account.daysLeft))
            return table.where(i) + "days_left must be a whole number";
        if (!users.insert(account.user).second || !emails.insert(demo::lowerCase(account.email)).second)
            return table.where(i) + "the user name or e-mail address is taken by an earlier line";
        accounts.push_back(account);
    }
    return {};
}

std::string loadServers(const std::string& folder, demo::Data& data)
{
    Table table;
    std::string error
        = readTable(folder, "servers.tsv", { "id", "shortname", "country", "address", "assigned", "pskey" }, table);
    if (!error.empty())
        return error;
    std::set<std::string> ids;
    for (std::size_t i = 0; i < table.rows.size(); ++i) {
        Row& row = table.rows[i];
        demo::Server server { row["id"], row["shortname"], row["country"], row["address"], row["assigned"],
            row["pskey"] };
        int id = 0;
        if (!toInt(server.id, id) || id < 1 || !ids.insert(server.id).second)
            return table.where(i) + "the id must be a positive whole number used once";
        if (server.name.empty() || server.country.empty() || server.address.empty() || server.assignedAddress.empty()
            || server.preSharedKey.empty())
            return table.where(i) + "every cell needs a value";
        // The quick-connect list separates entries with "|" and fields with "^".
        if ((server.name + server.address + server.preSharedKey).find_first_of("|^") != std::string::npos)
            return table.where(i) + "name, address and key must not contain \"|\" or \"^\"";
        data.servers.push_back(server);
    }
    if (data.servers.empty())
        return "servers.tsv lists no server";

    table = {};
    error = readTable(folder, "quick-connect.tsv", { "server", "protocol" }, table);
    if (!error.empty())
        return error;
    for (std::size_t i = 0; i < table.rows.size(); ++i) {
        Row& row = table.rows[i];
        if (!ids.count(row["server"]))
            return table.where(i) + "no server has the id \"" + row["server"] + "\"";
        if (row["protocol"] != "PPTP" && row["protocol"] != "L2TP" && row["protocol"] != "OpenVPN")
            return table.where(i) + "the protocol must be PPTP, L2TP or OpenVPN";
        data.quickConnect.push_back({ row["server"], row["protocol"] });
    }
    return {};
}

std::string loadPayment(const std::string& folder, demo::Data& data)
{
    Table table;
    std::string error = readTable(folder, "plans.tsv", { "id", "offer", "plan", "days" }, table);
    if (!error.empty())
        return error;
    for (std::size_t i = 0; i < table.rows.size(); ++i) {
        Row& row = table.rows[i];
        demo::Plan plan { row["id"], row["offer"], row["plan"], 0 };
        int id = 0;
        if (!toInt(plan.id, id) || !toInt(row["days"], plan.days) || plan.days < 1 || plan.offer.empty()
            || plan.name.empty())
            return table.where(i) + "needs a numeric id, an offer, a plan name and a positive number of days";
        data.plans.push_back(plan);
    }

    table = {};
    error = readTable(folder, "processors.tsv", { "id", "name" }, table);
    if (!error.empty())
        return error;
    for (std::size_t i = 0; i < table.rows.size(); ++i) {
        Row& row = table.rows[i];
        int id = 0;
        if (!toInt(row["id"], id) || row["name"].empty())
            return table.where(i) + "needs a numeric id and a name";
        data.processors.push_back({ row["id"], row["name"] });
    }
    if (data.plans.empty() || data.processors.empty())
        return "plans.tsv and processors.tsv must list at least one entry each";
    return {};
}

std::string loadUpdate(const std::string& folder, demo::Data& data)
{
    Table table;
    std::string error = readTable(folder, "update.tsv", { "key", "value" }, table);
    if (!error.empty())
        return error;
    std::map<std::string, std::string> values;
    for (Row& row : table.rows)
        values[row["key"]] = row["value"];
    data.currentVersion = values["current"];
    data.newerVersion = values["newer"];
    data.installerName = values["installer"];
    // The client reads the update document by position: no field may be empty.
    if (data.currentVersion.empty() || data.newerVersion.empty() || data.installerName.empty()
        || data.installerName.find_first_of("/\\") != std::string::npos)
        return "update.tsv needs current, newer and installer (a plain file name)";

    data.updateNotes = demo::readFile(folder + "/update-notes.txt", error);
    if (error.empty() && data.updateNotes.empty())
        error = "update-notes.txt is empty";
    if (error.empty())
        data.installer = demo::readFile(folder + "/installer.txt", error);
    return error;
}

std::string loadTexts(const std::string& folder, demo::Data& data)
{
    std::string error;
    data.openvpnConfig = demo::readFile(folder + "/openvpn/client.ovpn", error);
    if (error.empty() && data.openvpnConfig.find("{{remote}}") == std::string::npos)
        error = "openvpn/client.ovpn has no {{remote}}";
    if (error.empty())
        data.certificate = demo::readFile(folder + "/openvpn/ca.crt", error);
    if (error.empty())
        data.openvpnKeys = demo::readOpenvpnKeys(folder + "/openvpn", error);
    if (error.empty())
        data.pageLayout = demo::readFile(folder + "/site/layout.html", error);
    for (const char* page : { "index", "forgotpassword", "trial", "store", "download" }) {
        if (error.empty())
            data.pages[page] = demo::readFile(folder + "/site/" + page + ".html", error);
    }
    return error;
}

} // namespace

std::string demo::readFile(const std::string& path, std::string& error)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot read " + path;
        return {};
    }
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::map<std::string, std::string> demo::readOpenvpnKeys(const std::string& folder, std::string& error)
{
    std::map<std::string, std::string> keys;
    for (const auto& [name, file] :
        { std::pair { "cert", "client.crt" }, { "key", "client.key" }, { "tls-crypt", "tls-crypt.key" } }) {
        std::string text = demo::readFile(folder + "/" + file, error);
        if (!error.empty())
            return {};
        // The block's closing tag goes on a line of its own.
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        keys[name] = text;
    }
    return keys;
}

std::string demo::checkLocalOnly(const Data& data, const std::string& echoed)
{
    for (const Server& server : data.servers) {
        for (const std::string& address : { server.address, server.assignedAddress }) {
            in_addr parsed {};
            if (inet_pton(AF_INET, address.c_str(), &parsed) != 1 || (ntohl(parsed.s_addr) >> 24) != 127)
                return "servers.tsv: " + server.name + " has \"" + address
                    + "\", not a loopback address; only a test world (--openvpn-remote) may lead elsewhere";
        }
        // A local client's requests come from 127.0.0.1, whatever loopback address we listen on.
        if (server.assignedAddress == echoed || server.assignedAddress == "127.0.0.1")
            return "servers.tsv: " + server.name + "'s assigned address is " + echoed
                + ", which the IP echo answers: an attempt would be confirmed with no tunnel";
    }
    return {};
}

std::string demo::loadData(const std::string& folder, Data& data)
{
    std::string error = loadAccounts(folder, data.accounts);
    if (error.empty())
        error = loadServers(folder, data);
    if (error.empty())
        error = loadPayment(folder, data);
    if (error.empty())
        error = loadUpdate(folder, data);
    if (error.empty())
        error = loadTexts(folder, data);
    return error;
}
