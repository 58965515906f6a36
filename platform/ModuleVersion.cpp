#include "ModuleVersion.h"

CString ModuleVersion(HINSTANCE hInstance)
{
    if (hInstance == nullptr)
        hInstance = ::GetModuleHandleA(nullptr);
    HRSRC hResource = ::FindResourceA(hInstance, MAKEINTRESOURCEA(VS_VERSION_INFO), MAKEINTRESOURCEA(16));
    HGLOBAL hData = hResource != nullptr ? ::LoadResource(hInstance, hResource) : nullptr;
    const BYTE* p = hData != nullptr ? static_cast<const BYTE*>(::LockResource(hData)) : nullptr;
    DWORD cb = hResource != nullptr ? ::SizeofResource(hInstance, hResource) : 0;
    CString strVersion;
    for (DWORD i = 0; p != nullptr && i + sizeof(VS_FIXEDFILEINFO) <= cb; i += 4)
    {
        VS_FIXEDFILEINFO info;
        ::CopyMemory(&info, p + i, sizeof(info));
        if (info.dwSignature != VS_FFI_SIGNATURE)
            continue;
        strVersion.Format("%lu.%lu.%lu.%lu", static_cast<unsigned long>(HIWORD(info.dwFileVersionMS)),
                          static_cast<unsigned long>(LOWORD(info.dwFileVersionMS)),
                          static_cast<unsigned long>(HIWORD(info.dwFileVersionLS)),
                          static_cast<unsigned long>(LOWORD(info.dwFileVersionLS)));
        break;
    }
    return strVersion;
}
