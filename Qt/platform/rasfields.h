#pragma once

// Helpers for filling and reading the remote-access records the same way on
// Windows and elsewhere.

#include "platform/ras.h"

#include <QString>

#include <cstddef>

namespace platform::ras {

// The size fields carry the Windows sizes of the records on every system
// (ours are larger where wchar_t is four bytes).
constexpr DWORD kVersionInfoExSize = 284; // OSVERSIONINFOEXW
constexpr DWORD kVersionInfoSize = 276; // OSVERSIONINFOW
constexpr DWORD kEntryInfoSize = 5616; // RASENTRYW from Windows XP on
constexpr DWORD kEntryInfoSizeOld = 2088; // RASENTRYW of Windows 2000
constexpr DWORD kCredentialsSize = 1068; // RASCREDENTIALSW
constexpr DWORD kDialParamsSize = 2104; // RASDIALPARAMSW

static_assert(sizeof(RASENTRYW) >= kEntryInfoSize, "RasSetEntryPropertiesW reads kEntryInfoSize bytes of the entry");

// Copies text into a fixed-length field with its terminating zero, or
// leaves the field untouched and answers false when the text does not fit.
// Lengths count UTF-16 units, as the Windows limits do.
template <std::size_t N>
bool copyToField(WCHAR (&field)[N], const QString& text)
{
    static_assert(N > 0, "a field holds at least its terminating zero");
    if (text.size() >= static_cast<int>(N))
        return false;
    // Never more wide characters than UTF-16 units, so this stays inside.
    const int written = text.toWCharArray(field);
    field[written] = 0;
    return true;
}

// The text of a field, up to its terminating zero or its end.
template <std::size_t N>
QString fieldText(const WCHAR (&field)[N])
{
    std::size_t length = 0;
    while (length < N && field[length] != 0)
        ++length;
    return QString::fromWCharArray(field, static_cast<int>(length));
}

// A zero-terminated wide string (null gives an empty text).
inline QString wideText(LPCWSTR text) { return text ? QString::fromWCharArray(text) : QString(); }

// The dial writes the connection handle on the dialer thread while the GUI
// thread may read it to hang up, so both sides go through these.
inline HRASCONN loadHandle(const HRASCONN* slot)
{
#ifdef _MSC_VER
    return static_cast<HRASCONN>(InterlockedCompareExchangePointer(
        reinterpret_cast<PVOID volatile*>(const_cast<HRASCONN*>(slot)), nullptr, nullptr));
#else
    return __atomic_load_n(slot, __ATOMIC_ACQUIRE);
#endif
}

inline void storeHandle(HRASCONN* slot, HRASCONN value)
{
#ifdef _MSC_VER
    InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(slot), value);
#else
    __atomic_store_n(slot, value, __ATOMIC_RELEASE);
#endif
}

} // namespace platform::ras
