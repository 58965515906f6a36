#include "platform/copy/NtFile.h"

namespace {

typedef LONG NTSTATUS_T;
struct UnicodeString
{
    USHORT Length;
    USHORT MaximumLength;
    PWSTR Buffer;
};
struct ObjectAttributes
{
    ULONG Length;
    HANDLE RootDirectory;
    UnicodeString* ObjectName;
    ULONG Attributes;
    PVOID SecurityDescriptor;
    PVOID SecurityQualityOfService;
};
struct IoStatusBlock
{
    union
    {
        NTSTATUS_T Status;
        PVOID Pointer;
    };
    ULONG_PTR Information;
};
struct FileBasicInformation
{
    LARGE_INTEGER CreationTime, LastAccessTime, LastWriteTime, ChangeTime;
    ULONG FileAttributes;
};

enum
{
    kFileDirectoryInformation = 1,
    kFileBasicInformation = 4,
    kFileDispositionInformation = 13,
    kFileDispositionInformationEx = 64,
};
const ULONG kObjCaseInsensitive = 0x40;
const ULONG kFileSynchronousIoNonalert = 0x20;
const ULONG kFileOpenForBackupIntent = 0x4000;
const ULONG kFileOpenReparsePoint = 0x200000;
const ULONG kDispositionDelete = 0x1;
const ULONG kDispositionIgnoreReadOnly = 0x10;
const NTSTATUS_T kStatusNoMoreFiles = static_cast<NTSTATUS_T>(0x80000006);

typedef NTSTATUS_T(NTAPI* PFN_NTOPENFILE)(PHANDLE, ACCESS_MASK, ObjectAttributes*, IoStatusBlock*, ULONG, ULONG);
typedef NTSTATUS_T(NTAPI* PFN_NTQUERYDIRECTORYFILE)(HANDLE, HANDLE, PVOID, PVOID, IoStatusBlock*, PVOID, ULONG, int,
                                                    BOOLEAN, UnicodeString*, BOOLEAN);
typedef NTSTATUS_T(NTAPI* PFN_NTSETINFORMATIONFILE)(HANDLE, IoStatusBlock*, PVOID, ULONG, int);
typedef ULONG(NTAPI* PFN_RTLNTSTATUSTODOSERROR)(NTSTATUS_T);

// Looked up once at start-up (a function's static would need a thread-safe guard, which
// would bring in a threads library calling what Windows XP lacks).
const HMODULE g_hNtdll = ::GetModuleHandleA("ntdll.dll");
template <class T>
T Lookup(const char* pszName)
{
    return reinterpret_cast<T>(reinterpret_cast<void*>(::GetProcAddress(g_hNtdll, pszName)));
}
const PFN_NTOPENFILE g_pfnOpen = Lookup<PFN_NTOPENFILE>("NtOpenFile");
const PFN_NTQUERYDIRECTORYFILE g_pfnQueryDirectory = Lookup<PFN_NTQUERYDIRECTORYFILE>("NtQueryDirectoryFile");
const PFN_NTSETINFORMATIONFILE g_pfnSetInformation = Lookup<PFN_NTSETINFORMATIONFILE>("NtSetInformationFile");
const PFN_RTLNTSTATUSTODOSERROR g_pfnToDosError = Lookup<PFN_RTLNTSTATUSTODOSERROR>("RtlNtStatusToDosError");

DWORD ErrorOf(NTSTATUS_T status)
{
    if (status >= 0)
        return 0;
    ULONG nError = g_pfnToDosError != nullptr ? g_pfnToDosError(status) : ERROR_GEN_FAILURE;
    return nError != 0 ? nError : ERROR_GEN_FAILURE;
}

UnicodeString Counted(LPCWSTR pszText)
{
    UnicodeString str;
    str.Length = str.MaximumLength = static_cast<USHORT>(::lstrlenW(pszText) * sizeof(WCHAR));
    str.Buffer = const_cast<PWSTR>(pszText);
    return str;
}

}  // namespace

HANDLE CNtFile::OpenRelative(HANDLE hFolder, LPCWSTR pszName, ACCESS_MASK access, ULONG nShare, ULONG nOptions,
                             DWORD& dwError)
{
    if (g_pfnOpen == nullptr)
        return dwError = ERROR_NOT_SUPPORTED, INVALID_HANDLE_VALUE;
    UnicodeString name = Counted(pszName);
    ObjectAttributes attributes = { sizeof(ObjectAttributes), hFolder, &name, kObjCaseInsensitive, nullptr, nullptr };
    IoStatusBlock iosb = {};
    HANDLE h = INVALID_HANDLE_VALUE;
    dwError = ErrorOf(g_pfnOpen(&h, access | SYNCHRONIZE, &attributes, &iosb, nShare,
                                nOptions | kFileOpenReparsePoint | kFileSynchronousIoNonalert | kFileOpenForBackupIntent));
    return dwError == 0 ? h : INVALID_HANDLE_VALUE;
}

DWORD CNtFile::QueryDirectory(HANDLE hFolder, void* pBuffer, ULONG cbBuffer, LPCWSTR pszMask, bool bSingle, bool bRestart)
{
    if (g_pfnQueryDirectory == nullptr)
        return ERROR_NOT_SUPPORTED;
    UnicodeString mask = Counted(pszMask != nullptr ? pszMask : L"");
    IoStatusBlock iosb = {};
    NTSTATUS_T status = g_pfnQueryDirectory(hFolder, nullptr, nullptr, nullptr, &iosb, pBuffer, cbBuffer,
                                            kFileDirectoryInformation, bSingle ? TRUE : FALSE,
                                            pszMask != nullptr ? &mask : nullptr, bRestart ? TRUE : FALSE);
    return status == kStatusNoMoreFiles ? DWORD(ERROR_NO_MORE_FILES) : ErrorOf(status);
}

DWORD CNtFile::SetDeleteDisposition(HANDLE h, bool bIgnoreReadOnly)
{
    if (g_pfnSetInformation == nullptr)
        return ERROR_NOT_SUPPORTED;
    IoStatusBlock iosb = {};
    if (bIgnoreReadOnly)
    {
        ULONG nFlags = kDispositionDelete | kDispositionIgnoreReadOnly;
        return ErrorOf(g_pfnSetInformation(h, &iosb, &nFlags, sizeof(nFlags), kFileDispositionInformationEx));
    }
    BOOLEAN bDelete = TRUE;
    return ErrorOf(g_pfnSetInformation(h, &iosb, &bDelete, sizeof(bDelete), kFileDispositionInformation));
}

DWORD CNtFile::SetAttributes(HANDLE h, DWORD dwAttributes)
{
    if (g_pfnSetInformation == nullptr)
        return ERROR_NOT_SUPPORTED;
    FileBasicInformation basic = {};   // times of 0 stay as they are
    basic.FileAttributes = dwAttributes != 0 ? dwAttributes : FILE_ATTRIBUTE_NORMAL;
    IoStatusBlock iosb = {};
    return ErrorOf(g_pfnSetInformation(h, &iosb, &basic, sizeof(basic), kFileBasicInformation));
}
