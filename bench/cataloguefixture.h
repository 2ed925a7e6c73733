#pragma once

// A large server catalogue as the service sends it, and a finished reply that
// carries it, for the benchmarks.

#include <QNetworkReply>
#include <QString>

#include <algorithm>
#include <cstring>

namespace bench {

inline QString element(const char* name, const QString& text)
{
    const QString tag = QLatin1String(name);
    return QLatin1Char('<') + tag + QLatin1Char('>') + text + QStringLiteral("</") + tag + QLatin1Char('>');
}

// As the service lays it out: one element per line, each server's OpenVPN
// profiles on one line. Every server offers OpenVPN with three profiles; PPTP
// and L2TP are offered on most, and a few servers lack one or the other.
inline QString catalogue(int servers)
{
    const QString countries[] = { QStringLiteral("DE"), QStringLiteral("us"), QStringLiteral("nl"),
        QStringLiteral("uk"), QStringLiteral("fr") };
    const QString profiles[] = { QStringLiteral("UDP"), QStringLiteral("TCP"), QStringLiteral("TCP 443") };
    QString xml = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<velnor>\n"
                                 "  <response>true</response>\n  <servers>\n");
    for (int server = 1; server <= servers; ++server) {
        const QString id = QString::number(server);
        const QString address = QStringLiteral("198.18.%1.%2").arg(server / 256).arg(server % 256);
        xml += QStringLiteral("    <server>\n      ") + element("id", id) + QStringLiteral("\n      ")
            + element("shortname", QStringLiteral("Server ") + id) + QStringLiteral("\n      ") + element("IP", address)
            + QStringLiteral("\n      ") + element("country", countries[server % 5]) + QStringLiteral("\n      ")
            + element("assignedIP", QStringLiteral("203.0.%1.%2").arg(server / 256).arg(server % 256))
            + QStringLiteral("\n      <pptp>\n        ")
            + element("enabled", server % 7 == 0 ? QStringLiteral("0") : QStringLiteral("1"))
            + QStringLiteral("\n      </pptp>\n      <l2tp>\n        ")
            + element("enabled", server % 11 == 0 ? QStringLiteral("0") : QStringLiteral("1"))
            + QStringLiteral("\n        ") + element("pskey", QStringLiteral("psk-") + id)
            + QStringLiteral("\n      </l2tp>\n      <openvpn>\n        ") + element("enabled", QStringLiteral("1"))
            + QStringLiteral("\n        <profiles>\n          ") + element("count", QStringLiteral("3"));
        for (const QString& profile : profiles) {
            const QString file = profile.toLower().remove(QLatin1Char(' '));
            xml += QStringLiteral("<profile>") + element("name", profile)
                + element("config",
                    QStringLiteral("http://127.0.0.1:8707/api/ovpn/") + id + QLatin1Char('/') + file
                        + QStringLiteral(".ovpn"))
                + element(
                    "certificate", QStringLiteral("http://127.0.0.1:8707/api/ovpn/") + id + QStringLiteral("/ca.crt"))
                + QStringLiteral("</profile>");
        }
        xml += QStringLiteral("\n        </profiles>\n      </openvpn>\n    </server>\n");
    }
    return xml + QStringLiteral("  </servers>\n</velnor>\n");
}

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
