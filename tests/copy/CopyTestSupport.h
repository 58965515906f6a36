// Helpers of the copying-engine tests: temporary trees, tree comparison, the launcher's
// copy request, and watchers that find and answer the engine's windows from a second
// thread of the test process.
#pragma once

#include "platform/Afx.h"

#include "Driver.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace copytest {

// A folder under the temporary folder with a unique name, removed with everything in it.
class TempTree
{
public:
    explicit TempTree(const char* pszTag);
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;
    // The folder's path, without a trailing backslash.
    const std::string& Path() const { return m_strPath; }
    std::string operator/(const std::string& strRel) const { return m_strPath + "\\" + strRel; }

private:
    driver::TempDir m_dir;
    std::string m_strPath;
};

using driver::Exists;
using driver::RemoveTree;
void MakeDir(const std::string& strPath);
// A file of nSize bytes whose content depends on nSeed.
void MakeFile(const std::string& strPath, size_t nSize, unsigned nSeed);
inline void MakeTextFile(const std::string& strPath, const std::string& strContent)
{
    driver::WriteBytes(strPath, strContent);
}
// A big file made fast: its size set at once, a few marked bytes at the start and end.
void MakeBigFile(const std::string& strPath, uint64_t ullSize, unsigned nSeed);
inline std::string ReadFileBytes(const std::string& strPath)
{
    return driver::ReadBytes(strPath);
}
bool IsDir(const std::string& strPath);
DWORD Attributes(const std::string& strPath);
uint64_t FileSize(const std::string& strPath);
FILETIME LastWriteTime(const std::string& strPath);
void SetLastWriteTime(const std::string& strPath, const FILETIME& ft);
bool SameContent(const std::string& strA, const std::string& strB);

struct Entry
{
    bool bDir;
    uint64_t ullSize;
    DWORD dwAttributes;      // READONLY, HIDDEN and SYSTEM only
    uint64_t ullLastWrite;   // files only
};
// Every file and folder beneath strRoot, keyed by the path beneath it.
std::map<std::string, Entry> ListTree(const std::string& strRoot);
// Gtest expectations: same names, kinds, sizes, contents, attributes and file times.
void ExpectSameTree(const std::string& strExpected, const std::string& strActual);

// The launcher's request: FO_COPY, 0x211, "Copying...", abort flag preset TRUE.
class CopyRequest
{
public:
    CopyRequest(const std::vector<std::string>& sources, const std::vector<std::string>& dests);
    CopyRequest(const CopyRequest&) = delete;
    CopyRequest& operator=(const CopyRequest&) = delete;
    SHFILEOPSTRUCTA op;
    int Run();   // CopyWithProgress(&op)

private:
    std::string m_strFrom;
    std::string m_strTo;
};

// Visible top-level windows of this process.
std::vector<HWND> OwnWindows();
// The progress window: caption "Copying...", no owner, not a message box.
HWND FindProgressWindow();
std::string WindowText(HWND hWnd);
bool IsMessageBox(HWND hWnd);

// A thread that watches the process's windows every few milliseconds while a test runs.
// Message boxes are answered with OK and recorded; an optional hook sees the progress
// window each round and may act on it.
class Watcher
{
public:
    struct Box
    {
        std::string strCaption;
        std::string strText;
        HWND hOwner;
        HWND hProgressAtTheTime;
    };
    using ProgressHook = std::function<void(HWND hProgress)>;

    // Boxes captioned strLeaveAlone are neither answered nor recorded.
    explicit Watcher(ProgressHook hook = ProgressHook(), std::string strLeaveAlone = std::string());
    ~Watcher();
    void Stop();
    std::vector<Box> Boxes();
    bool SawProgressWindow() const { return m_bSawProgress.load(); }

private:
    void Loop();

    ProgressHook m_hook;
    std::string m_strLeaveAlone;
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bSawProgress{false};
    std::vector<Box> m_boxes;
    CRITICAL_SECTION m_lock;
    std::thread m_thread;
};

// Bar position of a progress window (its progress-bar child), or -1.
int ProgressPos(HWND hProgress);
HWND ProgressBar(HWND hProgress);

}  // namespace copytest
