#include "urlcapture.h"

#include <QDesktopServices>

namespace {
const char* const schemes[] = { "http", "https" };
}

UrlCapture::UrlCapture(QObject* parent)
    : QObject(parent)
{
    handleWith("open");
}

UrlCapture::~UrlCapture()
{
    for (const char* scheme : schemes)
        QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
}

void UrlCapture::failOpening()
{
    // openUrl reports whether it could call the handler, so one it cannot
    // call makes it fail without reaching a real browser.
    handleWith("noBrowser");
}

void UrlCapture::handleWith(const char* method)
{
    for (const char* scheme : schemes)
        QDesktopServices::setUrlHandler(QLatin1String(scheme), this, method);
}
