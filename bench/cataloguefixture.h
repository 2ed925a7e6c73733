#pragma once

// A large server catalogue as the service sends it, and a finished reply that
// carries it, for the benchmarks.

#include <QNetworkReply>
#include <QString>

#include <algorithm>
#include <cstring>

namespace bench {

namespace detail {
inline void element(QByteArray& xml, const char* name, const QByteArray& text)
{
    xml.append('<').append(name).append('>').append(text).append("</").append(name).append('>');
}
} // namespace detail

// As the service lays it out: one element per line, each server's OpenVPN
// profiles on one line. Every server offers OpenVPN with three profiles; PPTP
// and L2TP are offered on most, and a few servers lack one or the other.
// Built as bytes, as the reply carries it: making the text must not weigh on
// what the client is measured doing with it.
inline QByteArray catalogueBytes(int servers)
{
    const char* const countries[] = { "DE", "us", "nl", "uk", "fr" };
    const char* const profiles[] = { "UDP", "TCP", "TCP 443" };
    const char* const files[] = { "udp", "tcp", "tcp443" };
    QByteArray xml("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<velnor>\n  <response>true</response>\n  <servers>\n");
    xml.reserve(servers * 1000 + 100);
    using detail::element;
    for (int server = 1; server <= servers; ++server) {
        const QByteArray id = QByteArray::number(server);
        const QByteArray high = QByteArray::number(server / 256);
        const QByteArray low = QByteArray::number(server % 256);
        xml.append("    <server>\n      ");
        element(xml, "id", id);
        xml.append("\n      ");
        element(xml, "shortname", "Server " + id);
        xml.append("\n      ");
        element(xml, "IP", "198.18." + high + '.' + low);
        xml.append("\n      ");
        element(xml, "country", countries[server % 5]);
        xml.append("\n      ");
        element(xml, "assignedIP", "203.0." + high + '.' + low);
        xml.append("\n      <pptp>\n        ");
        element(xml, "enabled", server % 7 == 0 ? "0" : "1");
        xml.append("\n      </pptp>\n      <l2tp>\n        ");
        element(xml, "enabled", server % 11 == 0 ? "0" : "1");
        xml.append("\n        ");
        element(xml, "pskey", "psk-" + id);
        xml.append("\n      </l2tp>\n      <openvpn>\n        ");
        element(xml, "enabled", "1");
        xml.append("\n        <profiles>\n          ");
        element(xml, "count", "3");
        const QByteArray base = "http://127.0.0.1:8707/api/ovpn/" + id + '/';
        for (int profile = 0; profile < 3; ++profile) {
            xml.append("<profile>");
            element(xml, "name", profiles[profile]);
            element(xml, "config", base + files[profile] + ".ovpn");
            element(xml, "certificate", base + "ca.crt");
            xml.append("</profile>");
        }
        xml.append("\n        </profiles>\n      </openvpn>\n    </server>\n");
    }
    return xml.append("  </servers>\n</velnor>\n");
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
