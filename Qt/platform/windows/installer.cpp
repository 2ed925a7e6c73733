#include "platform/installer.h"

#include <QDir>
#include <QFileInfo>

bool platform::installer::handOver(const QString& installerPath)
{
    // Absolute: a bare name would be looked up in the program's folder first.
    return startDetached(
        QDir::toNativeSeparators(QFileInfo(installerPath).absoluteFilePath()), { QStringLiteral("/SILENT") });
}
