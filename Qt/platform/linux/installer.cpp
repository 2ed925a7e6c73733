#include "platform/installer.h"

#include <QFileInfo>

bool platform::installer::handOver(const QString& installerPath)
{
    // The folder only: a default opener given the file would hand it to Wine.
    return startDetached(QStringLiteral("xdg-open"), { QFileInfo(installerPath).absolutePath() });
}
