#include "fakeras.h"

#include "platform/rasfields.h"

#include <thread>

#include <chrono>
#include <cstring>

namespace {
constexpr DWORD timedOut = 638; // "The request has timed out."
}

FakeRas::FakeRas() { platform::ras::setBackend(this); }

FakeRas::~FakeRas() { platform::ras::setBackend(nullptr); }

void FakeRas::setVersion(DWORD majorVersion, DWORD minorVersion, DWORD platform)
{
    std::lock_guard<std::mutex> guard(lock);
    major = majorVersion;
    minor = minorVersion;
    platformId = platform;
}

void FakeRas::failVersionFor(DWORD sizeField)
{
    std::lock_guard<std::mutex> guard(lock);
    failingSizeFields.insert(sizeField);
}

void FakeRas::setEntryResult(DWORD code)
{
    std::lock_guard<std::mutex> guard(lock);
    entryResult = code;
}

void FakeRas::setCredentialsResult(DWORD code)
{
    std::lock_guard<std::mutex> guard(lock);
    credentialsResult = code;
}

void FakeRas::queueDial(DWORD result)
{
    std::lock_guard<std::mutex> guard(lock);
    dialScripts.push_back({ false, result });
}

void FakeRas::queueBlockingDial(DWORD resultWhenHungUp)
{
    std::lock_guard<std::mutex> guard(lock);
    dialScripts.push_back({ true, resultWhenHungUp });
}

void FakeRas::setEntryHook(std::function<void()> hook)
{
    std::lock_guard<std::mutex> guard(lock);
    entryHook = std::move(hook);
}

void FakeRas::setCredentialsHook(std::function<void()> hook)
{
    std::lock_guard<std::mutex> guard(lock);
    credentialsHook = std::move(hook);
}

void FakeRas::setDialHook(std::function<void()> hook)
{
    std::lock_guard<std::mutex> guard(lock);
    dialHook = std::move(hook);
}

void FakeRas::setHangUpDelay(int milliseconds)
{
    std::lock_guard<std::mutex> guard(lock);
    hangUpDelay = milliseconds;
}

bool FakeRas::waitForBlockedDial(int timeoutMilliseconds)
{
    std::unique_lock<std::mutex> guard(lock);
    return changed.wait_for(guard, std::chrono::milliseconds(timeoutMilliseconds), [this] { return !blocked.empty(); });
}

void FakeRas::releaseBlockedDials(DWORD result)
{
    std::lock_guard<std::mutex> guard(lock);
    for (const auto& dialling : blocked)
        endings[dialling.first] = result;
    changed.notify_all();
}

QStringList FakeRas::calls() const
{
    std::lock_guard<std::mutex> guard(lock);
    return callLog;
}

QVector<DWORD> FakeRas::versionSizeFields() const
{
    std::lock_guard<std::mutex> guard(lock);
    return versionSizes;
}

QVector<FakeRas::EntryCall> FakeRas::entryCalls() const
{
    std::lock_guard<std::mutex> guard(lock);
    return entries;
}

QVector<FakeRas::CredentialsCall> FakeRas::credentialsCalls() const
{
    std::lock_guard<std::mutex> guard(lock);
    return credentials;
}

QVector<FakeRas::DialCall> FakeRas::dialCalls() const
{
    std::lock_guard<std::mutex> guard(lock);
    return dials;
}

QVector<HRASCONN> FakeRas::hangUps() const
{
    std::lock_guard<std::mutex> guard(lock);
    return hungUp;
}

int FakeRas::liveConnections() const
{
    std::lock_guard<std::mutex> guard(lock);
    return static_cast<int>(live.size());
}

BOOL FakeRas::getVersion(LPOSVERSIONINFOW info)
{
    std::lock_guard<std::mutex> guard(lock);
    callLog << QStringLiteral("version");
    versionSizes << info->dwOSVersionInfoSize;
    if (failingSizeFields.count(info->dwOSVersionInfoSize))
        return FALSE;
    info->dwMajorVersion = major;
    info->dwMinorVersion = minor;
    info->dwPlatformId = platformId;
    return TRUE;
}

