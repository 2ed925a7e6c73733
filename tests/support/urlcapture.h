#pragma once

#include <QList>
#include <QObject>
#include <QUrl>

// Catches what the program opens in the browser.
class UrlCapture : public QObject {
    Q_OBJECT

public:
    explicit UrlCapture(QObject* parent = nullptr);
    ~UrlCapture() override;

    const QList<QUrl>& urls() const { return opened; }

public slots:
    void open(const QUrl& url);

private:
    QList<QUrl> opened;
};
