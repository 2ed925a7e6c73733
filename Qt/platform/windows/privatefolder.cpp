#include "platform/privatefolder.h"

#include <QDir>

#include <string>

#ifdef Q_OS_WIN
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

namespace {
// The SID of the user this process runs for, as text.
std::wstring currentUserSid()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return {};
    union {
        TOKEN_USER user;
        BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } info {};
    DWORD size = 0;
    const BOOL known = GetTokenInformation(token, TokenUser, &info, sizeof info, &size);
    CloseHandle(token);
    LPWSTR text = nullptr;
    if (!known || !ConvertSidToStringSidW(info.user.User.Sid, &text))
        return {};
    std::wstring sid(text);
    LocalFree(text);
    return sid;
}
} // namespace

// The program folder lets every local user read it, and include/ holds the
// OpenVPN password: a protected list (P) inherits nothing from it, and full
// access for the user, SYSTEM and Administrators passes on to what is inside.
bool platform::makePrivate(const QString& folder)
{
    const std::wstring user = currentUserSid();
    if (user.empty())
        return false;
    const std::wstring sddl = L"D:P(A;OICI;FA;;;" + user + L")(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
        return false;
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    std::wstring path = QDir::toNativeSeparators(folder).toStdWString();
    const bool done = GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) && present
        && SetNamedSecurityInfoW(path.data(), SE_FILE_OBJECT,
               DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr, dacl, nullptr)
            == ERROR_SUCCESS;
    LocalFree(descriptor);
    return done;
}
#endif
