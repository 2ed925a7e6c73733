#include "platform/autostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

QString platform::autostart::entryPath()
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    // The base-directory rules ignore a relative value.
    if (config.isEmpty() || !QDir::isAbsolutePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/autostart/velnor-vpn.desktop");
}

QString platform::autostart::execValue(const QString& executable)
{
    // Inside double quotes the Exec rules escape `"`, "`", "$" and "\" with a
    // backslash, and "%" doubles since it starts a field code. The value is
    // then a string value, whose own escapes apply on top: "\" doubles again,
    // and line breaks become escapes.
    QString quoted;
    for (const QChar character : executable) {
        if (character == QLatin1Char('"') || character == QLatin1Char('`') || character == QLatin1Char('$')
            || character == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        else if (character == QLatin1Char('%'))
            quoted += QLatin1Char('%');
        quoted += character;
    }
    QString value = QStringLiteral("\"");
    for (const QChar character : quoted) {
        if (character == QLatin1Char('\\'))
            value += QStringLiteral("\\\\");
        else if (character == QLatin1Char('\n'))
            value += QStringLiteral("\\n");
        else if (character == QLatin1Char('\t'))
            value += QStringLiteral("\\t");
        else if (character == QLatin1Char('\r'))
            value += QStringLiteral("\\r");
        else
            value += character;
    }
    return value + QLatin1Char('"');
}

QString platform::autostart::program(const QString& executable, const QString& installedBinDir)
{
    const QFileInfo file(executable);
    // Compared as canonical paths when both exist, so a link or "..", not the
    // spelling, decides.
    if (!installedBinDir.isEmpty() && QDir(file.absolutePath()) == QDir(installedBinDir))
        return file.fileName();
    return executable;
}

bool platform::autostart::add(const QString& executable)
{
    const QString path = entryPath();
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QString entry = QStringLiteral("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=Velnor VPN Tarvex\n"
                                         "Exec=%1\n"
                                         "Terminal=false\n"
                                         "X-GNOME-Autostart-enabled=true\n")
                              .arg(execValue(executable));
    file.write(entry.toUtf8());
    return file.commit();
}

bool platform::autostart::remove()
{
    QFile file(entryPath());
    return !file.exists() || file.remove();
}

const char* platform::autostart::optionText() { return "Start application with the system"; }
