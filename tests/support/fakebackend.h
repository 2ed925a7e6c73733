#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QTcpServer>

class QNetworkAccessManager;
class QTcpSocket;

// A real HTTP server on 127.0.0.1 that stands in for the service's backend.
// Each path answers as programmed (anything else gets 404) and every request
// is recorded. Runs on the test's event loop; point the client at it with
// qputenv("VELNOR_API_BASE", backend.baseUrl().toUtf8()).
class FakeBackend : public QObject {
    Q_OBJECT

public:
    struct Response {
        enum class Mode {
            Answer,
            Stall, // accept the request and never answer
            Drop, // close the connection instead of answering
            Cut, // announce the whole body, send half of it, then close
        };
        Mode mode = Mode::Answer;
        int status = 200;
        QByteArray body;
        QByteArray contentType = QByteArrayLiteral("text/xml; charset=utf-8");
        int delayMs = 0;
        QByteArray location; // sent as a Location header when not empty
    };

    struct Request {
        QByteArray method;
        QString path;
        QByteArray query; // raw, exactly as sent (without the "?")
        QList<QPair<QByteArray, QByteArray>> headers;

        QByteArray header(const QByteArray& name) const;
        // Query items split at "&" and "=" and percent-decoded, in order.
        QList<QPair<QString, QString>> queryItems() const;
    };

    explicit FakeBackend(QObject* parent = nullptr);
    ~FakeBackend() override;

    bool isListening() const { return server.isListening(); }
    QString baseUrl() const;

    void setResponse(const QString& path, const Response& response) { routes.insert(path, response); }
    void answer(const QString& path, const QByteArray& body, int status = 200);
    void stall(const QString& path);
    void drop(const QString& path);
    void cutMidBody(const QString& path, const QByteArray& body);

    const QList<Request>& requests() const { return seen; }
    QList<Request> requests(const QString& path) const;

    // An address where nothing listens, so connections are refused.
    static QString refusingBaseUrl();

signals:
    // A request has come in; it is recorded already.
    void requested(const QString& path);

private:
    void accept();
    void readFrom(QTcpSocket* socket);
    void respond(QTcpSocket* socket, const Request& request);
    void send(const QPointer<QTcpSocket>& socket, const Response& response);

    QTcpServer server;
    QHash<QString, Response> routes;
    QList<Request> seen;
    QHash<QTcpSocket*, QByteArray> buffers;
};

// Paths of the replies that the window's network managers have delivered,
// in order. A path appears once the window's own reply slot has returned.
class DeliveredReplies : public QObject {
    Q_OBJECT

public:
    explicit DeliveredReplies(QObject* window);

    int count(const QString& path) const;
    // Replies delivered for a path that still exist.
    int alive(const QString& path) const;

private:
    QList<QPair<QString, QPointer<QObject>>> delivered;
};

// A test document from tests/fixtures.
QByteArray testFixture(const QString& name);
