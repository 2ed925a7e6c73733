#include "app/settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace {
const QString heartbeatKey = QStringLiteral("vlrunning");
const QString raiseKey = QStringLiteral("vlmaximize");
const QString rememberedUserKey = QStringLiteral("vlu");
const QString rememberedPasswordKey = QStringLiteral("vlp");
const QString rememberFlagKey = QStringLiteral("vlr");

QString keyOf(app::settings::Preference preference)
{
    using app::settings::Preference;
    switch (preference) {
    case Preference::StartWithSystem:
        return QStringLiteral("startWithWindows");
    case Preference::AutoConnect:
        return QStringLiteral("vpn_auto_connect");
    case Preference::StartMinimized:
        return QStringLiteral("startMinimized");
    case Preference::ShowTaskbarIcon:
        return QStringLiteral("showTaskbarIcon");
    }
    return QString();
}

QString flagText(bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); }

bool isOne(const QSettings& settings, const QString& key)
{
    return settings.value(key).toString() == QLatin1String("1");
}
} // namespace

namespace app::settings {

void keepPrivate()
{
    const QString path = QSettings().fileName();
    // The registry on Windows has no file.
    if (!QDir::isAbsolutePath(path))
        return;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.exists() && file.open(QIODevice::WriteOnly))
        file.close();
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

QVariant storedHeartbeat() { return QSettings().value(heartbeatKey); }

void writeHeartbeat(qint64 msecsSinceEpoch) { QSettings().setValue(heartbeatKey, QString::number(msecsSinceEpoch)); }

void writeStopped() { QSettings().setValue(heartbeatKey, QStringLiteral("0")); }

void requestRaise() { QSettings().setValue(raiseKey, flagText(true)); }

bool beatAndTakeRaiseRequest(qint64 msecsSinceEpoch)
{
    QSettings settings;
    settings.setValue(heartbeatKey, QString::number(msecsSinceEpoch));
    // Written, and the file read again if another copy changed it.
    settings.sync();
    if (!isOne(settings, raiseKey))
        return false;
    settings.setValue(raiseKey, flagText(false));
    return true;
}

RememberedLogin rememberedLogin()
{
    const QSettings settings;
    RememberedLogin login;
    login.remember = isOne(settings, rememberFlagKey);
    login.user = settings.value(rememberedUserKey).toString();
    login.password = settings.value(rememberedPasswordKey).toString();
    return login;
}

void storeRememberedLogin(const QString& user, const QString& password, bool remember)
{
    QSettings settings;
    // As UTF-8 bytes, the form the stored values already have.
    settings.setValue(rememberedUserKey, remember ? user.toUtf8() : QByteArray());
    settings.setValue(rememberedPasswordKey, remember ? password.toUtf8() : QByteArray());
    settings.setValue(rememberFlagKey, flagText(remember));
}

bool preference(Preference preference) { return isOne(QSettings(), keyOf(preference)); }

void setPreference(Preference preference, bool on) { QSettings().setValue(keyOf(preference), flagText(on)); }

} // namespace app::settings
