#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPair>
#include <QString>
#include <QUrl>
#include <QVector>

// How requests to the service are put together: one place for the URL, the
// request attributes and the transfer time-out, so every feature sends the
// same way.
namespace service {

// Query parameters in the order they are sent: (name, value).
using QueryItems = QVector<QPair<QString, QString>>;

enum class Cache {
    Default, // plain request
    Bypass, // always from the network, never stored
};

// Transfer time-out of every request, in milliseconds. 30000 unless the
// environment variable VELNOR_TRANSFER_TIMEOUT_MS holds a positive number.
int transferTimeout();

// A query value as it goes on the wire: UTF-8, with every character that
// would change the query ("&", "=", "+", "#", "%", space, ...) percent-encoded.
// Characters a URL carries as they are stay untouched.
QString encodeQueryValue(const QString& value);

// base + path + "?" + name=value pairs joined by "&" (no "?" without items).
QUrl buildUrl(const QString& base, const QString& path, const QueryItems& query = {});

// buildUrl over the configured API base, read afresh at every call.
QUrl apiUrl(const QString& path, const QueryItems& query = {});

QNetworkRequest makeRequest(const QUrl& url, Cache cache);

// The largest reply body taken from the network: well above the largest real
// document (a 5,000-server catalogue is about 5 MB). Anything on the path can
// answer, so a larger reply is aborted as it arrives and ends as a failed
// request, instead of growing memory without bound.
constexpr qint64 replyCap = 32 * 1024 * 1024;

// Sends a GET through `manager` and aborts the reply once its body is
// announced or received past `cap` bytes.
QNetworkReply* get(QNetworkAccessManager* manager, const QNetworkRequest& request, qint64 cap = replyCap);

// Whether a reply failed: a network error, or a final status other than 2xx.
bool failed(const QNetworkReply* reply);

// The only form in which a password leaves the machine: lower-case hex MD5
// of its UTF-8 bytes.
QString credentialDigest(const QString& password);

// A reply body as text: UTF-8 up to the first zero byte.
QString bodyText(const QByteArray& body);

// The number of the current login; a logout ends it. A reply asked for
// during a login that has ended must not act on the next one. Kept here, not
// in the window, because the window's fields are fixed.
quint64 currentLogin();
void endLogin();

// Tags a reply with the current login, and tells whether a tagged reply
// still belongs to it.
void tagWithLogin(QObject* reply);
bool belongsToCurrentLogin(const QObject* reply);

} // namespace service
