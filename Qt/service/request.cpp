#include "service/request.h"

#include "service/endpoints.h"

#include <QCryptographicHash>

namespace {
constexpr int defaultTransferTimeout = 30000;

// Characters a URL query carries literally and that mean nothing to the
// query's own syntax; everything else in a value is percent-encoded. "&", "=",
// "+" and "#" are left out on purpose.
const QByteArray literalInQuery = QByteArrayLiteral("!$'()*,/:;?@[]");
} // namespace

int service::transferTimeout()
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue("VELNOR_TRANSFER_TIMEOUT_MS", &ok);
    return ok && value > 0 ? value : defaultTransferTimeout;
}

QString service::encodeQueryValue(const QString& value)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(value, literalInQuery));
}

QUrl service::buildUrl(const QString& base, const QString& path, const QueryItems& query)
{
    QString url = base + path;
    for (int i = 0; i < query.size(); ++i) {
        url += i == 0 ? QLatin1Char('?') : QLatin1Char('&');
        url += query.at(i).first + QLatin1Char('=') + encodeQueryValue(query.at(i).second);
    }
    return QUrl(url, QUrl::TolerantMode);
}

QUrl service::apiUrl(const QString& path, const QueryItems& query)
{
    return buildUrl(service::endpoints::apiBase(), path, query);
}

QNetworkRequest service::makeRequest(const QUrl& url, Cache cache)
{
    QNetworkRequest request(url);
    if (cache == Cache::Bypass) {
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
        request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    }
    // A backend that accepts and then stalls must not keep a flow busy for ever.
    request.setTransferTimeout(transferTimeout());
    return request;
}

QString service::credentialDigest(const QString& password)
{
    return QString::fromLatin1(QCryptographicHash::hash(password.toUtf8(), QCryptographicHash::Md5).toHex());
}

QString service::bodyText(const QByteArray& body)
{
    const int end = body.indexOf('\0');
    return QString::fromUtf8(end < 0 ? body : body.left(end));
}
