#pragma once

#include "platform/rasbackend.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <set>

// A scripted remote-access backend. It is installed for its lifetime (the
// default returns when it goes) and records every call with copies of the
// records passed. Thread-safe: dials run on the dialer thread while a test
// or the window hangs up from another.
//
// Unscripted, the system reports version 10.0 of the NT family, every call
// succeeds and a dial connects at once.
class FakeRas : public platform::ras::Backend {
public:
    FakeRas();
    ~FakeRas() override;

    FakeRas(const FakeRas&) = delete;
    FakeRas& operator=(const FakeRas&) = delete;

    // Script.
    void setVersion(DWORD major, DWORD minor, DWORD platformId = VER_PLATFORM_WIN32_NT);
    // GetVersionExW fails when the record's size field says this.
    void failVersionFor(DWORD sizeField);
    void setEntryResult(DWORD code);
    void setCredentialsResult(DWORD code);
    // The next dial returns this code at once.
    void queueDial(DWORD result);
    // The next dial blocks until it is hung up (then returns `resultWhenHungUp`)
    // or released; it gives up with 638 after 30 s so a broken test cannot hang.
    void queueBlockingDial(DWORD resultWhenHungUp = ERROR_USER_DISCONNECTION);
    // Runs inside every RasSetEntryPropertiesW, on the caller's thread.
    void setEntryHook(std::function<void()> hook);

    // Runs inside every RasSetCredentialsW, and inside every RasDialW before
    // the dial publishes its handle; on the caller's thread.
    void setCredentialsHook(std::function<void()> hook);
    void setDialHook(std::function<void()> hook);
    // Every hang-up takes this long before it does anything, as a slow
    // system's would.
    void setHangUpDelay(int milliseconds);
    // Waits until a dial is blocked; false if none came in time.
    bool waitForBlockedDial(int timeoutMilliseconds = 30000);
    // Ends every blocked dial with `result`, as if the far side had answered.
    void releaseBlockedDials(DWORD result);

    // Records.
    struct EntryCall {
        bool phoneBookNull = true;
        QString entryName;
        RASENTRYW entry {};
        DWORD entryInfoSize = 0;
        bool deviceInfoNull = true;
        DWORD deviceInfoSize = 0;
    };
    struct CredentialsCall {
        bool phoneBookNull = true;
        QString entryName;
        RASCREDENTIALSW credentials {};
        BOOL clearCredentials = FALSE;
    };
    struct DialCall {
        bool extensionsNull = true;
        bool phoneBookNull = true;
        RASDIALPARAMSW parameters {};
        DWORD notifierType = 0;
        bool notifierNull = true;
        HRASCONN handle = nullptr;
    };
    // Every call in order: "version", "entry", "credentials", "dial", "hangup".
    QStringList calls() const;
    QVector<DWORD> versionSizeFields() const;
    QVector<EntryCall> entryCalls() const;
    QVector<CredentialsCall> credentialsCalls() const;
    QVector<DialCall> dialCalls() const;
    QVector<HRASCONN> hangUps() const;
    // Connections dialling or up, not yet hung up.
    int liveConnections() const;

    BOOL getVersion(LPOSVERSIONINFOW info) override;
    DWORD setEntryProperties(LPCWSTR phoneBook, LPCWSTR entryName, const RASENTRYW& entry, DWORD entryInfoSize,
        const BYTE* deviceInfo, DWORD deviceInfoSize) override;
    DWORD setCredentials(
        LPCWSTR phoneBook, LPCWSTR entryName, const RASCREDENTIALSW& credentials, BOOL clearCredentials) override;
    DWORD dial(const RASDIALEXTENSIONS* extensions, LPCWSTR phoneBook, const RASDIALPARAMSW& parameters,
        DWORD notifierType, LPVOID notifier, LPHRASCONN connection) override;
    DWORD hangUp(HRASCONN connection) override;

private:
    struct DialScript {
        bool blocks = false;
        DWORD result = 0;
    };

    mutable std::mutex lock;
    std::condition_variable changed;

    DWORD major = 10;
    DWORD minor = 0;
    DWORD platformId = VER_PLATFORM_WIN32_NT;
    std::set<DWORD> failingSizeFields;
    DWORD entryResult = 0;
    DWORD credentialsResult = 0;
    std::deque<DialScript> dialScripts;
    std::function<void()> entryHook;
    std::function<void()> credentialsHook;
    std::function<void()> dialHook;
    int hangUpDelay = 0;

    QStringList callLog;
    QVector<DWORD> versionSizes;
    QVector<EntryCall> entries;
    QVector<CredentialsCall> credentials;
    QVector<DialCall> dials;
    QVector<HRASCONN> hungUp;

    std::set<HRASCONN> live;
    // Blocked dials, with the result they end with once hung up or released.
    std::map<HRASCONN, DWORD> blocked;
    std::map<HRASCONN, DWORD> endings;
};
