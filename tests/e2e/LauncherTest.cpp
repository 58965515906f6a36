// The launcher started in a distribution folder of its own and worked from outside.
#include "Distribution.h"
#include "Process.h"
#include "Wait.h"
#include "Window.h"

#include "res/resource.h"

#include <gtest/gtest.h>

using namespace support;

// The screen and its buttons follow the install list, wherever the launcher lies and
// whatever it is called.
TEST(LauncherTest, ScreenFollowsTheInstallListFromAnyFolder)
{
    const std::string kTable = "\x92\x6E\x90\x7D\x95\x5C";  // 地図表: ends in the byte 0x5C
    struct Case
    {
        const char* what;
        std::string list;
        bool bInstaller;
        const char* exeName;
        std::string subfolder;
        size_t nExePathLength;  // the subfolder padded so that the exe's path has this length
        bool bProductShown, bProductEnabled, bDatabaseShown;
    } cases[] = {
        { "database screen, even with an installer listed", "1\r\nDB\r\nInstaller\\VORMELInstall.exe\r\n", true, "VORMELSetup.exe", "", 0, false, false, true },
        { "program screen with its installer", "0\r\nVORMEL\r\nInstaller\\VORMELInstall.exe\r\n", true, "VORMELSetup.exe", "", 0, true, true, false },
        { "mode 2 is the program screen", "2\nVORMEL\nInstaller\\VORMELInstall.exe\n", true, "VORMELSetup.exe", "", 0, true, true, false },
        { "installer listed but missing", "0\nVORMEL\nInstaller\\VORMELInstall.exe\n", false, "VORMELSetup.exe", "", 0, true, false, false },
        { "installer path naming a folder", "0\nVORMEL\nInstaller\n", true, "VORMELSetup.exe", "", 0, true, true, false },
        { "no installer line", "0\nVORMEL\n", true, "VORMELSetup.exe", "", 0, true, false, false },
        { "renamed exe", "1\nDB\n", false, "SETUP.EXE", "", 0, false, false, true },
        { "folder ending in 0x5C", "1\nDB\n", false, "VORMELSetup.exe", kTable, 0, false, false, true },
        { "exe path of 259 characters", "1\nDB\n", false, "VORMELSetup.exe", kTable, 259, false, false, true },
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        std::string subfolder = c.subfolder;
        if (c.nExePathLength != 0)
            subfolder += "\\" + std::string(c.nExePathLength - TempTree("dist").Path().size() - subfolder.size() - 2 - strlen(c.exeName), 'd');
        Distribution dist(c.exeName, subfolder);
        ASSERT_TRUE(c.nExePathLength == 0 || dist.exePath.size() == c.nExePathLength) << dist.exePath;
        dist.SetInstallList(c.list);
        if (c.bInstaller)
            dist.AddInstaller("Installer\\VORMELInstall.exe");
        Process launcher;
        HWND hMain = launcher.StartLauncher(dist.exePath, dist.tree.Path());
        ASSERT_NE(nullptr, hMain) << "no launcher window, or a message came first";

        EXPECT_EQ(c.bProductShown, ::IsWindowVisible(Item(hMain, IDC_INSTALL_PRODUCT)) != FALSE);
        EXPECT_EQ(c.bProductEnabled, ::IsWindowEnabled(Item(hMain, IDC_INSTALL_PRODUCT)) && c.bProductShown);
        EXPECT_EQ(c.bDatabaseShown, ::IsWindowVisible(Item(hMain, IDC_INSTALL_DATABASE)) != FALSE);
        EXPECT_TRUE(::IsWindowVisible(Item(hMain, IDC_EXIT)) && ::IsWindowEnabled(Item(hMain, IDC_EXIT)));
        EXPECT_EQ(1u, launcher.TopWindows().size()) << "nothing but the launcher came up";
    }
}

