// What the built exe asks of Windows when it loads: only system DLLs, NX and ASLR.
#include "Distribution.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>

TEST(ImageTest, ImportsOnlySystemDllsAndIsHardened)
{
    std::string image = support::ReadBytes(support::BuildDir() + "\\VORMELSetup.exe");
    ASSERT_GT(image.size(), 0x400u);
    const char* base = image.data();
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
    ASSERT_EQ(static_cast<DWORD>(IMAGE_NT_SIGNATURE), nt->Signature);
    EXPECT_EQ(IMAGE_FILE_MACHINE_I386, nt->FileHeader.Machine);
    EXPECT_EQ(IMAGE_SUBSYSTEM_WINDOWS_GUI, nt->OptionalHeader.Subsystem);
    EXPECT_TRUE(nt->OptionalHeader.DllCharacteristics & IMAGE_DLLCHARACTERISTICS_NX_COMPAT);
    EXPECT_TRUE(nt->OptionalHeader.DllCharacteristics & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE);

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
    std::set<std::string> names;
    for (; imports->Name != 0; ++imports)
    {
        std::string name = at(imports->Name);
        std::transform(name.begin(), name.end(), name.begin(), [](char c) { return static_cast<char>(std::tolower(c)); });
        names.insert(name);
        EXPECT_EQ(1u, allowed.count(name)) << "imports " << name;
    }
    EXPECT_EQ(1u, names.count("kernel32.dll"));
    EXPECT_EQ(0u, nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT].Size) << "no delay-loaded DLLs";
}
