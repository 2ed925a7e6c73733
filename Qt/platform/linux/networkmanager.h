#pragma once

// The remote-access backend on Linux: a phone-book entry is a NetworkManager
// connection profile of the same name, written, dialled and hung up with
// nmcli (the program in VELNOR_NMCLI, else "nmcli" on the path).

#include "platform/rasbackend.h"

#ifndef Q_OS_WIN

#include <QString>
#include <QStringList>
#include <QTemporaryFile>

#include <functional>
#include <map>
#include <memory>
#include <mutex>

namespace platform::networkmanager {

// How one nmcli run ended.
struct Outcome {
    bool started = true;
    bool timedOut = false; // our own bound ran out and the run was stopped
    bool cancelled = false; // a hang-up stopped the run
    bool crashed = false;
    int exitCode = 0;
    QString errorText; // what nmcli printed on standard error, and its failure lines on standard output
};

// What the run was for: the same failure means different things.
enum class Step { WriteProfile, Dial, HangUp };

// The remote-access error code for a run (0 for success); the table is in
// the source.
DWORD errorCode(Step step, const Outcome& outcome);

// A value as one line of an nmcli passwd-file: backslashes, line breaks and
// other control characters, and spaces at either end escaped, so nmcli
// reads back exactly the value.
QString escapeSecret(const QString& value);

// A key as a value in nmcli's editor ("set vpn.secrets ipsec-psk = ..."):
// commas, "=", backslashes and spaces escaped, so the editor stores exactly
// the value. Line breaks cannot be carried.
QString escapeEditorSecret(const QString& value);

// The nmcli program used now.
QString program();

// Where the passwd-file of a dial goes: the runtime folder, else a private
// folder in the user's cache.
QString secretsFolder();

// Runs nmcli with untranslated messages and no secret echoed back, for at
// most `timeoutMilliseconds`; `cancelled`, polled meanwhile from this
// thread, stops it early. `input` goes to its standard input.
Outcome run(const QStringList& arguments, int timeoutMilliseconds, const std::function<bool()>& cancelled = {},
    const QByteArray& input = QByteArray());

// Whether nmcli's editor carries the user name exactly as it is.
bool editorCanCarryName(const QString& name);

// A passwd-file giving nmcli the VPN password, private to us in
// secretsFolder(), removed with this object.
class PasswordFile {
public:
    explicit PasswordFile(const QString& password);
    ~PasswordFile();
    PasswordFile(const PasswordFile&) = delete;
    PasswordFile& operator=(const PasswordFile&) = delete;
    // False when it could not be written; nmcli must not be run then.
    bool isWritten() const { return written; }
    QString fileName() const;

private:
    std::unique_ptr<QTemporaryFile> file;
    bool written = false;
};

} // namespace platform::networkmanager

// Writing an entry or its key succeeds once the entry is remembered; when
// the profile cannot be written, the next dial retries and reports why.
class NetworkManagerBackend : public platform::ras::Backend {
public:
    NetworkManagerBackend();

    DWORD setEntryProperties(LPCWSTR phoneBook, LPCWSTR entryName, const RASENTRYW& entry, DWORD entryInfoSize,
        const BYTE* deviceInfo, DWORD deviceInfoSize) override;
    DWORD setCredentials(
        LPCWSTR phoneBook, LPCWSTR entryName, const RASCREDENTIALSW& credentials, BOOL clearCredentials) override;
    DWORD dial(const RASDIALEXTENSIONS* extensions, LPCWSTR phoneBook, const RASDIALPARAMSW& parameters,
        DWORD notifierType, LPVOID notifier, LPHRASCONN connection) override;
    DWORD hangUp(HRASCONN connection) override;

    // Bounds on waiting for NetworkManager: how long an activation may take
    // (passed to nmcli's --wait; we stop it ourselves once a command's time
    // more has passed) and how long any other nmcli command may run.
    void setTimeLimits(int activationSeconds, int commandMilliseconds);

private:
    struct Entry {
        QString vpnType; // "pptp" or "l2tp"
        QString gateway;
        DWORD options = 0;
        DWORD options2 = 0;
        DWORD encryption = 0;
        QString preSharedKey;
        DWORD profileError = 0; // why the profile could not be written last time
    };
    struct Connection {
        QString entryName;
    };

    static bool usesKey(const Entry& entry);
    DWORD writeProfile(const QString& name, const Entry& entry);
    void rememberProfileResult(const QString& name, DWORD code);
    platform::networkmanager::Outcome run(const QStringList& arguments, int timeoutMilliseconds,
        HRASCONN cancelledBy = nullptr, const QByteArray& input = QByteArray());
    bool isLive(HRASCONN connection) const;
    struct Limits {
        int activationSeconds;
        int commandMilliseconds;
    };
    Limits currentLimits() const;

    mutable std::mutex lock;
    std::map<QString, Entry> entries;
    // Connections dialling or up; a hang-up removes its connection, which is
    // how a dial in progress learns that it was abandoned.
    std::map<HRASCONN, Connection> connections;
    int activationSeconds = 60;
    int commandMilliseconds = 20000;
};

#endif
