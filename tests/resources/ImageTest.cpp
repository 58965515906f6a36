// What the built exe asks of Windows when it loads: only system DLLs and functions that
// Windows XP SP3 has, NX and ASLR, and an image header that XP's loader accepts.
#include "Distribution.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>

namespace {

// Functions that came with Vista or later, and that a program or its runtime might use.
const std::set<std::string> kNewerThanXp = {
    "CompareStringOrdinal", "CompareStringEx", "SetDefaultDllDirectories", "AddDllDirectory", "GetTickCount64",
    "InitializeSRWLock", "AcquireSRWLockExclusive", "AcquireSRWLockShared", "ReleaseSRWLockExclusive",
    "ReleaseSRWLockShared", "TryAcquireSRWLockExclusive", "InitializeConditionVariable", "SleepConditionVariableCS",
    "SleepConditionVariableSRW", "WakeConditionVariable", "WakeAllConditionVariable", "InitOnceExecuteOnce",
    "InitOnceBeginInitialize", "InitOnceComplete", "InitializeCriticalSectionEx", "FlsAlloc", "FlsGetValue",
    "FlsSetValue", "FlsFree", "GetFileInformationByHandleEx", "SetFileInformationByHandle",
    "GetFinalPathNameByHandleA", "GetFinalPathNameByHandleW", "CreateSymbolicLinkA", "CreateSymbolicLinkW",
    "QueryFullProcessImageNameA", "QueryFullProcessImageNameW", "CancelIoEx", "CancelSynchronousIo",
    "CreateEventExA", "CreateEventExW", "CreateMutexExA", "CreateMutexExW", "GetErrorMode", "SetThreadErrorMode",
    "GetThreadId", "LocaleNameToLCID", "LCIDToLocaleName", "GetUserDefaultLocaleName", "GetLocaleInfoEx",
    "GetSystemTimePreciseAsFileTime", "RegGetValueA", "RegGetValueW", "RegDeleteTreeA", "RegDeleteTreeW",
    "RegSetKeyValueA", "RegDeleteKeyExA", "SHGetKnownFolderPath", "SHCreateItemFromParsingName", "TaskDialog",
    "TaskDialogIndirect", "SetProcessDPIAware", "ChangeWindowMessageFilter", "ChangeWindowMessageFilterEx",
    "GetDpiForWindow", "GetDpiForSystem", "AdjustWindowRectExForDpi", "SetProcessDpiAwarenessContext",
};

}  // namespace

// Catches: an exe that XP refuses to load or start (a newer function, subsystem or DLL), or
// that loses NX, ASLR or its System32-only imports.
TEST(ImageTest, ImportsOnlySystemDllsAndIsHardened)
{
    std::string image = support::ReadBytes(support::ProductDir() + "\\VORMELSetup.exe");
    ASSERT_GT(image.size(), 0x400u);
    const char* base = image.data();
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
    ASSERT_EQ(static_cast<DWORD>(IMAGE_NT_SIGNATURE), nt->Signature);
    EXPECT_EQ(IMAGE_FILE_MACHINE_I386, nt->FileHeader.Machine);
    EXPECT_EQ(IMAGE_SUBSYSTEM_WINDOWS_GUI, nt->OptionalHeader.Subsystem);
    EXPECT_TRUE(nt->OptionalHeader.DllCharacteristics & IMAGE_DLLCHARACTERISTICS_NX_COMPAT);
    EXPECT_TRUE(nt->OptionalHeader.DllCharacteristics & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE);
    // Windows XP refuses an image that asks for a newer subsystem than its own, 5.01.
    EXPECT_EQ(5, nt->OptionalHeader.MajorSubsystemVersion);
    EXPECT_EQ(1, nt->OptionalHeader.MinorSubsystemVersion);
    EXPECT_EQ(5, nt->OptionalHeader.MajorOperatingSystemVersion);
    EXPECT_EQ(1, nt->OptionalHeader.MinorOperatingSystemVersion);

    // File offset of a relative virtual address.
    const auto* sections = IMAGE_FIRST_SECTION(nt);
    auto at = [&](DWORD rva) -> const char* {
        for (int i = 0; i < nt->FileHeader.NumberOfSections; ++i)
        {
            const IMAGE_SECTION_HEADER& s = sections[i];
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + std::max(s.Misc.VirtualSize, s.SizeOfRawData))
                return base + s.PointerToRawData + (rva - s.VirtualAddress);
        }
        return nullptr;
    };

    // Windows loads these from System32 whatever lies beside the exe (KnownDLLs), and
    // comctl32 comes through the manifest's side-by-side assembly.
    const std::set<std::string> allowed = { "kernel32.dll", "user32.dll", "gdi32.dll", "shell32.dll", "ole32.dll",
                                            "advapi32.dll", "comctl32.dll", "msvcrt.dll" };
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    const auto* imports = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(at(dir.VirtualAddress));
    ASSERT_NE(nullptr, imports);
    for (; imports->Name != 0; ++imports)
    {
        std::string name = at(imports->Name);
        std::transform(name.begin(), name.end(), name.begin(), [](char c) { return static_cast<char>(std::tolower(c)); });
        EXPECT_EQ(1u, allowed.count(name)) << "imports " << name;
        // Functions by name; XP's msvcrt has none of the "secure" *_s functions.
        for (const auto* thunk = reinterpret_cast<const IMAGE_THUNK_DATA32*>(
                 at(imports->OriginalFirstThunk != 0 ? imports->OriginalFirstThunk : imports->FirstThunk));
             thunk != nullptr && thunk->u1.AddressOfData != 0; ++thunk)
        {
            if (IMAGE_SNAP_BY_ORDINAL32(thunk->u1.Ordinal))
                continue;
            std::string function = at(thunk->u1.AddressOfData + 2);
            EXPECT_EQ(0u, kNewerThanXp.count(function)) << name << " " << function << " is newer than Windows XP";
            EXPECT_FALSE(name == "msvcrt.dll" && function.size() > 2 && function.compare(function.size() - 2, 2, "_s") == 0)
                << function << " is missing from Windows XP's msvcrt";
        }
    }
    EXPECT_EQ(0u, nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT].Size) << "no delay-loaded DLLs";
}
