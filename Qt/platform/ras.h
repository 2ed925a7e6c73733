#pragma once

// Remote-access calls with their Windows shape. On Windows these are the
// system's own; elsewhere they are ours, over a replaceable backend
// (platform/rasbackend.h).

#include <QtGlobal>

#ifdef Q_OS_WIN
#include <ras.h>
#include <raserror.h>
#include <windows.h>
#else
#include <cstdint>

using DWORD = std::uint32_t;
using WORD = std::uint16_t;
using BYTE = std::uint8_t;
using BOOL = int;
using ULONG_PTR = std::uintptr_t;
// wchar_t, as on Windows, so QString::toWCharArray fills our records the
// same way; it is four bytes wide here, so our records are larger than the
// Windows ones while their size fields keep the Windows values.
using WCHAR = wchar_t;
using LPCWSTR = const WCHAR*;
using LPVOID = void*;
using LPBYTE = BYTE*;

#ifndef FALSE
constexpr BOOL FALSE = 0;
#endif
#ifndef TRUE
constexpr BOOL TRUE = 1;
#endif

constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;

// Remote-access error codes our side produces itself (the backends add
// theirs, see platform/linux/networkmanager.cpp).
constexpr DWORD ERROR_CANNOT_FIND_PHONEBOOK_ENTRY = 623;
constexpr DWORD ERROR_USER_DISCONNECTION = 631;
constexpr DWORD ERROR_INVALID_SIZE = 632;

// System version.
constexpr DWORD VER_PLATFORM_WIN32s = 0;
constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

struct OSVERSIONINFOW {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    WCHAR szCSDVersion[128];
};
using LPOSVERSIONINFOW = OSVERSIONINFOW*;

struct OSVERSIONINFOEXW {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    WCHAR szCSDVersion[128];
    WORD wServicePackMajor;
    WORD wServicePackMinor;
    WORD wSuiteMask;
    BYTE wProductType;
    BYTE wReserved;
};
using LPOSVERSIONINFOEXW = OSVERSIONINFOEXW*;

// Field lengths of the remote-access records (without the terminating zero).
constexpr int RAS_MaxEntryName = 256;
constexpr int RAS_MaxDeviceType = 16;
constexpr int RAS_MaxDeviceName = 128;
constexpr int RAS_MaxPhoneNumber = 128;
constexpr int RAS_MaxCallbackNumber = RAS_MaxPhoneNumber;
constexpr int UNLEN = 256;
constexpr int PWLEN = 256;
constexpr int DNLEN = 15;

// Entry options (dwfOptions).
constexpr DWORD RASEO_UseCountryAndAreaCodes = 0x00000001;
constexpr DWORD RASEO_SpecificIpAddr = 0x00000002;
constexpr DWORD RASEO_SpecificNameServers = 0x00000004;
constexpr DWORD RASEO_IpHeaderCompression = 0x00000008;
constexpr DWORD RASEO_RemoteDefaultGateway = 0x00000010;
constexpr DWORD RASEO_DisableLcpExtensions = 0x00000020;
constexpr DWORD RASEO_RequireEncryptedPw = 0x00000400;
constexpr DWORD RASEO_RequireMsEncryptedPw = 0x00000800;
constexpr DWORD RASEO_RequireDataEncryption = 0x00001000;
constexpr DWORD RASEO_SecureLocalFiles = 0x00010000;
constexpr DWORD RASEO_PreviewUserPw = 0x01000000;
constexpr DWORD RASEO_ShowDialingProgress = 0x04000000;

// Entry options, second set (dwfOptions2).
constexpr DWORD RASEO2_SecureFileAndPrint = 0x00000001;
constexpr DWORD RASEO2_SecureClientForMSNet = 0x00000002;
constexpr DWORD RASEO2_DontNegotiateMultilink = 0x00000004;
constexpr DWORD RASEO2_DontUseRasCredentials = 0x00000008;
constexpr DWORD RASEO2_UsePreSharedKey = 0x00000010;
constexpr DWORD RASEO2_Internet = 0x00000020;
constexpr DWORD RASEO2_DisableNbtOverIP = 0x00000040;

constexpr DWORD RASNP_NetBEUI = 0x00000001;
constexpr DWORD RASNP_Ipx = 0x00000002;
constexpr DWORD RASNP_Ip = 0x00000004;

constexpr DWORD RASFP_Ppp = 0x00000001;
constexpr DWORD RASFP_Slip = 0x00000002;
constexpr DWORD RASFP_Ras = 0x00000004;

