#pragma once

#include <QList>
#include <QObject>
#include <QUrl>

// Stands in for the browser: while it lives, every http and https address
// the program opens with QDesktopServices is recorded instead of opened.
class UrlCapture : public QObject {
    Q_OBJECT

public:
    explicit UrlCapture(QObject* parent = nullptr);
    ~UrlCapture() override;

    // From now on opening fails, as it does on a desktop without a browser.
    void failOpening();

    const QList<QUrl>& urls() const { return opened; }

public slots:
    void open(const QUrl& url) { opened.append(url); }

private:
    void handleWith(const char* method);

    QList<QUrl> opened;
};
