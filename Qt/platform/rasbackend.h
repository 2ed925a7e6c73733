#pragma once

// What carries our remote-access calls where Windows does not. The calls in
// platform/ras.h check their arguments and hand them to the installed
// backend: NetworkManager by default, a scripted one in tests.

#include "platform/ras.h"

#ifndef Q_OS_WIN

namespace platform::ras {

class Backend {
public:
    virtual ~Backend() = default;

    // Answers for GetVersionExW. The default reports an NT-family system
    // recent enough for the current entry layout.
    virtual BOOL getVersion(LPOSVERSIONINFOW info);

    virtual DWORD setEntryProperties(LPCWSTR phoneBook, LPCWSTR entryName, const RASENTRYW& entry, DWORD entryInfoSize,
        const BYTE* deviceInfo, DWORD deviceInfoSize)
        = 0;
    virtual DWORD setCredentials(
        LPCWSTR phoneBook, LPCWSTR entryName, const RASCREDENTIALSW& credentials, BOOL clearCredentials)
        = 0;
    // Must make the connection known to hangUp() and then publish it with
    // publishHandle() before it blocks, so a hang-up from another thread
    // can end the dial.
    virtual DWORD dial(const RASDIALEXTENSIONS* extensions, LPCWSTR phoneBook, const RASDIALPARAMSW& parameters,
        DWORD notifierType, LPVOID notifier, LPHRASCONN connection)
        = 0;
    // Called from any thread, also while dial() blocks on another.
    virtual DWORD hangUp(HRASCONN connection) = 0;
};

// Installs a backend (the caller keeps ownership); nullptr restores the
// default. Swap only while no call is running.
void setBackend(Backend* backend);
Backend* backend();

// A handle no other connection of this process has had.
HRASCONN newConnectionHandle();
void publishHandle(LPHRASCONN slot, HRASCONN handle);

} // namespace platform::ras

#endif