namespace {

// A value under HKEY_CURRENT_USER set for one case, and put back as it was when the case ends.
struct ScopedValue
{
    HKEY hKey = nullptr;
    std::wstring name;
    DWORD type = 0, size = 512;
    BYTE old[512];
    bool bHad;
    ScopedValue(const wchar_t* key, const std::wstring& valueName, DWORD newType, const void* data, size_t newSize) : name(valueName)
    {
        ::RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &hKey, nullptr);
        bHad = ::RegQueryValueExW(hKey, name.c_str(), nullptr, &type, old, &size) == ERROR_SUCCESS;
        EXPECT_EQ(0, ::RegSetValueExW(hKey, name.c_str(), 0, newType, static_cast<const BYTE*>(data), static_cast<DWORD>(newSize)));
    }
    ~ScopedValue() { bHad ? ::RegSetValueExW(hKey, name.c_str(), 0, type, old, size) : ::RegDeleteValueW(hKey, name.c_str()), ::RegCloseKey(hKey); }
};

// Each text of a dialog (statics and button labels, within a button's edge) laid out in its
// control with word breaks, in the dialog font of the given face and DPI, fits it whole.
void ExpectTextsFit(HWND hDlg, const std::wstring& face, int nDpi)
{
    HDC hDC = ::CreateCompatibleDC(nullptr);
    HFONT hFont = ::CreateFontW(-::MulDiv(9, nDpi, 72), 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, face.c_str());
    ::SelectObject(hDC, hFont);
    for (HWND hItem = ::GetWindow(hDlg, GW_CHILD); hItem != nullptr; hItem = ::GetWindow(hItem, GW_HWNDNEXT))
    {
        std::wstring text = WindowText(hItem);
        RECT rcItem, rcText = {};
        ::GetClientRect(hItem, &rcItem);
        ::InflateRect(&rcItem, (::SendMessageW(hItem, WM_GETDLGCODE, 0, 0) & DLGC_BUTTON) ? -3 : 0, 0);
        rcText.right = rcItem.right - rcItem.left;
        ::DrawTextW(hDC, text.c_str(), -1, &rcText, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
        EXPECT_TRUE(text.empty() || (rcText.right <= rcItem.right - rcItem.left && rcText.bottom <= rcItem.bottom))
            << std::string(text.begin(), text.end()) << ": " << rcText.right << " x " << rcText.bottom << " in " << rcItem.right - rcItem.left;
    }
    ::DeleteDC(hDC);
    ::DeleteObject(hFont);
}

}  // namespace

