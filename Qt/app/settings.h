#pragma once

#include <QString>
#include <QVariant>

// The per-user settings store: every key is named once, in settings.cpp,
// and read or written only through these functions, with its type.
namespace app::settings {

// Makes the store's file owner-only (it holds a remembered password),
// creating it empty first if needed, so no write ever lands in a file others
// can read. Later writes keep the mode. Call before the first write.
void keepPrivate();

// "vlrunning": the running copy's heartbeat, milliseconds since the epoch as
// decimal text; "0" after an orderly exit. Read raw, since a corrupt value
// has its own rule (singleinstance.h).
QVariant storedHeartbeat();
void writeHeartbeat(qint64 msecsSinceEpoch);
void writeStopped();

// "vlmaximize": "1" while a refused copy waits for the running one to show
// its window.
void requestRaise();

// The monitor tick's part: writes the heartbeat, then takes a pending raise
// request (true, and the request cleared, when one was pending), through one
// opening of the store.
bool beatAndTakeRaiseRequest(qint64 msecsSinceEpoch);

// "vlu", "vlp", "vlr": the login inputs exactly as typed, and whether the next
// start signs in with them.
struct RememberedLogin {
    QString user;
    QString password;
    bool remember = false;
};
RememberedLogin rememberedLogin();
// Stores the inputs when `remember` is set, empty values otherwise.
void storeRememberedLogin(const QString& user, const QString& password, bool remember);

// The start-up preferences, each stored as "1" or "0"; anything else reads as off.
enum class Preference {
    StartWithSystem, // "startWithWindows"
    AutoConnect, // "vpn_auto_connect"
    StartMinimized, // "startMinimized"
    ShowTaskbarIcon, // "showTaskbarIcon"
};
bool preference(Preference preference);
void setPreference(Preference preference, bool on);

} // namespace app::settings