DWORD FakeRas::setEntryProperties(LPCWSTR phoneBook, LPCWSTR entryName, const RASENTRYW& entry, DWORD entryInfoSize,
    const BYTE* deviceInfo, DWORD deviceInfoSize)
{
    std::function<void()> hook;
    DWORD result = 0;
    {
        std::lock_guard<std::mutex> guard(lock);
        callLog << QStringLiteral("entry");
        EntryCall call;
        call.phoneBookNull = phoneBook == nullptr;
        call.entryName = platform::ras::wideText(entryName);
        std::memcpy(&call.entry, &entry, sizeof entry);
        call.entryInfoSize = entryInfoSize;
        call.deviceInfoNull = deviceInfo == nullptr;
        call.deviceInfoSize = deviceInfoSize;
        entries << call;
        hook = entryHook;
        result = entryResult;
    }
    if (hook)
        hook();
    return result;
}

DWORD FakeRas::setCredentials(
    LPCWSTR phoneBook, LPCWSTR entryName, const RASCREDENTIALSW& record, BOOL clearCredentials)
{
    std::function<void()> hook;
    DWORD result = 0;
    {
        std::lock_guard<std::mutex> guard(lock);
        callLog << QStringLiteral("credentials");
        CredentialsCall call;
        call.phoneBookNull = phoneBook == nullptr;
        call.entryName = platform::ras::wideText(entryName);
        std::memcpy(&call.credentials, &record, sizeof record);
        call.clearCredentials = clearCredentials;
        credentials << call;
        hook = credentialsHook;
        result = credentialsResult;
    }
    if (hook)
        hook();
    return result;
}

DWORD FakeRas::dial(const RASDIALEXTENSIONS* extensions, LPCWSTR phoneBook, const RASDIALPARAMSW& parameters,
    DWORD notifierType, LPVOID notifier, LPHRASCONN connection)
{
    const HRASCONN handle = platform::ras::newConnectionHandle();
    DialScript script;
    std::function<void()> hook;
    {
        std::lock_guard<std::mutex> guard(lock);
        callLog << QStringLiteral("dial");
        DialCall call;
        call.extensionsNull = extensions == nullptr;
        call.phoneBookNull = phoneBook == nullptr;
        std::memcpy(&call.parameters, &parameters, sizeof parameters);
        call.notifierType = notifierType;
        call.notifierNull = notifier == nullptr;
        call.handle = handle;
        dials << call;
        if (!dialScripts.empty()) {
            script = dialScripts.front();
            dialScripts.pop_front();
        }
        live.insert(handle);
        hook = dialHook;
    }
    if (hook)
        hook();
    platform::ras::publishHandle(connection, handle);

    std::unique_lock<std::mutex> guard(lock);
    DWORD result = script.result;
    if (script.blocks) {
        blocked[handle] = script.result;
        changed.notify_all();
        const bool ended
            = changed.wait_for(guard, std::chrono::seconds(30), [this, handle] { return endings.count(handle) != 0; });
        result = ended ? endings[handle] : timedOut;
        blocked.erase(handle);
        endings.erase(handle);
    }
    if (result != 0)
        live.erase(handle);
    return result;
}

DWORD FakeRas::hangUp(HRASCONN connection)
{
    int delay = 0;
    {
        std::lock_guard<std::mutex> guard(lock);
        delay = hangUpDelay;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    std::lock_guard<std::mutex> guard(lock);
    callLog << QStringLiteral("hangup");
    hungUp << connection;
    if (!live.erase(connection))
        return ERROR_INVALID_HANDLE;
    const auto dialling = blocked.find(connection);
    if (dialling != blocked.end()) {
        endings[connection] = dialling->second;
        changed.notify_all();
    }
    return 0;
}