// The window is its picture at the screen's scale, and the buttons sit where the template puts
// them with the dialog base units the picture was drawn for (7 x 12 at 96 DPI), whatever the
// dialog font and after a move to a screen of another scale; each label and text fits whole.
TEST(LauncherTest, LookFollowsThePictureAtEveryScaleAndFont)
{
    // The face standing in for the dialog font, the screen's DPI, the install list, and
    // when not 0 the DPI of the screen the window then moves to.
    struct Case { const char* face; int nDpi; const char* list; int nMovedToDpi; } cases[] = {
        { "Ume P Gothic", 96, "1\nDB\n", 0 }, { "IPAPGothic", 96, "0\nVORMEL\n", 0 }, { "DejaVu Sans", 96, "1\nDB\n", 0 },
        { "Ume P Gothic", 120, "0\nVORMEL\n", 0 }, { "Ume P Gothic", 144, "1\nDB\n", 0 },
        { "Ume P Gothic", 192, "0\nVORMEL\n", 0 }, { "DejaVu Sans", 96, "0\nVORMEL\n", 144 },
    };
    // The template's places of the buttons, in dialog units.
    const struct { int nID, x, y, cx, cy; } buttons[] = {
        { IDC_INSTALL_PRODUCT, 81, 101, 124, 23 }, { IDC_INSTALL_DATABASE, 81, 101, 124, 23 }, { IDC_EXIT, 81, 180, 124, 23 },
    };
    BITMAP picture = {};   // as the exe carries it, for 100 %
    HMODULE hExe = ::LoadLibraryExA((BuildDir() + "\\VORMELSetup.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ::GetObjectA(::LoadImageA(hExe, MAKEINTRESOURCEA(IDB_LAUNCHER_PICTURE), IMAGE_BITMAP, 0, 0, 0), sizeof(picture), &picture);
    ASSERT_GT(picture.bmWidth, 0) << "no picture in the exe";
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string(c.face) + " at " + std::to_string(c.nDpi) + " DPI, moved to " + std::to_string(c.nMovedToDpi));
        std::wstring face = Wide(c.face);
        ScopedValue dpi(L"Control Panel\\Desktop", L"LogPixels", REG_DWORD, &c.nDpi, sizeof(DWORD));
        ScopedValue font(L"Software\\Wine\\Fonts\\Replacements", Wide(u8"ＭＳ Ｐゴシック"), REG_SZ, face.c_str(), 2 * (face.size() + 1));
        Distribution dist;
        dist.SetInstallList(c.list);
        Process launcher;
        HWND hMain = launcher.StartLauncher(dist.exePath, dist.folder);
        ASSERT_NE(nullptr, hMain);
        RECT rc = { 20, 10, 600, 500 }, rcPicture;   // where Windows suggests the moved window goes, in its memory
        if (c.nMovedToDpi != 0)
        {
            DWORD dwProcessId = 0;
            ::GetWindowThreadProcessId(hMain, &dwProcessId);
            HANDLE hProcess = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, dwProcessId);
            void* pRemote = ::VirtualAllocEx(hProcess, nullptr, sizeof(rc), MEM_COMMIT, PAGE_READWRITE);
            ASSERT_TRUE(::WriteProcessMemory(hProcess, pRemote, &rc, sizeof(rc), nullptr));
            ::SendMessageW(hMain, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(c.nMovedToDpi, c.nMovedToDpi), reinterpret_cast<LPARAM>(pRemote));
            ::CloseHandle(hProcess);
        }
        double dScale = (c.nMovedToDpi != 0 ? c.nMovedToDpi : c.nDpi) / 96.0;
        ::GetClientRect(hMain, &rc);
        EXPECT_NEAR(picture.bmWidth * dScale, rc.right, 2 + 0.01 * picture.bmWidth * dScale);
        EXPECT_NEAR(picture.bmHeight * dScale, rc.bottom, 2 + 0.01 * picture.bmHeight * dScale);
        ::GetClientRect(Item(hMain, IDC_LAUNCHER_PICTURE), &rcPicture);
        EXPECT_TRUE(::EqualRect(&rc, &rcPicture)) << "a picture of " << rcPicture.right << " x " << rcPicture.bottom;
        for (const auto& b : buttons)
        {
            if (!::IsWindowVisible(Item(hMain, b.nID)))
                continue;
            ::GetWindowRect(Item(hMain, b.nID), &rc);
            ::MapWindowPoints(nullptr, hMain, reinterpret_cast<POINT*>(&rc), 2);
            EXPECT_NEAR((b.x + b.cx / 2.0) * 7 / 4 * dScale, (rc.left + rc.right) / 2.0, 4 * dScale) << b.nID;
            EXPECT_NEAR((b.y + b.cy / 2.0) * 12 / 8 * dScale, (rc.top + rc.bottom) / 2.0, 4 * dScale) << b.nID;
        }
        ExpectTextsFit(hMain, face, c.nDpi);

        ::PostMessageW(hMain, WM_SYSCOMMAND, ID_SYSCMD_ABOUT, 0);
        HWND hAbout = launcher.WaitPopup(hMain, L"About VORMELSetup");
        ASSERT_NE(nullptr, hAbout);
        ExpectTextsFit(hAbout, face, c.nDpi);
    }
}

// A missing list is said in Japanese (code page 932) before the window shows, and the
// program screen follows with nothing to start.
TEST(LauncherTest, MissingInstallListIsReportedFirst)
{
    Distribution dist;
    Process launcher;
    ASSERT_TRUE(launcher.Start(dist.exePath, dist.folder));
    ASSERT_TRUE(WaitUntil([&] { return !WindowsTitled(L"VORMELSetup").empty(); }));
    HWND hBox = WindowsTitled(L"VORMELSetup")[0];
    EXPECT_EQ(Wide(u8"ファイルが開けません。\n[") + Wide(dist.folder + "InstallList.txt") + L"]",
              WindowText(Item(hBox, 0xFFFF)));
    HWND hOwner = ::GetWindow(hBox, GW_OWNER);
    EXPECT_EQ(L"VORMEL setup luncher", WindowText(hOwner));
    EXPECT_FALSE(::IsWindowVisible(hOwner));

    Click(hBox, IDOK);
    HWND hMain = launcher.WaitMainWindow();
    ASSERT_EQ(hOwner, hMain);
    EXPECT_TRUE(::IsWindowVisible(Item(hMain, IDC_INSTALL_PRODUCT)));
    EXPECT_FALSE(::IsWindowEnabled(Item(hMain, IDC_INSTALL_PRODUCT)));
}

