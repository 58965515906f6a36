// The resources of the built exe, read back as Windows reads them.
#include "Driver.h"

#include "res/resource.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

class ResourceTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_hExe = ::LoadLibraryExA(driver::LauncherExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, m_hExe);
    }
    void TearDown() override
    {
        if (m_hExe != nullptr)
            ::FreeLibrary(m_hExe);
    }

    std::string Resource(LPCSTR type, UINT id) const
    {
        HRSRC hRes = ::FindResourceA(m_hExe, MAKEINTRESOURCEA(id), type);
        if (hRes == nullptr)
            return std::string();
        const char* p = static_cast<const char*>(::LockResource(::LoadResource(m_hExe, hRes)));
        return std::string(p, ::SizeofResource(m_hExe, hRes));
    }

    HMODULE m_hExe = nullptr;
};

// A DLGITEMTEMPLATEEX / DLGTEMPLATEEX reader: the few fields the launcher's look rests on.
struct DialogItem
{
    DWORD style;
    short x, y, cx, cy;
    DWORD id;
    std::wstring className;
    std::wstring text;
    WORD textOrdinal;
};

const WORD* SkipSzOrOrd(const WORD* p, std::wstring* text, WORD* ordinal)
{
    if (*p == 0xFFFF)
    {
        if (ordinal != nullptr)
            *ordinal = p[1];
        return p + 2;
    }
    std::wstring s;
    while (*p != 0)
        s += static_cast<wchar_t>(*p++);
    if (text != nullptr)
        *text = s;
    return p + 1;
}

const WORD* Align4(const WORD* p)
{
    return reinterpret_cast<const WORD*>((reinterpret_cast<UINT_PTR>(p) + 3) & ~static_cast<UINT_PTR>(3));
}

}  // namespace

