#include "connection/pppworker.h"

#include "platform/rasfields.h"

#include <cstring>
#include <memory>
#include <utility>

namespace {

using connection::State;

// Inputs longer than their field of the remote-access records are refused
// before anything is written: a cut address would dial another host and a
// cut password or key would only fail later for a reason the user cannot
// see. The attempt ends as an error with the code whose message fits:
//   server address over 128 characters    723 "The phone number, including prefix and suffix, is too long."
//   user name or password over 256        691 "Access denied because username and/or password is invalid"
//   pre-shared key over 256               811 "...typically caused by a pre-shared key problem..."
constexpr DWORD addressTooLong = 723;
constexpr DWORD credentialTooLong = 691;
constexpr DWORD keyTooLong = 811;

} // namespace

PPPWorker::PPPWorker(QObject* parent)
    : QObject(parent)
    , hangUps(new QThreadPool(this))
{
    // One at a time, in the order asked.
    hangUps->setMaxThreadCount(1);
}

PPPWorker::~PPPWorker() { hangUps->waitForDone(); }

void PPPWorker::setDialInputs(const DialInputs& inputs)
{
    std::lock_guard<std::mutex> guard(lock);
    protocol = inputs.protocol;
    preSharedKey = inputs.preSharedKey;
    serverAddress = inputs.serverAddress;
    userName = inputs.userName;
    password = inputs.password;
    serverName = inputs.serverName;
}

QString PPPWorker::serverNameText() const
{
    std::lock_guard<std::mutex> guard(lock);
    return serverName;
}

State PPPWorker::state() const
{
    std::lock_guard<std::mutex> guard(lock);
    return status;
}

void PPPWorker::setState(State value)
{
    std::lock_guard<std::mutex> guard(lock);
    status = value;
}

QString PPPWorker::statusText() const { return connection::wordOf(state()); }

void PPPWorker::setStatus(const QString& word) { setState(connection::stateOf(word)); }

QString PPPWorker::errorCodeText() const
{
    std::lock_guard<std::mutex> guard(lock);
    return errorCode;
}

void PPPWorker::setErrorCode(const QString& value)
{
    std::lock_guard<std::mutex> guard(lock);
    errorCode = value;
}

PPPWorker::Result PPPWorker::result() const
{
    std::lock_guard<std::mutex> guard(lock);
    return { status, errorCode };
}

void PPPWorker::readResult(QString* statusOut, QString* errorCodeOut) const
{
    const Result now = result();
    *statusOut = connection::wordOf(now.state);
    *errorCodeOut = now.errorCode;
}

HRASCONN PPPWorker::connectionHandle() const
{
    std::lock_guard<std::mutex> guard(lock);
    return platform::ras::loadHandle(&connHandle);
}

void PPPWorker::hangUp()
{
    HRASCONN handle = nullptr;
    {
        std::lock_guard<std::mutex> guard(lock);
        abandonedRuns = runs;
        status = State::Stop;
        handle = platform::ras::loadHandle(&connHandle);
    }
    hangUps->start([handle] { RasHangUpW(handle); });
}

bool PPPWorker::waitForHangUps(int milliseconds) { return hangUps->waitForDone(milliseconds); }

void PPPWorker::whenHungUp(QObject* context, std::function<void()> done)
{
    quint64 mark = 0;
    {
        std::lock_guard<std::mutex> guard(lock);
        mark = ++hangUpMarks;
    }
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = connect(this, &PPPWorker::hangUpsPassed, context, [connection, mark, done](quint64 passed) {
        if (passed < mark)
            return;
        QObject::disconnect(*connection);
        done();
    });
    // The pool runs one job at a time, in the order asked: this one runs
    // once every earlier hang-up has returned.
    hangUps->start([this, mark] { emit hangUpsPassed(mark); });
}

void PPPWorker::setRunPending(bool pending)
{
    std::lock_guard<std::mutex> guard(lock);
    runPending = pending;
}

bool PPPWorker::takeRunPending()
{
    std::lock_guard<std::mutex> guard(lock);
    return std::exchange(runPending, false);
}

void PPPWorker::reportResult(quint64 run, DWORD result)
{
    HRASCONN lateConnection = nullptr;
    {
        std::lock_guard<std::mutex> guard(lock);
        errorCode = QString::number(result);
        if (run <= abandonedRuns || status == State::Stop) {
            // Abandoned while dialling: the failure is the abandonment itself,
            // and a tunnel that came up all the same must not stay up.
            if (result == 0)
                lateConnection = platform::ras::loadHandle(&connHandle);
            errorCode = connection::wordOf(State::Disconnected);
            status = State::None;
        } else {
            status = result == 0 ? State::Connected : State::Error;
        }
    }
    if (lateConnection)
        RasHangUpW(lateConnection);
}