// Each press starts the installer and the launcher stays; an installer gone since the
// start is reported over the launcher.
TEST(LauncherTest, ProductButtonStartsTheInstallerOrSaysItFailed)
{
    Distribution dist;
    dist.SetInstallList("0\r\nVORMEL\r\nInstaller\\VORMELInstall.exe\r\n");
    dist.AddInstaller("Installer\\VORMELInstall.exe");
    Process launcher;
    HWND hMain = launcher.StartLauncher(dist.exePath, dist.folder);
    ASSERT_NE(nullptr, hMain);
    EXPECT_EQ(L"Install VORMEL", WindowText(Item(hMain, IDC_INSTALL_PRODUCT)));

    for (size_t nStarts = 1; nStarts <= 2; ++nStarts)
    {
        Click(hMain, IDC_INSTALL_PRODUCT);
        EXPECT_TRUE(WaitUntil([&] { return WindowsTitled(L"VORMEL Installer").size() == nStarts; }));
    }
    EXPECT_EQ("started", ReadBytes(dist.folder + "Installer\\installer-started.log").substr(0, 7));
    for (HWND hInstaller : WindowsTitled(L"VORMEL Installer"))
        Click(hInstaller, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return WindowsTitled(L"VORMEL Installer").empty(); }));
    EXPECT_FALSE(launcher.WaitExit(0));

    ASSERT_TRUE(WaitUntil([&] { return ::DeleteFileA((dist.folder + "Installer\\VORMELInstall.exe").c_str()) != FALSE; }));
    Click(hMain, IDC_INSTALL_PRODUCT);
    HWND hBox = launcher.WaitPopup(hMain, L"VORMELSetup");
    ASSERT_NE(nullptr, hBox);
    EXPECT_EQ(L"The installation failed.", WindowText(Item(hBox, 0xFFFF)));
    EXPECT_FALSE(::IsWindowEnabled(hMain)) << "the box is modal over the launcher";
    Click(hBox, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(hBox) && ::IsWindowEnabled(hMain); }));
    EXPECT_FALSE(launcher.WaitExit(0));
}

// Escape and Enter do not close the launcher; the About box opens modally over it from
// the system menu and closes with OK or Escape.
TEST(LauncherTest, KeysAreIgnoredAndTheAboutBoxIsModal)
{
    Distribution dist;
    dist.SetInstallList("1\nDB\n");
    Process launcher;
    HWND hMain = launcher.StartLauncher(dist.exePath, dist.folder);
    ASSERT_NE(nullptr, hMain);

    for (UINT vkClose : { VK_RETURN, VK_ESCAPE })
    {
        PressKey(hMain, VK_ESCAPE);
        PressKey(hMain, VK_RETURN);
        // Posted messages are handled in order: once the About box is up, the keys were
        // handled before it, and did nothing.
        ::PostMessageW(hMain, WM_SYSCOMMAND, ID_SYSCMD_ABOUT, 0);
        HWND hAbout = launcher.WaitPopup(hMain, L"About VORMELSetup");
        ASSERT_NE(nullptr, hAbout);
        EXPECT_FALSE(::IsWindowEnabled(hMain));
        EXPECT_EQ(2u, launcher.TopWindows().size());
        PressKey(hAbout, vkClose);
        EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(hAbout) && ::IsWindowEnabled(hMain); }));
    }
    EXPECT_FALSE(launcher.WaitExit(0));
}

// Exit, the close command and Alt+F4 each end the program.
TEST(LauncherTest, ExitAndTheCloseCommandEndTheProgram)
{
    for (int nWay = 0; nWay < 3; ++nWay)
    {
        SCOPED_TRACE(nWay);
        Distribution dist;
        dist.SetInstallList("1\nDB\n");
        Process launcher;
        HWND hMain = launcher.StartLauncher(dist.exePath, dist.folder);
        ASSERT_NE(nullptr, hMain);
        if (nWay == 0)
            Click(hMain, IDC_EXIT);
        else
            ::PostMessageW(hMain, nWay == 1 ? WM_CLOSE : WM_SYSCOMMAND, nWay == 1 ? 0 : SC_CLOSE, 0);
        EXPECT_TRUE(launcher.WaitExit());
    }
}
