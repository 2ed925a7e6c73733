#include "platform/linux/networkmanager.h"

#ifndef Q_OS_WIN

#include "platform/rasfields.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QtGlobal>

#include <algorithm>

#include <unistd.h>

namespace {

using platform::networkmanager::Outcome;
using platform::networkmanager::Step;

// Our own codes for what went wrong with nmcli; errorCode() maps them.
enum class Failure {
    None,
    NmcliMissing,
    NotRunning,
    TimedOut,
    HungUp,
    CannotWrite,
    NoProfile,
    InvalidEntry,
    Authentication,
    NoPlugin,
    NoRights,
    NoNetwork,
    NoKey,
    ActivationFailed,
    Unknown,
};

// The one table from nmcli failures to remote-access error codes. Each code
// is the one whose message (as the window words it) tells the user best
// what happened:
//   nmcli cannot be started       633 "...not configured for Remote Access dialout": the system has no
//                                     dial-out tool at all
//   NetworkManager not running    711 "RasMan initialization failure": the connection manager behind
//    (exit 8), no system bus          the dial is not there
//    ("Could not create NMClient")
//   no answer in time (exit 3,    718 "PPP timeout."
//    or our own bound ran out)
//   ended by a hang-up            631 "The port was disconnected by the user."
//   profile or secrets file       624 "Cannot write the phone book file."
//    cannot be written
//   profile missing (exit 10)     623 "Cannot find the phone book entry."
//   server address a plug-in      625 "Invalid information found in the phone book."
//    cannot use, or a key nmcli
//    cannot carry
//   L2TP entry without its key    627 "Cannot find key."
//   login refused, secrets        691 "Access denied because username and/or password is invalid", also
//    missing ("No valid secrets")     for a user name nmcli cannot carry
//   VPN plug-in not installed     609 "The device type does not exist.": no PPTP or L2TP support here
//    ("... was not installed.")
//   no right to control the       649 "The account does not have Remote Access permission.": the user may
//    network ("Insufficient           not change or take down connections here
//    privileges", "Not
//    authorized ...")
//   no network to start the VPN   1168 "Do you have an active internet connection? ..."
//    from ("Could not find
//    source connection")
//   activation failed (exit 4:    800 "Unable to establish the VPN connection. The VPN server may be
//    "The VPN service failed to       unreachable, or security parameters may not be configured properly..."
//    start" for a bad gateway, a
//    wrong IPsec key and a
//    password the L2TP server
//    refuses; "Unknown reason"
//    when PPP is missing and when
//    a PPTP server refuses the
//    password: neither plug-in
//    tells a refused login from
//    a failed connect, ...)
//   anything else                 635 "Unknown error."
struct FailureCode {
    Failure failure;
    DWORD code;
};
constexpr FailureCode failureCodes[] = {
    { Failure::None, 0 },
    { Failure::NmcliMissing, 633 },
    { Failure::NotRunning, 711 },
    { Failure::TimedOut, 718 },
    { Failure::HungUp, ERROR_USER_DISCONNECTION },
    { Failure::CannotWrite, 624 },
    { Failure::NoProfile, ERROR_CANNOT_FIND_PHONEBOOK_ENTRY },
    { Failure::InvalidEntry, 625 },
    { Failure::NoKey, 627 },
    { Failure::Authentication, 691 },
    { Failure::NoPlugin, 609 },
    { Failure::NoRights, 649 },
    { Failure::NoNetwork, 1168 },
    { Failure::ActivationFailed, 800 },
    { Failure::Unknown, 635 },
};

DWORD codeOf(Failure failure)
{
    for (const FailureCode& row : failureCodes) {
        if (row.failure == failure)
            return row.code;
    }
    return 635;
}

// nmcli's exit codes.
constexpr int exitTimeout = 3;
constexpr int exitActivationFailed = 4;
constexpr int exitNotRunning = 8;
constexpr int exitNotFound = 10;

bool mentions(const QString& text, std::initializer_list<const char*> phrases)
{
    for (const char* phrase : phrases) {
        if (text.contains(QLatin1String(phrase), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

// A line in which nmcli reports a failure. Some failures come with exit 0
// and on standard output: a refused hang-up ("Connection 'Velnor'
// deactivation failed: ...") and a refused save in the editor.
bool isFailureLine(const QString& line)
{
    const QString trimmed = line.trimmed();
    return trimmed.startsWith(QLatin1String("Error:")) || trimmed.contains(QLatin1String(" failed:"));
}

bool reportsFailure(const QString& text)
{
    const QStringList lines = text.split(QLatin1Char('\n'));
    return std::any_of(lines.begin(), lines.end(), isFailureLine);
}

Failure classify(Step step, const Outcome& outcome)
{
    if (!outcome.started)
        return Failure::NmcliMissing;
    if (outcome.cancelled)
        return Failure::HungUp;
    if (outcome.timedOut)
        return Failure::TimedOut;
    if (outcome.crashed)
        return Failure::Unknown;
    const QString& text = outcome.errorText;
    if (outcome.exitCode == 0 && !reportsFailure(text))
        return Failure::None;

    if (outcome.exitCode == exitNotRunning
        || mentions(text, { "NetworkManager is not running", "Could not create NMClient", "Could not connect" }))
        return Failure::NotRunning;
    if (mentions(text, { "Insufficient privileges", "Not authorized" }))
        return Failure::NoRights;
    if (outcome.exitCode == exitTimeout || mentions(text, { "timed out", "timeout expired" }))
        return Failure::TimedOut;
    // Taking down what is not up leaves nothing to end.
    if (step == Step::HangUp)
        return outcome.exitCode == exitNotFound || mentions(text, { "not an active connection" }) ? Failure::None
                                                                                                  : Failure::Unknown;
    if (outcome.exitCode == exitNotFound || mentions(text, { "unknown connection" }))
        return Failure::NoProfile;
    // Only this means a missing plug-in: "The VPN service failed to start"
    // comes from a bad gateway or a failed IPsec negotiation.
    if (mentions(text, { "was not installed" }))
        return Failure::NoPlugin;
    if (mentions(text, { "Could not find source connection" }))
        return Failure::NoNetwork;
    if (step == Step::WriteProfile)
        return Failure::CannotWrite;
    if (mentions(text,
            { "login failed", "secrets were required", "no valid secrets", "invalid secrets", "password",
                "authentication" }))
        return Failure::Authentication;
    if (outcome.exitCode == exitActivationFailed)
        return Failure::ActivationFailed;
    return Failure::Unknown;
}

// A server address goes into the profile's data list, whose items are
// separated by commas, and on to the plug-ins, which take a leading "-" for
// an option and cannot use a port (":") or brackets: only a plain host name
// or IPv4 address passes.
bool isPlainHost(const QString& host)
{
    if (host.isEmpty() || host.startsWith(QLatin1Char('-')) || host.startsWith(QLatin1Char('.')))
        return false;
    for (QChar c : host) {
        const bool allowed = (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            || (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            || c == QLatin1Char('.') || c == QLatin1Char('-') || c == QLatin1Char('_');
        if (!allowed)
            return false;
    }
    return true;
}

bool hasControlCharacter(const QString& value)
{
    return std::any_of(value.begin(), value.end(), [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; });
}

// How the entry's options map onto the profile. The password is never
// stored by NetworkManager (flags 2, "not saved"): it travels in the
// passwd-file of each dial. The L2TP key is stored in the profile (flags 0),
// since nmcli reads no key from a passwd-file; it goes there through the
// editor on standard input. Options without a NetworkManager equivalent (dialling
// progress and preview, multilink, NetBIOS, redial count and pause) are not
// carried over.
QString vpnData(const QString& gateway, DWORD options, DWORD options2, DWORD encryption, const QString& vpnType)
{
    QStringList items { QStringLiteral("gateway=") + gateway, QStringLiteral("password-flags=2") };
    if (vpnType == QLatin1String("l2tp") && (options2 & RASEO2_UsePreSharedKey)) {
        items << QStringLiteral("ipsec-enabled=yes") << QStringLiteral("ipsec-psk-flags=0");
    }
    if (options & RASEO_RequireMsEncryptedPw) {
        items << QStringLiteral("refuse-eap=yes") << QStringLiteral("refuse-chap=yes");
    }
    if (options & (RASEO_RequireEncryptedPw | RASEO_RequireMsEncryptedPw))
        items << QStringLiteral("refuse-pap=yes");
    // pppd negotiates MPPE only when it is required: without it a PPTP
    // server that encrypts ends the link ("MPPE required but peer negotiation
    // failed"), so optional encryption asks for it too. Over L2TP, IPsec
    // encrypts.
    const bool pptpOptional = vpnType == QLatin1String("pptp") && encryption == ET_Optional;
    if ((options & RASEO_RequireDataEncryption) || encryption == ET_Require || encryption == ET_RequireMax
        || pptpOptional)
        items << QStringLiteral("require-mppe=yes");
    if (encryption == ET_RequireMax)
        items << QStringLiteral("require-mppe-128=yes");
    return items.join(QStringLiteral(", "));
}

constexpr char secretsPrefix[] = "velnor-nmcli-";

// The folder holds nothing but our secret files: it must be a real folder
// of ours that nobody else can enter.
bool isOwnPrivateFolder(const QString& path)
{
    const QFileInfo info(path);
    const auto others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
        | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    return !path.isEmpty() && info.isDir() && !info.isSymLink() && info.ownerId() == ::geteuid()
        && !(info.permissions() & others);
}

bool makePrivateFolder(const QString& path)
{
    if (path.isEmpty() || !QDir().mkpath(path))
        return false;
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return isOwnPrivateFolder(path);
}

// Asks a run to end, then insists; both waits are bounded.
void stopProcess(QProcess& process)
{
    process.terminate();
    if (!process.waitForFinished(2000)) {
        process.kill();
        process.waitForFinished(2000);
    }
}

} // namespace

DWORD platform::networkmanager::errorCode(Step step, const Outcome& outcome) { return codeOf(classify(step, outcome)); }

// The editor takes one command a line and strips spaces at either end of a
// plain value, so a user name with a line break or such spaces would not
// arrive as it is.
bool platform::networkmanager::editorCanCarryName(const QString& name)
{
    return !name.isEmpty() && !hasControlCharacter(name) && name.trimmed() == name;
}

platform::networkmanager::PasswordFile::PasswordFile(const QString& password)
{
    const QString folder = secretsFolder();
    if (!makePrivateFolder(folder))
        return;
    file = std::make_unique<QTemporaryFile>(
        folder + QLatin1Char('/') + QLatin1String(secretsPrefix) + QStringLiteral("XXXXXX"));
    if (!file->open() || !file->setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return;
    // nmcli reads only the password from this file for every plug-in.
    QString line = QStringLiteral("vpn.secrets.password:") + escapeSecret(password) + QLatin1Char('\n');
    QByteArray contents = line.toUtf8();
    written = file->write(contents) == contents.size() && file->flush();
    // Our copies of the secret go as soon as it is written.
    line.fill(QLatin1Char('\0'));
    contents.fill('\0');
}

platform::networkmanager::PasswordFile::~PasswordFile()
{
    if (file)
        file->remove();
}

QString platform::networkmanager::PasswordFile::fileName() const { return file ? file->fileName() : QString(); }

QString platform::networkmanager::escapeSecret(const QString& value)
{
    QString escaped;
    escaped.reserve(value.size() + 8);
    for (int i = 0; i < value.size(); ++i) {
        const ushort c = value.at(i).unicode();
        if (c == '\\') {
            escaped += QStringLiteral("\\\\");
        } else if (c < 0x20 || c == 0x7f || (c == ' ' && (i == 0 || i == value.size() - 1))) {
            // nmcli strips unescaped spaces at either end and ends the value
            // at a line break.
            escaped += QLatin1Char('\\') + QString::number(c, 8).rightJustified(3, QLatin1Char('0'));
        } else {
            escaped += value.at(i);
        }
    }
    return escaped;
}

QString platform::networkmanager::program()
{
    const QString configured = qEnvironmentVariable("VELNOR_NMCLI");
    return configured.isEmpty() ? QStringLiteral("nmcli") : configured;
}

QString platform::networkmanager::escapeEditorSecret(const QString& value)
{
    QString escaped;
    escaped.reserve(value.size() + 8);
    for (QChar c : value) {
        // The editor splits a dictionary at commas and each item at "=",
        // and strips spaces; a backslash keeps the next character as it is.
        if (c == QLatin1Char('\\') || c == QLatin1Char(',') || c == QLatin1Char('=') || c == QLatin1Char(' '))
            escaped += QLatin1Char('\\');
        escaped += c;
    }
    // The line's end is stripped before the escapes are read: an empty item
    // after the value keeps its last escaped space.
    if (value.endsWith(QLatin1Char(' ')))
        escaped += QLatin1Char(',');
    return escaped;
}

QString platform::networkmanager::secretsFolder()
{
    // The runtime folder is memory-backed; under sudo it may be another
    // user's.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (isOwnPrivateFolder(runtime))
        return runtime;
    // Not /tmp, where a file left by a crash would stay for all to see.
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    return cache.isEmpty() ? QString() : cache + QStringLiteral("/nmcli");
}

NetworkManagerBackend::NetworkManagerBackend()
{
    // Secret files a crash left behind go at the next start.
    const QString path = platform::networkmanager::secretsFolder();
    if (path.isEmpty())
        return;
    const QDir folder(path);
    for (const QString& name : folder.entryList(
             { QLatin1String(secretsPrefix) + QLatin1Char('*') }, QDir::Files | QDir::Hidden | QDir::System))
        QFile::remove(folder.filePath(name));
}

void NetworkManagerBackend::setTimeLimits(int activation, int command)
{
    std::lock_guard<std::mutex> guard(lock);
    activationSeconds = activation;
    commandMilliseconds = command;
}

NetworkManagerBackend::Limits NetworkManagerBackend::currentLimits() const
{
    std::lock_guard<std::mutex> guard(lock);
    return { activationSeconds, commandMilliseconds };
}

bool NetworkManagerBackend::isLive(HRASCONN connection) const
{
    std::lock_guard<std::mutex> guard(lock);
    return connections.count(connection) != 0;
}

Outcome platform::networkmanager::run(const QStringList& arguments, int timeoutMilliseconds,
    const std::function<bool()>& cancelled, const QByteArray& input)
{
    Outcome outcome;
    QProcess process;
    process.setProgram(platform::networkmanager::program());
    process.setArguments(arguments);
    // Untranslated messages, so the error texts can be recognised.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    // nmcli's editor keeps every line it was given, the key among them, in
    // ~/.nmcli-history: give it a home where nothing can be created.
    environment.insert(QStringLiteral("HOME"), QProcess::nullDevice());
    process.setProcessEnvironment(environment);
    // Without input of ours nmcli must fail rather than wait for someone to
    // type a secret.
    if (input.isEmpty())
        process.setStandardInputFile(QProcess::nullDevice());
    process.start();
    if (!process.waitForStarted(timeoutMilliseconds)) {
        outcome.started = false;
        stopProcess(process);
        return outcome;
    }
    if (!input.isEmpty()) {
        process.write(input);
        process.closeWriteChannel();
    }

    QElapsedTimer clock;
    clock.start();
    // Short slices, so a hang-up from another thread is noticed quickly; the
    // process itself is only ever touched from this thread.
    while (!process.waitForFinished(50)) {
        if (process.state() == QProcess::NotRunning)
            break;
        if (cancelled && cancelled()) {
            outcome.cancelled = true;
            stopProcess(process);
            break;
        }
        if (clock.elapsed() > timeoutMilliseconds) {
            outcome.timedOut = true;
            stopProcess(process);
            break;
        }
    }
    outcome.crashed = process.exitStatus() == QProcess::CrashExit && !outcome.cancelled && !outcome.timedOut;
    outcome.exitCode = process.exitCode();
    outcome.errorText = QString::fromLocal8Bit(process.readAllStandardError());
    // Standard output echoes the editor's input, secrets included: only its
    // failure lines are kept.
    QByteArray output = process.readAllStandardOutput();
    for (const QString& line : QString::fromLocal8Bit(output).split(QLatin1Char('\n'))) {
        if (!line.startsWith(QLatin1String("nmcli>")) && isFailureLine(line))
            outcome.errorText += line + QLatin1Char('\n');
    }
    output.fill('\0');
    return outcome;
}

Outcome NetworkManagerBackend::run(
    const QStringList& arguments, int timeoutMilliseconds, HRASCONN cancelledBy, const QByteArray& input)
{
    const auto cancelled = [this, cancelledBy] { return cancelledBy && !isLive(cancelledBy); };
    return platform::networkmanager::run(arguments, timeoutMilliseconds, cancelled, input);
}

bool NetworkManagerBackend::usesKey(const Entry& entry)
{
    return entry.vpnType == QLatin1String("l2tp") && (entry.options2 & RASEO2_UsePreSharedKey);
}

DWORD NetworkManagerBackend::writeProfile(const QString& name, const Entry& entry)
{
    if (!isPlainHost(entry.gateway))
        return codeOf(Failure::InvalidEntry);
    if (usesKey(entry) && hasControlCharacter(entry.preSharedKey))
        return codeOf(Failure::InvalidEntry);
    const int timeout = currentLimits().commandMilliseconds;
    // Rewritten whole every time, so nothing of an earlier server lingers.
    const Outcome removed
        = run({ QStringLiteral("connection"), QStringLiteral("delete"), QStringLiteral("id"), name }, timeout);
    if (removed.started && !removed.timedOut && !removed.crashed && removed.exitCode == exitNotFound) {
        // There was none yet.
    } else if (const DWORD code = platform::networkmanager::errorCode(Step::WriteProfile, removed)) {
        return code;
    }

    const QStringList arguments { QStringLiteral("connection"), QStringLiteral("add"), QStringLiteral("type"),
        QStringLiteral("vpn"), QStringLiteral("con-name"), name, QStringLiteral("ifname"), QStringLiteral("*"),
        QStringLiteral("vpn-type"), entry.vpnType, QStringLiteral("connection.autoconnect"), QStringLiteral("no"),
        QStringLiteral("ipv4.never-default"),
        (entry.options & RASEO_RemoteDefaultGateway) ? QStringLiteral("no") : QStringLiteral("yes"),
        QStringLiteral("vpn.data"),
        vpnData(entry.gateway, entry.options, entry.options2, entry.encryption, entry.vpnType) };
    return platform::networkmanager::errorCode(Step::WriteProfile, run(arguments, timeout));
}

DWORD NetworkManagerBackend::setEntryProperties(
    LPCWSTR, LPCWSTR entryName, const RASENTRYW& record, DWORD, const BYTE*, DWORD)
{
    const QString name = platform::ras::wideText(entryName);
    Entry entry;
    entry.vpnType = (record.dwVpnStrategy == VS_L2tpOnly || record.dwVpnStrategy == VS_L2tpFirst)
        ? QStringLiteral("l2tp")
        : QStringLiteral("pptp");
    entry.gateway = platform::ras::fieldText(record.szLocalPhoneNumber);
    entry.options = record.dwfOptions;
    entry.options2 = record.dwfOptions2;
    entry.encryption = record.dwEncryptionType;
    if (name.isEmpty())
        return ERROR_INVALID_PARAMETER;
    {
        // New properties keep the entry's stored key, as on Windows.
        std::lock_guard<std::mutex> guard(lock);
        const auto previous = entries.find(name);
        if (previous != entries.end()) {
            entry.preSharedKey = previous->second.preSharedKey;
        }
        entries[name] = entry;
    }
    rememberProfileResult(name, writeProfile(name, entry));
    return 0;
}

// A profile that cannot be written (no nmcli, NetworkManager not running, a
// bad address) is reported by the next dial, which the window shows with
// its message; refused here, the dialer would only wait for its time-out.
void NetworkManagerBackend::rememberProfileResult(const QString& name, DWORD code)
{
    std::lock_guard<std::mutex> guard(lock);
    const auto found = entries.find(name);
    if (found != entries.end())
        found->second.profileError = code;
}

DWORD NetworkManagerBackend::setCredentials(
    LPCWSTR, LPCWSTR entryName, const RASCREDENTIALSW& credentials, BOOL clearCredentials)
{
    const QString name = platform::ras::wideText(entryName);
    Entry entry;
    {
        std::lock_guard<std::mutex> guard(lock);
        const auto found = entries.find(name);
        if (found == entries.end())
            return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
        // Only the pre-shared key is kept on the entry: the account's own
        // name and password come with every dial.
        if (credentials.dwMask & RASCM_PreSharedKey) {
            found->second.preSharedKey
                = clearCredentials ? QString() : platform::ras::fieldText(credentials.szPassword);
        }
        entry = found->second;
    }
    rememberProfileResult(name, writeProfile(name, entry));
    return 0;
}

DWORD NetworkManagerBackend::dial(
    const RASDIALEXTENSIONS*, LPCWSTR, const RASDIALPARAMSW& parameters, DWORD, LPVOID, LPHRASCONN connection)
{
    const QString name = platform::ras::fieldText(parameters.szEntryName);
    const HRASCONN handle = platform::ras::newConnectionHandle();
    Entry entry;
    bool known = false;
    Limits limits {};
    {
        std::lock_guard<std::mutex> guard(lock);
        connections[handle] = Connection { name };
        const auto found = entries.find(name);
        known = found != entries.end();
        if (known)
            entry = found->second;
        limits = { activationSeconds, commandMilliseconds };
    }
    platform::ras::publishHandle(connection, handle);

    const auto finish = [this, handle](DWORD code) {
        if (code != 0) {
            std::lock_guard<std::mutex> guard(lock);
            connections.erase(handle);
        }
        return code;
    };
    if (!known)
        return finish(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY);
    if (entry.profileError != 0) {
        const DWORD code = writeProfile(name, entry);
        rememberProfileResult(name, code);
        if (code != 0)
            return finish(code);
    }

    if (usesKey(entry) && entry.preSharedKey.isEmpty())
        return finish(codeOf(Failure::NoKey));
    const QString user = platform::ras::fieldText(parameters.szUserName);
    if (!platform::networkmanager::editorCanCarryName(user))
        return finish(codeOf(Failure::Authentication));

    // The user name and the key reach the profile through the editor on
    // standard input, so neither shows on a command line.
    QString script = QStringLiteral("set vpn.user-name ") + user + QLatin1Char('\n');
    if (usesKey(entry))
        script += QStringLiteral("set vpn.secrets ipsec-psk = ")
            + platform::networkmanager::escapeEditorSecret(entry.preSharedKey) + QLatin1Char('\n');
    // Right after a save, the editor may not have heard back yet and asks
    // whether to quit unsaved; a refused save shows as an error line.
    script += QStringLiteral("save\nquit\nyes\n");
    QByteArray input = script.toUtf8();
    script.fill(QLatin1Char('\0'));
    const Outcome edited = run({ QStringLiteral("connection"), QStringLiteral("edit"), QStringLiteral("id"), name },
        limits.commandMilliseconds, handle, input);
    input.fill('\0');
    if (const DWORD code = platform::networkmanager::errorCode(Step::WriteProfile, edited))
        return finish(code);
    if (!isLive(handle))
        return finish(ERROR_USER_DISCONNECTION);

    auto secrets
        = std::make_unique<platform::networkmanager::PasswordFile>(platform::ras::fieldText(parameters.szPassword));
    if (!secrets->isWritten())
        return finish(codeOf(Failure::CannotWrite));

    const QStringList down { QStringLiteral("connection"), QStringLiteral("down"), QStringLiteral("id"), name };
    const Outcome up = run(
        { QStringLiteral("--wait"), QString::number(limits.activationSeconds), QStringLiteral("connection"),
            QStringLiteral("up"), QStringLiteral("id"), name, QStringLiteral("passwd-file"), secrets->fileName() },
        limits.activationSeconds * 1000 + limits.commandMilliseconds, handle);
    secrets.reset();

    // A hang-up while nmcli finished on its own still wins: the tunnel is
    // being taken down. The hang-up's own "down" may have come before
    // NetworkManager began activating, which then goes on: take it down
    // once more now that "up" has ended.
    if (!isLive(handle)) {
        run(down, limits.commandMilliseconds);
        return finish(ERROR_USER_DISCONNECTION);
    }
    const DWORD code = platform::networkmanager::errorCode(Step::Dial, up);
    if (code == codeOf(Failure::TimedOut)) {
        // Whether our bound or nmcli's --wait ran out, NetworkManager may
        // still be activating: stop it, as a hang-up would.
        run(down, limits.commandMilliseconds);
    }
    return finish(code);
}

DWORD NetworkManagerBackend::hangUp(HRASCONN connection)
{
    QString name;
    {
        std::lock_guard<std::mutex> guard(lock);
        const auto found = connections.find(connection);
        if (found == connections.end())
            return ERROR_INVALID_HANDLE;
        name = found->second.entryName;
        // A dial still running sees this and stops its nmcli.
        connections.erase(found);
    }
    const Outcome down = run({ QStringLiteral("connection"), QStringLiteral("down"), QStringLiteral("id"), name },
        currentLimits().commandMilliseconds);
    const DWORD code = platform::networkmanager::errorCode(Step::HangUp, down);
    // Callers go on whatever the answer; what nmcli said stays in the log.
    if (code != 0)
        qWarning("NetworkManager: taking the connection down failed (code %lu, exit %d%s): %s",
            static_cast<unsigned long>(code), down.exitCode, down.crashed ? ", crashed" : "",
            qPrintable(down.errorText.trimmed()));
    return code;
}

#endif
