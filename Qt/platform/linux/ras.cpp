#include "platform/ras.h"

#ifndef Q_OS_WIN
#include "platform/linux/networkmanager.h"
#include "platform/rasbackend.h"
#include "platform/rasfields.h"

#include <atomic>

namespace {

std::atomic<platform::ras::Backend*> installedBackend { nullptr };

platform::ras::Backend* defaultBackend()
{
    // Never destroyed: a hang-up still running when the program ends must
    // not find it gone.
    static auto* networkManager = new NetworkManagerBackend;
    return networkManager;
}

} // namespace

BOOL platform::ras::Backend::getVersion(LPOSVERSIONINFOW info)
{
    // Both Windows record sizes are accepted, as the system does; only the
    // fields common to both are filled.
    if (info->dwOSVersionInfoSize != kVersionInfoSize && info->dwOSVersionInfoSize != kVersionInfoExSize)
        return FALSE;
    info->dwMajorVersion = 10;
    info->dwMinorVersion = 0;
    info->dwBuildNumber = 19045;
    info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    return TRUE;
}

void platform::ras::setBackend(Backend* backend) { installedBackend.store(backend); }

platform::ras::Backend* platform::ras::backend()
{
    Backend* backend = installedBackend.load();
    return backend ? backend : defaultBackend();
}

HRASCONN platform::ras::newConnectionHandle()
{
    static std::atomic<std::uintptr_t> next { 1 };
    return reinterpret_cast<HRASCONN>(next.fetch_add(1));
}

void platform::ras::publishHandle(LPHRASCONN slot, HRASCONN handle) { storeHandle(slot, handle); }

BOOL GetVersionExW(LPOSVERSIONINFOW versionInformation)
{
    if (!versionInformation)
        return FALSE;
    return platform::ras::backend()->getVersion(versionInformation);
}

DWORD RasSetEntryPropertiesW(LPCWSTR phoneBook, LPCWSTR entryName, LPRASENTRYW entry, DWORD entryInfoSize,
    LPBYTE deviceInfo, DWORD deviceInfoSize)
{
    if (!entryName || !entry)
        return ERROR_INVALID_PARAMETER;
    // The record must say which layout it is and hold as many bytes as we
    // are told to read.
    if (entryInfoSize > sizeof(RASENTRYW) || entry->dwSize > entryInfoSize
        || (entry->dwSize != platform::ras::kEntryInfoSize && entry->dwSize != platform::ras::kEntryInfoSizeOld))
        return ERROR_INVALID_SIZE;
    return platform::ras::backend()->setEntryProperties(
        phoneBook, entryName, *entry, entryInfoSize, deviceInfo, deviceInfoSize);
}

DWORD RasSetCredentialsW(LPCWSTR phoneBook, LPCWSTR entryName, LPRASCREDENTIALSW credentials, BOOL clearCredentials)
{
    if (!entryName || !credentials)
        return ERROR_INVALID_PARAMETER;
    if (credentials->dwSize != platform::ras::kCredentialsSize)
        return ERROR_INVALID_SIZE;
    return platform::ras::backend()->setCredentials(phoneBook, entryName, *credentials, clearCredentials);
}

DWORD RasDialW(LPRASDIALEXTENSIONS extensions, LPCWSTR phoneBook, LPRASDIALPARAMSW parameters, DWORD notifierType,
    LPVOID notifier, LPHRASCONN connection)
{
    if (!parameters || !connection)
        return ERROR_INVALID_PARAMETER;
    if (parameters->dwSize != platform::ras::kDialParamsSize)
        return ERROR_INVALID_SIZE;
    return platform::ras::backend()->dial(extensions, phoneBook, *parameters, notifierType, notifier, connection);
}

DWORD RasHangUpW(HRASCONN connection)
{
    // Without a connection there is nothing to end.
    if (!connection)
        return ERROR_INVALID_HANDLE;
    return platform::ras::backend()->hangUp(connection);
}
#endif
