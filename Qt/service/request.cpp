#include "service/request.h"

#include "service/endpoints.h"

#include <QCryptographicHash>

#include <cstring>

namespace {
quint64 loginNumber = 0;
const char loginProperty[] = "velnorLogin";

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
    // Qt 5 follows no redirect by default and reports the 3xx as a success.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    // A backend that accepts and then stalls must not keep a flow busy for ever.
    request.setTransferTimeout(transferTimeout());
    return request;
}

QNetworkReply* service::get(QNetworkAccessManager* manager, const QNetworkRequest& request, qint64 cap)
{
    QNetworkReply* reply = manager->get(request);
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, cap] {
        bool known = false;
        const qint64 announced = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known);
        if (known && announced > cap)
            reply->abort();
    });
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply, [reply, cap](qint64 received, qint64) {
        if (received > cap)
            reply->abort();
    });
    return reply;
}

bool service::failed(const QNetworkReply* reply)
{
    if (reply->error() != QNetworkReply::NoError)
        return true;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    return status.isValid() && (status.toInt() < 200 || status.toInt() > 299);
}

QString service::credentialDigest(const QString& password)
{
    return QString::fromLatin1(QCryptographicHash::hash(password.toUtf8(), QCryptographicHash::Md5).toHex());
}

QString service::bodyText(const QByteArray& body)
{
    // memchr: a catalogue runs to megabytes, which a loop over bytes reads
    // several times slower.
    const auto* end = static_cast<const char*>(std::memchr(body.constData(), 0, size_t(body.size())));
    return QString::fromUtf8(body.constData(), end ? int(end - body.constData()) : body.size());
}

quint64 service::currentLogin() { return loginNumber; }

void service::endLogin() { ++loginNumber; }

void service::tagWithLogin(QObject* reply) { reply->setProperty(loginProperty, loginNumber); }

bool service::belongsToCurrentLogin(const QObject* reply)
{
    return reply->property(loginProperty).toULongLong() == loginNumber;
}