void PPPWorker::VPNStart()
{
    // Every run is one complete dial from the inputs as they are now, so the
    // thread can be run again for the next one.
    DialInputs inputs;
    quint64 run = 0;
    {
        std::lock_guard<std::mutex> guard(lock);
        run = ++runs;
        status = State::InProgress;
        errorCode.clear();
        inputs = { protocol, preSharedKey, serverAddress, userName, password, serverName };
    }

    OSVERSIONINFOEXW version;
    std::memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = platform::ras::kVersionInfoExSize;
    if (!GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&version))) {
        version.dwOSVersionInfoSize = platform::ras::kVersionInfoSize;
        if (!GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&version)))
            return;
    }
    if (version.dwPlatformId != VER_PLATFORM_WIN32_NT)
        return;

    const bool xpLayout = version.dwMajorVersion > 5 || (version.dwMajorVersion == 5 && version.dwMinorVersion != 0);
    const DWORD entrySize = xpLayout ? platform::ras::kEntryInfoSize : platform::ras::kEntryInfoSizeOld;

    // The whole record is zeroed, which covers either size.
    RASENTRYW entry;
    std::memset(&entry, 0, sizeof entry);
    entry.dwSize = entrySize;

    const bool l2tp = inputs.protocol == QLatin1String("L2TP");
    if (inputs.protocol != QLatin1String("PPTP") && !l2tp)
        return;

    DWORD refusal = 0;
    if (inputs.serverAddress.size() > RAS_MaxPhoneNumber)
        refusal = addressTooLong;
    else if (inputs.userName.size() > UNLEN || inputs.password.size() > PWLEN)
        refusal = credentialTooLong;
    else if (l2tp && inputs.preSharedKey.size() > PWLEN)
        refusal = keyTooLong;
    if (refusal) {
        reportResult(run, refusal);
        return;
    }

    platform::ras::copyToField(entry.szLocalPhoneNumber, inputs.serverAddress);
    entry.dwfOptions
        = RASEO_RemoteDefaultGateway | RASEO_SecureLocalFiles | RASEO_PreviewUserPw | RASEO_ShowDialingProgress;
    entry.dwfNetProtocols = RASNP_Ip;
    entry.dwFramingProtocol = RASFP_Ppp;
    platform::ras::copyToField(entry.szDeviceType, QStringLiteral("vpn")); // RASDT_Vpn
    platform::ras::copyToField(entry.szDeviceName, QStringLiteral("VPN"));
    entry.dwType = RASET_Vpn;
    entry.dwEncryptionType = ET_Optional;
    entry.dwVpnStrategy = l2tp ? VS_L2tpOnly : VS_PptpOnly;
    entry.dwfOptions2 = RASEO2_DontNegotiateMultilink | RASEO2_DisableNbtOverIP;
    if (l2tp)
        entry.dwfOptions2 |= RASEO2_UsePreSharedKey;
    entry.dwRedialCount = 3;
    entry.dwRedialPause = 1;

    // The entry-info size stays the current layout's also when the record
    // says the older one.
    if (RasSetEntryPropertiesW(nullptr, L"Velnor", &entry, platform::ras::kEntryInfoSize, nullptr, 0) != 0)
        return;

    if (l2tp) {
        // Stored even when empty, so no key of an earlier server stays on
        // the entry.
        RASCREDENTIALSW credentials;
        std::memset(&credentials, 0, sizeof credentials);
        credentials.dwSize = platform::ras::kCredentialsSize;
        credentials.dwMask = RASCM_PreSharedKey;
        platform::ras::copyToField(credentials.szPassword, inputs.preSharedKey);
        if (RasSetCredentialsW(nullptr, L"Velnor", &credentials, FALSE) != 0)
            return;
    }

    // Phone number, callback and sub-entry stay zero: RAS dials the entry's
    // own number on all its sub-entries.
    RASDIALPARAMSW parameters;
    std::memset(&parameters, 0, sizeof parameters);
    parameters.dwSize = platform::ras::kDialParamsSize;
    platform::ras::copyToField(parameters.szEntryName, QStringLiteral("Velnor"));
    platform::ras::copyToField(parameters.szUserName, inputs.userName);
    platform::ras::copyToField(parameters.szPassword, inputs.password);
    platform::ras::copyToField(parameters.szDomain, QString());

    {
        std::lock_guard<std::mutex> guard(lock);
        platform::ras::storeHandle(&connHandle, nullptr);
        // Abandoned while the entry was being written: the hang-up had no
        // connection to end yet, so no dial may start now.
        if (run <= abandonedRuns || status == State::Stop) {
            errorCode = connection::wordOf(State::Disconnected);
            status = State::None;
            return;
        }
    }
    reportResult(run, RasDialW(nullptr, nullptr, &parameters, 0, nullptr, &connHandle));
}
