#include "platform/copy/OwnFolders.h"

#include <sddl.h>

const char COwnFolders::kSddl[] = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

COwnFolders::PFN_CREATEDIRECTORY COwnFolders::s_pfnCreateDirectory = &::CreateDirectoryA;

namespace {

bool IsLocalSystem(HANDLE hToken)
{
    union
    {
        TOKEN_USER user;
        BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } info;
    BYTE system[SECURITY_MAX_SID_SIZE];
    DWORD cbSystem = sizeof(system);
    DWORD cbInfo = 0;
    return ::GetTokenInformation(hToken, TokenUser, &info, sizeof(info), &cbInfo)
        && ::CreateWellKnownSid(WinLocalSystemSid, nullptr, system, &cbSystem) && ::EqualSid(info.user.User.Sid, system);
}

// The access list of a privileged run, made at the first folder (a start that copies
// nothing asks nothing of its token); a second copy that makes it at the same moment
// keeps the first one's.
PSECURITY_DESCRIPTOR const kNotMadeYet = reinterpret_cast<PSECURITY_DESCRIPTOR>(1);
PSECURITY_DESCRIPTOR volatile g_pDescriptor = kNotMadeYet;

PSECURITY_DESCRIPTOR Descriptor()
{
    PSECURITY_DESCRIPTOR pMade = g_pDescriptor;
    if (pMade != kNotMadeYet)
        return pMade;
    PSECURITY_DESCRIPTOR pDescriptor = nullptr;
    if (COwnFolders::IsPrivilegedRun()
        && !::ConvertStringSecurityDescriptorToSecurityDescriptorA(COwnFolders::kSddl, SDDL_REVISION_1, &pDescriptor, nullptr))
        pDescriptor = nullptr;
    pMade = ::InterlockedCompareExchangePointer(&g_pDescriptor, pDescriptor, kNotMadeYet);
    if (pMade == kNotMadeYet)
        return pDescriptor;
    ::LocalFree(pDescriptor);
    return pMade;
}

}  // namespace

bool COwnFolders::IsPrivilegedRun()
{
    HANDLE hToken = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &hToken))
        return false;
    bool bSystem = IsLocalSystem(hToken);
    ::CloseHandle(hToken);
    // A filtered administrator's token (UAC) holds the group for denying only: no member.
    BYTE admins[SECURITY_MAX_SID_SIZE];
    DWORD cbAdmins = sizeof(admins);
    BOOL bAdmin = FALSE;
    return bSystem
        || (::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &cbAdmins)
            && ::CheckTokenMembership(nullptr, admins, &bAdmin) && bAdmin);
}

DWORD COwnFolders::Make(const CString& strPath)
{
    PSECURITY_DESCRIPTOR pDescriptor = Descriptor();
    SECURITY_ATTRIBUTES sa = { sizeof(sa), pDescriptor, FALSE };
    if (s_pfnCreateDirectory(strPath, pDescriptor != nullptr ? &sa : nullptr))
        return 0;
    DWORD dwError = ::GetLastError();
    return dwError != 0 ? dwError : ERROR_GEN_FAILURE;
}