TEST_F(ResourceTest, VersionRecordIsJapaneseOneZeroOneOne)
{
    std::string path = driver::LauncherExe();
    DWORD handle = 0;
    DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::string data(size, '\0');
    ASSERT_TRUE(::GetFileVersionInfoA(path.c_str(), 0, size, &data[0]));

    VS_FIXEDFILEINFO* pFixed = nullptr;
    UINT len = 0;
    ASSERT_TRUE(::VerQueryValueA(&data[0], "\\", reinterpret_cast<void**>(&pFixed), &len));
    EXPECT_EQ(0x00010000u, pFixed->dwFileVersionMS);
    EXPECT_EQ(0x00010001u, pFixed->dwFileVersionLS);
    EXPECT_EQ(0x00010000u, pFixed->dwProductVersionMS);
    EXPECT_EQ(0x00010001u, pFixed->dwProductVersionLS);
    EXPECT_EQ(4u, pFixed->dwFileOS);
    EXPECT_EQ(1u, pFixed->dwFileType);
    EXPECT_EQ(0u, pFixed->dwFileFlags);

    WORD* pTranslation = nullptr;
    ASSERT_TRUE(::VerQueryValueA(&data[0], "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&pTranslation), &len));
    ASSERT_EQ(4u, len);
    EXPECT_EQ(0x0411, pTranslation[0]);
    EXPECT_EQ(0x04B0, pTranslation[1]);

    struct Field { const wchar_t* name; std::string utf8; } fields[] = {
        { L"Comments", "VORMEL Setup Luncher" },
        { L"ProductName", "VORMEL Setup Luncher" },
        { L"FileDescription", "VORMELSetup MFC ｱﾌﾟﾘｹｰｼｮﾝ" },
        { L"FileVersion", "1, 0, 1, 1" },
        { L"ProductVersion", "1, 0, 1, 1" },
        { L"OriginalFilename", "VORMELSetup.EXE" },
        { L"LegalTrademarks", "" },
        { L"PrivateBuild", "" },
        { L"SpecialBuild", "" },
    };
    for (const Field& f : fields)
    {
        std::wstring query = std::wstring(L"\\StringFileInfo\\041104b0\\") + f.name;
        wchar_t* pValue = nullptr;
        UINT chars = 0;
        ASSERT_TRUE(::VerQueryValueW(&data[0], query.c_str(), reinterpret_cast<void**>(&pValue), &chars)) << driver::Utf8(f.name);
        EXPECT_EQ(driver::Wide(f.utf8), std::wstring(pValue)) << driver::Utf8(f.name);
    }
}

TEST_F(ResourceTest, LauncherTemplateHasItsLayout)
{
    std::string res = Resource(MAKEINTRESOURCEA(5), IDD_LAUNCHER);
    ASSERT_GT(res.size(), 26u);
    const WORD* p = reinterpret_cast<const WORD*>(res.data());
    ASSERT_EQ(1, p[0]);
    ASSERT_EQ(0xFFFF, p[1]) << "an extended template";
    DWORD exStyle, style;
    std::memcpy(&exStyle, p + 4, 4);
    std::memcpy(&style, p + 6, 4);
    EXPECT_EQ(static_cast<DWORD>(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT), style);
    EXPECT_EQ(static_cast<DWORD>(WS_EX_APPWINDOW), exStyle);
    WORD items = p[8];
    EXPECT_EQ(286, static_cast<short>(p[11]));
    EXPECT_EQ(241, static_cast<short>(p[12]));
    const WORD* q = p + 13;
    q = SkipSzOrOrd(q, nullptr, nullptr);  // menu
    q = SkipSzOrOrd(q, nullptr, nullptr);  // class
    std::wstring caption, font;
    q = SkipSzOrOrd(q, &caption, nullptr);
    EXPECT_EQ(L"VORMEL setup luncher", caption);
    EXPECT_EQ(9, q[0]);                 // points
    EXPECT_EQ(0, q[1]);                 // weight
    EXPECT_EQ(0, q[2] & 0xFF);          // upright
    EXPECT_EQ(1, q[2] >> 8);            // character set
    q = SkipSzOrOrd(q + 3, &font, nullptr);
    EXPECT_EQ(driver::Wide("ＭＳ Ｐゴシック"), font);

    struct Expected { int id; short x, y, cx, cy; const wchar_t* cls; const wchar_t* text; DWORD styleBits; } expected[] = {
        { -1, 0, 0, 286, 242, L"", nullptr, SS_BITMAP },
        { IDC_EXIT, 81, 180, 124, 23, L"", L"Exit", WS_TABSTOP },
        { IDC_INSTALL_PRODUCT, 81, 101, 124, 23, L"", L"Install VORMEL", WS_TABSTOP | BS_MULTILINE },
        { IDC_INSTALL_DATABASE, 81, 101, 124, 23, L"", L"Install Terrain and Landuse Database", WS_TABSTOP | BS_MULTILINE },
    };
    ASSERT_EQ(4, items);
    for (const Expected& e : expected)
    {
        q = Align4(q);
        DialogItem item = {};
        std::memcpy(&item.style, q + 4, 4);
        item.x = static_cast<short>(q[6]);
        item.y = static_cast<short>(q[7]);
        item.cx = static_cast<short>(q[8]);
        item.cy = static_cast<short>(q[9]);
        std::memcpy(&item.id, q + 10, 4);
        WORD classOrdinal = 0;
        q = SkipSzOrOrd(q + 12, &item.className, &classOrdinal);
        q = SkipSzOrOrd(q, &item.text, &item.textOrdinal);
        q += 1 + *q / 2;  // creation data
        SCOPED_TRACE(e.id);
        EXPECT_EQ(e.id, static_cast<int>(item.id));
        EXPECT_EQ(e.x, item.x);
        EXPECT_EQ(e.y, item.y);
        EXPECT_EQ(e.cx, item.cx);
        EXPECT_EQ(e.cy, item.cy);
        EXPECT_EQ(e.styleBits, item.style & e.styleBits);
        EXPECT_TRUE(item.style & WS_VISIBLE);
        EXPECT_FALSE(item.style & WS_DISABLED);
        if (e.text != nullptr)
        {
            EXPECT_EQ(0x0080, classOrdinal) << "a button";
            EXPECT_EQ(e.text, item.text);
            EXPECT_NE(static_cast<DWORD>(BS_DEFPUSHBUTTON), item.style & 0x0F) << "no default push button";
        }
        else
        {
            EXPECT_TRUE(classOrdinal == 0x0082 || _wcsicmp(item.className.c_str(), L"Static") == 0) << "a static";
            EXPECT_EQ(IDB_LAUNCHER_PICTURE, item.textOrdinal);
        }
    }
}

TEST_F(ResourceTest, AboutMenuStringIsUnicodeAndAlone)
{
    std::string block = Resource(MAKEINTRESOURCEA(6), IDS_LAUNCHER_ABOUT_MENU / 16 + 1);
    ASSERT_FALSE(block.empty());
    const WORD* p = reinterpret_cast<const WORD*>(block.data());
    std::wstring found;
    int nonEmpty = 0;
    for (int i = 0; i < 16; ++i)
    {
        std::wstring s(reinterpret_cast<const wchar_t*>(p + 1), p[0]);
        if (!s.empty())
            ++nonEmpty;
        if (i == (IDS_LAUNCHER_ABOUT_MENU & 15))
            found = s;
        p += 1 + p[0];
    }
    EXPECT_EQ(driver::Wide("VORMELSetup のﾊﾞｰｼﾞｮﾝ情報(&A)..."), found);
    EXPECT_EQ(1, nonEmpty);
}

TEST_F(ResourceTest, ManifestRunsAsInvokerWithCommonControls6)
{
    std::string manifest = Resource(MAKEINTRESOURCEA(24), 1);
    ASSERT_FALSE(manifest.empty());
    EXPECT_NE(std::string::npos, manifest.find("level=\"asInvoker\""));
    EXPECT_NE(std::string::npos, manifest.find("Microsoft.Windows.Common-Controls"));
    EXPECT_NE(std::string::npos, manifest.find("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"));
    EXPECT_EQ(std::string::npos, manifest.find("dpiAware"));
}

TEST_F(ResourceTest, PictureAndIconHaveTheirFormats)
{
    std::string bitmap = Resource(MAKEINTRESOURCEA(2), IDB_LAUNCHER_PICTURE);
    ASSERT_GE(bitmap.size(), sizeof(BITMAPINFOHEADER));
    BITMAPINFOHEADER bih;
    std::memcpy(&bih, bitmap.data(), sizeof(bih));
    EXPECT_EQ(500, bih.biWidth);
    EXPECT_EQ(363, bih.biHeight);
    EXPECT_EQ(8, bih.biBitCount);
    EXPECT_EQ(static_cast<DWORD>(BI_RGB), bih.biCompression);
    EXPECT_EQ(5936, bih.biXPelsPerMeter);
    EXPECT_EQ(5936, bih.biYPelsPerMeter);
    EXPECT_TRUE(bih.biClrUsed == 0 || bih.biClrUsed == 256);

    std::string group = Resource(MAKEINTRESOURCEA(14), IDI_LAUNCHER);
    ASSERT_GE(group.size(), 6u + 14u);
    const BYTE* g = reinterpret_cast<const BYTE*>(group.data());
    EXPECT_EQ(1, g[4] | (g[5] << 8)) << "one image";
    EXPECT_EQ(32, g[6]);
    EXPECT_EQ(32, g[7]);
    EXPECT_EQ(16, g[8]) << "16 colours";
    EXPECT_EQ(4, g[12] | (g[13] << 8)) << "4 bits per pixel";
}
