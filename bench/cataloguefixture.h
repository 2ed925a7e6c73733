#pragma once

// A large server catalogue as the service sends it, and a finished reply that
// carries it, for the benchmarks.

#include <QNetworkReply>
#include <QString>

#include <algorithm>
#include <cstring>
#include <string>

namespace bench {

// As the service lays it out: one element per line, each server's OpenVPN
// profiles on one line. Every server offers OpenVPN with three profiles; PPTP
// and L2TP are offered on most, and a few servers lack one or the other.
// Built as bytes, as the reply carries it, with few allocations: making the
// text must not weigh on what the client is measured doing with it.
inline QByteArray catalogueBytes(int servers)
{
    const char* const countries[] = { "DE", "us", "nl", "uk", "fr" };
    const char* const profiles[] = { "UDP", "TCP", "TCP 443" };
    const char* const files[] = { "udp", "tcp", "tcp443" };
    std::string xml
        = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<velnor>\n  <response>true</response>\n  <servers>\n";
    xml.reserve(size_t(servers) * 1000 + 100);
    const auto element = [&xml](const char* name, const std::string& text) {
        xml.append("<").append(name).append(">").append(text).append("</").append(name).append(">");
    };
    for (int server = 1; server <= servers; ++server) {
        const std::string id = std::to_string(server);
        const std::string pair = std::to_string(server / 256) + '.' + std::to_string(server % 256);
        xml.append("    <server>\n      ");
        element("id", id);
        xml.append("\n      ");
        element("shortname", "Server " + id);
        xml.append("\n      ");
        element("IP", "198.18." + pair);
        xml.append("\n      ");
        element("country", countries[server % 5]);
        xml.append("\n      ");
        element("assignedIP", "203.0." + pair);
        xml.append("\n      <pptp>\n        ");
        element("enabled", server % 7 == 0 ? "0" : "1");
        xml.append("\n      </pptp>\n      <l2tp>\n        ");
        element("enabled", server % 11 == 0 ? "0" : "1");
        xml.append("\n        ");
        element("pskey", "psk-" + id);
        xml.append("\n      </l2tp>\n      <openvpn>\n        ");
        element("enabled", "1");
        xml.append("\n        <profiles>\n          ");
        element("count", "3");
        const std::string base = "http://127.0.0.1:8707/api/ovpn/" + id + '/';
        for (int profile = 0; profile < 3; ++profile) {
            xml.append("<profile>");
            element("name", profiles[profile]);
            element("config", base + files[profile] + ".ovpn");
            element("certificate", base + "ca.crt");
            xml.append("</profile>");
        }
        xml.append("\n        </profiles>\n      </openvpn>\n    </server>\n");
    }
    xml.append("  </servers>\n</velnor>\n");
    return QByteArray(xml.data(), int(xml.size()));
}

inline QString catalogue(int servers) { return QString::fromUtf8(catalogueBytes(servers)); }

// A finished, successful reply with the given body, as the login request's
// reply slot reads it.
class CannedReply : public QNetworkReply {
public:
    explicit CannedReply(const QByteArray& body)
        : body(body)
    {
        setOpenMode(QIODevice::ReadOnly);
        setFinished(true);
    }

    void abort() override { }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return body.size() - offset + QIODevice::bytesAvailable(); }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const qint64 count = std::min<qint64>(maxSize, body.size() - offset);
        std::memcpy(data, body.constData() + offset, size_t(count));
        offset += count;
        return count;
    }

private:
    QByteArray body;
    qint64 offset = 0;
};

} // namespace bench
