#include "platform/autostart.h"

#include <QSettings>

namespace {
const QString runKey = QStringLiteral("HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run");
const QString valueName = QStringLiteral("Velnor");
} // namespace

// The Run key starts nothing by name alone.
QString platform::autostart::program(const QString& executable, const QString&) { return executable; }

bool platform::autostart::add(const QString& executable)
{
    QSettings run(runKey, QSettings::NativeFormat);
    run.setValue(valueName, executable);
    run.sync();
    return run.status() == QSettings::NoError;
}

bool platform::autostart::remove()
{
    QSettings run(runKey, QSettings::NativeFormat);
    run.remove(valueName);
    run.sync();
    return run.status() == QSettings::NoError;
}

const char* platform::autostart::optionText() { return "Start application with Windows"; }
