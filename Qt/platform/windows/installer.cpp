#include "platform/installer.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

platform::installer::Route platform::installer::updateRoute() { return Route::RunInstaller; }

platform::installer::HandOver platform::installer::handOver(const QString& fileName, const QByteArray& installer)
{
    // Written whole or not at all: a truncated installer is never started.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(installer) != installer.size() || !file.commit())
        return HandOver::NotSaved;
    // Absolute: a bare name would be looked up in the program's folder first.
    const QString path = QDir::toNativeSeparators(QFileInfo(fileName).absoluteFilePath());
    return startDetached(path, { QStringLiteral("/SILENT") }) ? HandOver::Started : HandOver::NotStarted;
}
