#include "CopyTestSupport.h"

#include "platform/CopyWithProgress.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace copytest {

namespace {

uint64_t ToU64(const FILETIME& ft)
{
    return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

void ListInto(const std::string& strRoot, const std::string& strRel, std::map<std::string, Entry>& out)
{
    std::string strFolder = strRel.empty() ? strRoot : strRoot + "\\" + strRel;
    WIN32_FIND_DATAA fd;
    HANDLE h = ::FindFirstFileA((strFolder + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return;
    std::vector<std::string> sub;
    do
    {
        std::string name = fd.cFileName;
        if (name == "." || name == "..")
            continue;
        std::string rel = strRel.empty() ? name : strRel + "\\" + name;
        Entry e;
        e.bDir = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        e.ullSize = e.bDir ? 0 : (static_cast<uint64_t>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
        e.dwAttributes = fd.dwFileAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        e.ullLastWrite = e.bDir ? 0 : ToU64(fd.ftLastWriteTime);
        out[rel] = e;
        if (e.bDir)
            sub.push_back(rel);
    } while (::FindNextFileA(h, &fd));
    ::FindClose(h);
    for (const std::string& rel : sub)
        ListInto(strRoot, rel, out);
}

}  // namespace

TempTree::TempTree(const char* pszTag)
    : m_dir(std::string("copy-") + pszTag), m_strPath(m_dir.Path().substr(0, m_dir.Path().size() - 1))
{
}

void MakeDir(const std::string& strPath)
{
    bool bMade = ::CreateDirectoryA(strPath.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS;
    ASSERT_TRUE(bMade) << strPath << " error " << ::GetLastError();
}

void MakeFile(const std::string& strPath, size_t nSize, unsigned nSeed)
{
    std::string bytes(nSize, '\0');
    uint32_t x = nSeed * 2654435761u + 12345u;
    for (size_t i = 0; i < nSize; ++i)
    {
        x = x * 1103515245u + 12345u;
        bytes[i] = static_cast<char>(x >> 24);
    }
    MakeTextFile(strPath, bytes);
}

void MakeBigFile(const std::string& strPath, uint64_t ullSize, unsigned nSeed)
{
    HANDLE h = ::CreateFileA(strPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << strPath << " error " << ::GetLastError();
    char mark[64];
    int n = std::snprintf(mark, sizeof(mark), "big file %u", nSeed);
    DWORD dw = 0;
    ::WriteFile(h, mark, static_cast<DWORD>(n), &dw, nullptr);
    LARGE_INTEGER pos;
    pos.QuadPart = static_cast<LONGLONG>(ullSize) - n;
    ::SetFilePointerEx(h, pos, nullptr, FILE_BEGIN);
    ::WriteFile(h, mark, static_cast<DWORD>(n), &dw, nullptr);
    ::CloseHandle(h);
}

bool IsDir(const std::string& strPath)
{
    DWORD a = ::GetFileAttributesA(strPath.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

DWORD Attributes(const std::string& strPath)
{
    return ::GetFileAttributesA(strPath.c_str());
}

uint64_t FileSize(const std::string& strPath)
{
    WIN32_FILE_ATTRIBUTE_DATA d;
    if (!::GetFileAttributesExA(strPath.c_str(), GetFileExInfoStandard, &d))
        return ~0ull;
    return (static_cast<uint64_t>(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
}

FILETIME LastWriteTime(const std::string& strPath)
{
    WIN32_FILE_ATTRIBUTE_DATA d = {};
    ::GetFileAttributesExA(strPath.c_str(), GetFileExInfoStandard, &d);
    return d.ftLastWriteTime;
}

void SetLastWriteTime(const std::string& strPath, const FILETIME& ft)
{
    HANDLE h = ::CreateFileA(strPath.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(::SetFileTime(h, nullptr, nullptr, &ft));
    ::CloseHandle(h);
}

bool SameContent(const std::string& strA, const std::string& strB)
{
    HANDLE a = ::CreateFileA(strA.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE b = ::CreateFileA(strB.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    bool bSame = a != INVALID_HANDLE_VALUE && b != INVALID_HANDLE_VALUE;
    static char bufA[1 << 20], bufB[1 << 20];
    while (bSame)
    {
        DWORD na = 0, nb = 0;
        if (!::ReadFile(a, bufA, sizeof(bufA), &na, nullptr) || !::ReadFile(b, bufB, sizeof(bufB), &nb, nullptr)
            || na != nb || std::memcmp(bufA, bufB, na) != 0)
            bSame = false;
        else if (na == 0)
            break;
    }
    if (a != INVALID_HANDLE_VALUE)
        ::CloseHandle(a);
    if (b != INVALID_HANDLE_VALUE)
        ::CloseHandle(b);
    return bSame;
}

std::map<std::string, Entry> ListTree(const std::string& strRoot)
{
    std::map<std::string, Entry> out;
    ListInto(strRoot, std::string(), out);
    return out;
}

void ExpectSameTree(const std::string& strExpected, const std::string& strActual)
{
    std::map<std::string, Entry> expected = ListTree(strExpected);
    std::map<std::string, Entry> actual = ListTree(strActual);
    std::vector<std::string> namesE, namesA;
    for (const auto& kv : expected)
        namesE.push_back(kv.first);
    for (const auto& kv : actual)
        namesA.push_back(kv.first);
    ASSERT_EQ(namesE, namesA) << strExpected << " vs " << strActual;
    for (const auto& kv : expected)
    {
        const Entry& e = kv.second;
        const Entry& a = actual[kv.first];
        EXPECT_EQ(e.bDir, a.bDir) << kv.first;
        EXPECT_EQ(e.ullSize, a.ullSize) << kv.first;
        EXPECT_EQ(e.dwAttributes, a.dwAttributes) << kv.first;
        if (!e.bDir)
        {
            EXPECT_EQ(e.ullLastWrite, a.ullLastWrite) << kv.first;
            EXPECT_TRUE(SameContent(strExpected + "\\" + kv.first, strActual + "\\" + kv.first)) << kv.first;
        }
    }
}

CopyRequest::CopyRequest(const std::vector<std::string>& sources, const std::vector<std::string>& dests)
{
    for (const std::string& s : sources)
        m_strFrom.append(s).append(1, '\0');
    for (const std::string& d : dests)
        m_strTo.append(d).append(1, '\0');
    m_strFrom.append(1, '\0');   // the closing NUL (std::string adds another after it)
    m_strTo.append(1, '\0');
    op = SHFILEOPSTRUCTA();
    op.hwnd = nullptr;
    op.wFunc = FO_COPY;
    op.pFrom = m_strFrom.c_str();
    op.pTo = m_strTo.c_str();
    op.fFlags = FOF_MULTIDESTFILES | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR;
    op.fAnyOperationsAborted = TRUE;
    op.hNameMappings = nullptr;
    op.lpszProgressTitle = "Copying...";
}

int CopyRequest::Run()
{
    return CopyWithProgress(&op);
}

namespace {

BOOL CALLBACK CollectOwnWindow(HWND h, LPARAM l)
{
    DWORD pid = 0;
    ::GetWindowThreadProcessId(h, &pid);
    if (pid == ::GetCurrentProcessId() && ::IsWindowVisible(h))
        reinterpret_cast<std::vector<HWND>*>(l)->push_back(h);
    return TRUE;
}

}  // namespace

std::vector<HWND> OwnWindows()
{
    std::vector<HWND> windows;
    ::EnumWindows(CollectOwnWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::string WindowText(HWND hWnd)
{
    char buf[2048] = "";
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutA(hWnd, WM_GETTEXT, sizeof(buf), reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG,
                               300, &result))
        return std::string();
    return buf;
}

bool IsMessageBox(HWND hWnd)
{
    char cls[16] = "";
    ::GetClassNameA(hWnd, cls, sizeof(cls));
    return std::strcmp(cls, "#32770") == 0 && ::GetDlgItem(hWnd, 0xFFFF) != nullptr;
}

HWND FindProgressWindow()
{
    for (HWND h : OwnWindows())
    {
        if (!IsMessageBox(h) && ::GetWindow(h, GW_OWNER) == nullptr && WindowText(h) == "Copying...")
            return h;
    }
    return nullptr;
}

HWND ProgressBar(HWND hProgress)
{
    return ::FindWindowExA(hProgress, nullptr, PROGRESS_CLASSA, nullptr);
}

int ProgressPos(HWND hProgress)
{
    HWND hBar = ProgressBar(hProgress);
    if (hBar == nullptr)
        return -1;
    DWORD_PTR pos = 0;
    if (!::SendMessageTimeoutA(hBar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 300, &pos))
        return -1;
    return static_cast<int>(pos);
}

Watcher::Watcher(ProgressHook hook, std::string strLeaveAlone)
    : m_hook(std::move(hook)), m_strLeaveAlone(std::move(strLeaveAlone))
{
    ::InitializeCriticalSection(&m_lock);
    m_thread = std::thread([this] { Loop(); });
}

Watcher::~Watcher()
{
    Stop();
    ::DeleteCriticalSection(&m_lock);
}

void Watcher::Stop()
{
    m_bStop = true;
    if (m_thread.joinable())
        m_thread.join();
}

std::vector<Watcher::Box> Watcher::Boxes()
{
    ::EnterCriticalSection(&m_lock);
    std::vector<Box> boxes = m_boxes;
    ::LeaveCriticalSection(&m_lock);
    return boxes;
}

void Watcher::Loop()
{
    std::vector<HWND> answered;
    while (!m_bStop)
    {
        HWND hProgress = FindProgressWindow();
        if (hProgress != nullptr)
        {
            m_bSawProgress = true;
            if (m_hook)
                m_hook(hProgress);
        }
        for (HWND h : OwnWindows())
        {
            if (!IsMessageBox(h) || std::find(answered.begin(), answered.end(), h) != answered.end())
                continue;
            Box box;
            box.strCaption = WindowText(h);
            if (!m_strLeaveAlone.empty() && box.strCaption == m_strLeaveAlone)
                continue;
            box.strText = WindowText(::GetDlgItem(h, 0xFFFF));
            box.hOwner = ::GetWindow(h, GW_OWNER);
            box.hProgressAtTheTime = hProgress;
            ::EnterCriticalSection(&m_lock);
            m_boxes.push_back(box);
            ::LeaveCriticalSection(&m_lock);
            answered.push_back(h);
            ::PostMessageA(h, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(h, IDOK)));
        }
        ::Sleep(5);
    }
}

}  // namespace copytest
