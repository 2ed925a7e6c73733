#include "documents.h"

#include "rules.h"

#include <QDate>

#include <map>

namespace {

const char* const xmlDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

std::string element(const std::string& name, const std::string& text)
{
    return "<" + name + ">" + demo::xmlEscaped(text) + "</" + name + ">";
}

// "id:name|id:name", the form of the payment lists.
template <typename Entries, typename Text>
std::string choiceList(const Entries& entries, Text text)
{
    std::string list;
    for (const auto& entry : entries)
        list += (list.empty() ? "" : "|") + entry.id + ":" + text(entry);
    return list;
}

// The template with every {{name}} replaced by its value; values are not scanned again.
std::string filled(const std::string& text, const std::map<std::string, std::string>& values)
{
    std::string result;
    std::size_t from = 0;
    for (std::size_t open = text.find("{{"); open != std::string::npos; open = text.find("{{", from)) {
        const std::size_t close = text.find("}}", open);
        if (close == std::string::npos)
            break;
        const auto value = values.find(text.substr(open + 2, close - open - 2));
        result += text.substr(from, open - from);
        result += value == values.end() ? text.substr(open, close + 2 - open) : value->second;
        from = close + 2;
    }
    return result + text.substr(from);
}

} // namespace

std::string demo::certificateUrl(const std::string& base) { return base + "/openvpn/ca.crt"; }

std::string demo::configUrl(const std::string& base, const std::string& serverId)
{
    return base + "/openvpn/" + serverId + ".ovpn";
}

std::string demo::catalogueDocument(
    const std::vector<Server>& servers, const std::string& base, const std::string& profileName)
{
    const std::string indent = "            ";
    std::string text = std::string(xmlDeclaration) + "<velnor>\n    <response>true</response>\n    <servers>\n";
    for (const Server& server : servers) {
        text += "        <server>\n";
        text += indent + element("id", server.id) + "\n";
        text += indent + element("shortname", server.name) + "\n";
        text += indent + element("IP", server.address) + "\n";
        text += indent + element("country", server.country) + "\n";
        text += indent + element("assignedIP", server.assignedAddress) + "\n";
        // The client finds PPTP's flag only after exactly one run of white space.
        text += indent + "<pptp>\n" + indent + "    <enabled>1</enabled>\n" + indent + "</pptp>\n";
        text += indent + "<l2tp>\n" + indent + "    <enabled>1</enabled>\n" + indent + "    "
            + element("pskey", server.preSharedKey) + "\n" + indent + "</l2tp>\n";
        // From the count on, the profiles stand on one line without white space.
        text += indent + "<openvpn>\n" + indent + "    <enabled>1</enabled>\n" + indent + "    <profiles>\n";
        text += indent + "        <count>1</count><profile>" + element("name", profileName)
            + element("config", configUrl(base, server.id)) + element("certificate", certificateUrl(base))
            + "</profile>\n";
        text += indent + "    </profiles>\n" + indent + "</openvpn>\n";
        text += "        </server>\n";
    }
    return text + "    </servers>\n</velnor>\n";
}

std::string demo::refusedCatalogueDocument()
{
    return std::string(xmlDeclaration)
        + "<velnor>\n    <response>false</response>\n    <servers>\n    </servers>\n</velnor>\n";
}

std::string demo::quickConnectList(const Data& data, const std::string& base)
{
    std::string list;
    for (const QuickEntry& entry : data.quickConnect) {
        for (const Server& server : data.servers) {
            if (server.id != entry.serverId)
                continue;
            std::string item = server.name + "^" + server.address + "^" + entry.protocol;
            if (entry.protocol == "L2TP")
                item += "^" + server.preSharedKey;
            else if (entry.protocol == "OpenVPN")
                item += "^" + certificateUrl(base) + "^" + configUrl(base, server.id);
            list += (list.empty() ? "" : "|") + item;
        }
    }
    return list;
}

std::string demo::accountDocument(const Account& account, const Data& data, const std::string& quickList)
{
    // Read by position from the response on: compact, and no field may be
    // empty, or every later one shifts.
    const auto nonEmpty = [](const std::string& text) { return text.empty() ? std::string("-") : text; };
    std::string text = std::string(xmlDeclaration) + "<userinfo>\n    <response>true</response>";
    text += element("fullname", account.name);
    text += element("email", account.email);
    text += element("enabled", account.enabled ? "1" : "0");
    text += element("plan", account.plan);
    text += element("plan_id", "0");
    text += element("expire", expiryDate(account.daysLeft));
    text += element("days_left", std::to_string(account.daysLeft));
    text += element("quota", account.quota);
    text += element("payment_methods", choiceList(data.processors, [](const Processor& p) { return p.name; }));
    text += element("plans", choiceList(data.plans, [](const Plan& p) { return p.offer; }));
    text += element("quick_servers", nonEmpty(quickList));
    // Five characters or fewer: the client shows no notice.
    text += element("notice", "-");
    return text + "\n</userinfo>\n";
}

std::string demo::refusedAccountDocument()
{
    return std::string(xmlDeclaration) + "<userinfo>\n    <response>false</response>\n</userinfo>\n";
}

std::string demo::updateDocument(const std::string& version, const std::string& installerUrl, const std::string& notes)
{
    // Read by position: the fields follow one another without white space.
    return std::string(xmlDeclaration) + "<update>" + element("version", version) + element("url", installerUrl)
        + element("notes", notes) + "</update>\n";
}

std::string demo::openvpnConfig(
    const std::string& configTemplate, const std::string& remote, const std::map<std::string, std::string>& keys)
{
    std::map<std::string, std::string> values = keys;
    values["remote"] = remote;
    return filled(configTemplate, values);
}

std::string demo::ipEchoPage(const std::string& address)
{
    // The client takes the text from "Address: " up to the last "</body>".
    return "<html><head><title>Your address</title></head><body>Address: " + xmlEscaped(address) + "</body></html>\n";
}

std::string demo::sitePage(const Data& data, const std::string& title, const std::string& content)
{
    return filled(data.pageLayout, { { "title", xmlEscaped(title) }, { "content", content } });
}

std::string demo::expiryDate(int daysLeft)
{
    return QDate::currentDate().addDays(daysLeft).toString(Qt::ISODate).toStdString();
}
