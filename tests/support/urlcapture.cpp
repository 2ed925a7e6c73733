#include "urlcapture.h"

#include <QDesktopServices>

UrlCapture::UrlCapture(QObject* parent)
    : QObject(parent)
{
    QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "open");
}

UrlCapture::~UrlCapture()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
}

void UrlCapture::open(const QUrl& url)
{
    opened.append(url);
}
