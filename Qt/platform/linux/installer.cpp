#include "platform/installer.h"

platform::installer::Route platform::installer::updateRoute() { return Route::DownloadPage; }

// A Windows installer is of no use here, and where Wine is installed, opening
// it would run it.
platform::installer::HandOver platform::installer::handOver(const QString&, const QByteArray&)
{
    return HandOver::NotSaved;
}