constexpr DWORD RASET_Phone = 1;
constexpr DWORD RASET_Vpn = 2;
constexpr DWORD RASET_Direct = 3;
constexpr DWORD RASET_Internet = 4;
constexpr DWORD RASET_Broadband = 5;

constexpr DWORD ET_None = 0;
constexpr DWORD ET_Require = 1;
constexpr DWORD ET_RequireMax = 2;
constexpr DWORD ET_Optional = 3;

constexpr DWORD VS_Default = 0;
constexpr DWORD VS_PptpOnly = 1;
constexpr DWORD VS_PptpFirst = 2;
constexpr DWORD VS_L2tpOnly = 3;
constexpr DWORD VS_L2tpFirst = 4;

#define RASDT_Vpn L"vpn"

constexpr DWORD RASCM_UserName = 0x00000001;
constexpr DWORD RASCM_Password = 0x00000002;
constexpr DWORD RASCM_Domain = 0x00000004;
constexpr DWORD RASCM_PreSharedKey = 0x00000010;

// The phone-book entry. Only the fields the dialer sets, in their Windows
// order; the rest is reserved space, so the record is as long as the
// entry-info size the dialer passes (5616, the Windows layout from XP on)
// and zeroing or reading that many bytes never leaves the record.
struct RASENTRYW {
    DWORD dwSize;
    DWORD dwfOptions;
    WCHAR szLocalPhoneNumber[RAS_MaxPhoneNumber + 1];
    DWORD dwfNetProtocols;
    DWORD dwFramingProtocol;
    WCHAR szDeviceType[RAS_MaxDeviceType + 1];
    WCHAR szDeviceName[RAS_MaxDeviceName + 1];
    DWORD dwType;
    DWORD dwEncryptionType;
    DWORD dwVpnStrategy;
    DWORD dwfOptions2;
    DWORD dwRedialCount;
    DWORD dwRedialPause;
    BYTE reserved[5616 - 10 * sizeof(DWORD)
        - (RAS_MaxPhoneNumber + 1 + RAS_MaxDeviceType + 1 + RAS_MaxDeviceName + 1) * sizeof(WCHAR)];
};
using LPRASENTRYW = RASENTRYW*;
static_assert(sizeof(RASENTRYW) == 5616, "the entry record must hold the entry-info size the dialer passes");

struct RASCREDENTIALSW {
    DWORD dwSize;
    DWORD dwMask;
    WCHAR szUserName[UNLEN + 1];
    WCHAR szPassword[PWLEN + 1];
    WCHAR szDomain[DNLEN + 1];
};
using LPRASCREDENTIALSW = RASCREDENTIALSW*;

struct RASDIALPARAMSW {
    DWORD dwSize;
    WCHAR szEntryName[RAS_MaxEntryName + 1];
    WCHAR szPhoneNumber[RAS_MaxPhoneNumber + 1];
    WCHAR szCallbackNumber[RAS_MaxCallbackNumber + 1];
    WCHAR szUserName[UNLEN + 1];
    WCHAR szPassword[PWLEN + 1];
    WCHAR szDomain[DNLEN + 1];
    DWORD dwSubEntry;
    ULONG_PTR dwCallbackId;
};
using LPRASDIALPARAMSW = RASDIALPARAMSW*;

// Never filled by the dialer (it passes null); declared for the call shape.
struct RASDIALEXTENSIONS;
using LPRASDIALEXTENSIONS = RASDIALEXTENSIONS*;

struct RasConnection;
using HRASCONN = RasConnection*;
using LPHRASCONN = HRASCONN*;

BOOL GetVersionExW(LPOSVERSIONINFOW versionInformation);

DWORD RasSetEntryPropertiesW(LPCWSTR phoneBook, LPCWSTR entryName, LPRASENTRYW entry, DWORD entryInfoSize,
    LPBYTE deviceInfo, DWORD deviceInfoSize);
DWORD RasSetCredentialsW(LPCWSTR phoneBook, LPCWSTR entryName, LPRASCREDENTIALSW credentials, BOOL clearCredentials);
// Blocks until the tunnel is up or the dial has failed. The handle is
// written through `connection` before the call blocks, so another thread
// can read it (through platform::ras::loadHandle) and abort the dial with RasHangUpW.
DWORD RasDialW(LPRASDIALEXTENSIONS extensions, LPCWSTR phoneBook, LPRASDIALPARAMSW parameters, DWORD notifierType,
    LPVOID notifier, LPHRASCONN connection);
DWORD RasHangUpW(HRASCONN connection);
#endif
