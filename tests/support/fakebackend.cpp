#include "fakebackend.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

#include <algorithm>

namespace {
QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 302:
        return "Found";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}
} // namespace

QByteArray FakeBackend::Request::header(const QByteArray& name) const
{
    for (const auto& header : headers) {
        if (header.first.compare(name, Qt::CaseInsensitive) == 0)
            return header.second;
    }
    return QByteArray();
}

QList<QPair<QString, QString>> FakeBackend::Request::queryItems() const
{
    QList<QPair<QString, QString>> items;
    if (query.isEmpty())
        return items;
    for (const QByteArray& item : query.split('&')) {
        const int equals = item.indexOf('=');
        const QByteArray name = equals < 0 ? item : item.left(equals);
        const QByteArray value = equals < 0 ? QByteArray() : item.mid(equals + 1);
        items.append({ QUrl::fromPercentEncoding(name), QUrl::fromPercentEncoding(value) });
    }
    return items;
}

FakeBackend::FakeBackend(QObject* parent)
    : QObject(parent)
{
    connect(&server, &QTcpServer::newConnection, this, &FakeBackend::accept);
    server.listen(QHostAddress::LocalHost);
}

FakeBackend::~FakeBackend()
{
    // Close open connections while the members their handlers use still exist.
    for (QTcpSocket* socket : findChildren<QTcpSocket*>()) {
        socket->disconnect(this);
        delete socket;
    }
}

QString FakeBackend::baseUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(server.serverPort()); }

void FakeBackend::answer(const QString& path, const QByteArray& body, int status)
{
    Response response;
    response.body = body;
    response.status = status;
    setResponse(path, response);
}

void FakeBackend::stall(const QString& path)
{
    Response response;
    response.mode = Response::Mode::Stall;
    setResponse(path, response);
}

void FakeBackend::drop(const QString& path)
{
    Response response;
    response.mode = Response::Mode::Drop;
    setResponse(path, response);
}

void FakeBackend::cutMidBody(const QString& path, const QByteArray& body)
{
    Response response;
    response.mode = Response::Mode::Cut;
    response.body = body;
    setResponse(path, response);
}

QList<FakeBackend::Request> FakeBackend::requests(const QString& path) const
{
    QList<Request> matching;
    for (const Request& request : seen) {
        if (request.path == path)
            matching.append(request);
    }
    return matching;
}

QString FakeBackend::refusingBaseUrl()
{
    // Take a free port and give it back at once; nothing listens there then.
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    const quint16 port = probe.serverPort();
    probe.close();
    return QStringLiteral("http://127.0.0.1:%1").arg(port);
}

void FakeBackend::accept()
{
    while (QTcpSocket* socket = server.nextPendingConnection()) {
        socket->setParent(this);
        buffers.insert(socket, QByteArray());
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            buffers.remove(socket);
            socket->deleteLater();
        });
    }
}

void FakeBackend::readFrom(QTcpSocket* socket)
{
    if (!buffers.contains(socket))
        return;
    QByteArray& buffer = buffers[socket];
    buffer += socket->readAll();
    const int headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return;

    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    buffers.remove(socket); // one request per connection: every answer closes it

    Request request;
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    request.method = requestLine.value(0);
    const QByteArray target = requestLine.value(1);
    const int question = target.indexOf('?');
    request.path = QUrl::fromPercentEncoding(question < 0 ? target : target.left(question));
    request.query = question < 0 ? QByteArray() : target.mid(question + 1);
    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        const int colon = line.indexOf(':');
        if (colon > 0)
            request.headers.append({ line.left(colon).trimmed(), line.mid(colon + 1).trimmed() });
    }
    seen.append(request);
    emit requested(request.path);
    respond(socket, request);
}

void FakeBackend::respond(QTcpSocket* socket, const Request& request)
{
    Response response;
    response.status = 404;
    response.body = QByteArrayLiteral("not found");
    response.contentType = QByteArrayLiteral("text/plain");
    response = routes.value(request.path, response);

    switch (response.mode) {
    case Response::Mode::Stall:
        return;
    case Response::Mode::Drop:
        socket->abort();
        return;
    case Response::Mode::Answer:
    case Response::Mode::Cut:
        break;
    }

    const QPointer<QTcpSocket> target(socket);
    if (response.delayMs > 0)
        QTimer::singleShot(response.delayMs, this, [this, target, response] { send(target, response); });
    else
        send(target, response);
}

void FakeBackend::send(const QPointer<QTcpSocket>& socket, const Response& response)
{
    if (!socket)
        return;
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + reasonPhrase(response.status)
        + "\r\nContent-Type: " + response.contentType
        + (response.location.isEmpty() ? QByteArray() : "\r\nLocation: " + response.location)
        + "\r\nContent-Length: " + QByteArray::number(response.body.size()) + "\r\nConnection: close\r\n\r\n";
    socket->write(head);
    if (response.mode == Response::Mode::Cut) {
        socket->write(response.body.left(response.body.size() / 2));
        socket->flush();
        socket->abort();
        return;
    }
    socket->write(response.body);
    socket->disconnectFromHost();
}

DeliveredReplies::DeliveredReplies(QObject* window)
    : QObject(window)
{
    // Connected after the window's own connections, so these run after its
    // reply slots have returned.
    for (auto* manager : window->findChildren<QNetworkAccessManager*>()) {
        connect(manager, &QNetworkAccessManager::finished, this, [this](QNetworkReply* reply) {
            delivered.append({ reply->url().path(), reply });
        });
    }
}

int DeliveredReplies::count(const QString& path) const
{
    return int(
        std::count_if(delivered.begin(), delivered.end(), [&path](const auto& reply) { return reply.first == path; }));
}

int DeliveredReplies::alive(const QString& path) const
{
    return int(std::count_if(delivered.begin(), delivered.end(),
        [&path](const auto& reply) { return reply.first == path && !reply.second.isNull(); }));
}

QByteArray testFixture(const QString& name)
{
    QFile file(QStringLiteral(VELNOR_TEST_FIXTURES "/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing test fixture %s", qPrintable(name));
    return file.readAll();
}
