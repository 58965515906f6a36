// The copying engine's progress window and its message loop: the window shows for the
// whole copy, unowned, with the title and an advancing bar; Cancel, Escape and the close
// box cancel; the caller's other windows stay live and a WM_QUIT is kept for the caller.
#include "CopyTestSupport.h"

#include "platform/CopyWithProgress.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <mutex>
#include <set>

using namespace copytest;

namespace {

const uint64_t kMiB = 1024 * 1024;

// Big files, quick to make: enough bytes that the copy lasts long enough to watch.
std::string MakeBigTree(const TempTree& tmp, int files, uint64_t size)
{
    std::string src = tmp / "big";
    MakeDir(src);
    for (int i = 0; i < files; ++i)
        MakeBigFile(src + "\\part" + std::to_string(i) + ".dat", size, static_cast<unsigned>(i));
    MakeDir(src + "\\small");
    for (int i = 0; i < 20; ++i)
        MakeFile(src + "\\small\\s" + std::to_string(i) + ".txt", 1000 + i, static_cast<unsigned>(i));
    return src;
}

struct Seen
{
    std::mutex lock;
    std::vector<int> positions;
    std::set<HWND> windows;
    std::string caption;
    HWND owner = reinterpret_cast<HWND>(1);
    bool hasCancel = false;
    std::string cancelText;
    std::string nameText;
    std::string className;
};

}  // namespace

TEST(CopyProgressTest, UnownedProgressWindowShowsTheTitleAndAnAdvancingBar)
{
    TempTree tmp("progress");
    std::string src = MakeBigTree(tmp, 4, 80 * kMiB);
    Seen seen;
    Watcher watcher([&seen](HWND h) {
        std::lock_guard<std::mutex> guard(seen.lock);
        seen.windows.insert(h);
        // Recorded while the window lives: the last round may find it going away.
        std::string caption = WindowText(h);
        if (caption.empty())
            return;
        seen.caption = caption;
        seen.owner = ::GetWindow(h, GW_OWNER);
        HWND cancel = ::GetDlgItem(h, IDCANCEL);
        if (cancel != nullptr && seen.cancelText.empty())
        {
            seen.hasCancel = ::IsWindowVisible(cancel) && ::IsWindowEnabled(cancel);
            seen.cancelText = WindowText(cancel);
        }
        // The name of the file being copied shows in a static.
        for (HWND c = ::GetWindow(h, GW_CHILD); c != nullptr; c = ::GetWindow(c, GW_HWNDNEXT))
        {
            std::string t = WindowText(c);
            if (t.find(".dat") != std::string::npos || t.find(".txt") != std::string::npos)
                seen.nameText = t;
        }
        int pos = ProgressPos(h);
        if (pos >= 0 && (seen.positions.empty() || seen.positions.back() != pos))
            seen.positions.push_back(pos);
    });
    CopyRequest request({ src }, { tmp / "out\\big" });
    int result = request.Run();
    watcher.Stop();

    EXPECT_EQ(0, result);
    EXPECT_FALSE(request.op.fAnyOperationsAborted);
    ExpectSameTree(src, tmp / "out\\big");
    ASSERT_EQ(1u, seen.windows.size()) << "one progress window for the whole copy";
    HWND h = *seen.windows.begin();
    EXPECT_FALSE(::IsWindow(h)) << "destroyed when the call returns";
    EXPECT_EQ("Copying...", seen.caption);
    EXPECT_EQ(nullptr, seen.owner);
    EXPECT_TRUE(seen.hasCancel);
    EXPECT_EQ("Cancel", seen.cancelText);
    EXPECT_NE(std::string::npos, seen.nameText.find("big\\")) << seen.nameText;
    ASSERT_GE(seen.positions.size(), 2u) << "the bar moves";
    for (size_t i = 1; i < seen.positions.size(); ++i)
        EXPECT_LT(seen.positions[i - 1], seen.positions[i]) << "the bar only advances";
    EXPECT_GT(seen.positions.back(), seen.positions.front());
}

TEST(CopyProgressTest, NullTitleShowsCopying)
{
    TempTree tmp("notitle");
    std::string src = MakeBigTree(tmp, 1, 96 * kMiB);
    std::string caption;
    std::mutex lock;
    Watcher watcher([&](HWND h) {
        std::string text = WindowText(h);
        std::lock_guard<std::mutex> g(lock);
        if (!text.empty())
            caption = text;
    });
    CopyRequest request({ src }, { tmp / "out" });
    request.op.lpszProgressTitle = nullptr;
    EXPECT_EQ(0, request.Run());
    watcher.Stop();
    EXPECT_EQ("Copying...", caption);
}

enum class CancelBy { Button, Escape, CloseBox };

class CopyCancelTest : public testing::TestWithParam<CancelBy> {};

TEST_P(CopyCancelTest, CancelKeepsWholeFilesDeletesTheHalfOneAndSetsTheAbortFlag)
{
    TempTree tmp("cancel");
    // Sparse files: quick to make and to read, but every byte of the copy is written.
    std::string src = MakeBigTree(tmp, 8, 96 * kMiB);
    std::string dst = tmp / "out";
    std::atomic<bool> pressed{false};
    std::atomic<int> posAtPress{-1};
    CancelBy how = GetParam();
    Watcher watcher([&](HWND h) {
        if (pressed)
            return;
        int pos = ProgressPos(h);
        if (pos <= 0)
            return;   // wait until the bar has advanced
        posAtPress = pos;
        HWND cancel = ::GetDlgItem(h, IDCANCEL);
        switch (how)
        {
        case CancelBy::Button:
            ::PostMessageA(cancel, BM_CLICK, 0, 0);
            break;
        case CancelBy::Escape:
        {
            GUITHREADINFO info = {};
            info.cbSize = sizeof(info);
            HWND target = cancel;
            if (::GetGUIThreadInfo(::GetWindowThreadProcessId(h, nullptr), &info) && info.hwndFocus != nullptr
                && ::GetAncestor(info.hwndFocus, GA_ROOT) == h)
                target = info.hwndFocus;
            ::PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
            ::PostMessageA(target, WM_KEYUP, VK_ESCAPE, 0xC0010001);
            break;
        }
        case CancelBy::CloseBox:
            ::PostMessageA(h, WM_SYSCOMMAND, SC_CLOSE, 0);
            break;
        }
        pressed = true;
    });
    CopyRequest request({ src }, { dst });
    int result = request.Run();
    watcher.Stop();

    ASSERT_TRUE(pressed);
    EXPECT_GT(posAtPress.load(), 0);
    EXPECT_EQ(ERROR_CANCELLED, result);
    EXPECT_TRUE(request.op.fAnyOperationsAborted);
    EXPECT_TRUE(watcher.Boxes().empty()) << "a cancel is no error";
    // What is there is whole; not everything is there.
    auto copied = ListTree(dst);
    size_t files = 0;
    for (const auto& kv : copied)
    {
        if (kv.second.bDir)
            continue;
        ++files;
        EXPECT_TRUE(SameContent(src + "\\" + kv.first, dst + "\\" + kv.first)) << kv.first << " is a half file";
    }
    size_t sourceFiles = 0;
    for (const auto& kv : ListTree(src))
        sourceFiles += kv.second.bDir ? 0 : 1;
    EXPECT_LT(files, sourceFiles);
    EXPECT_EQ(nullptr, FindProgressWindow());
}

INSTANTIATE_TEST_SUITE_P(Ways, CopyCancelTest,
                         testing::Values(CancelBy::Button, CancelBy::Escape, CancelBy::CloseBox),
                         [](const testing::TestParamInfo<CancelBy>& info) {
                             switch (info.param)
                             {
                             case CancelBy::Button: return std::string("Button");
                             case CancelBy::Escape: return std::string("Escape");
                             default: return std::string("CloseBox");
                             }
                         });

namespace {

// A window of the caller's thread, standing for the launcher.
const UINT kPing = WM_APP + 1;
const UINT kOpenAbout = WM_APP + 2;
std::atomic<int> g_pings{0};

LRESULT CALLBACK CallerWndProc(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == kPing)
        return ++g_pings;
    if (msg == kOpenAbout)
    {
        // A modal box of the caller's own, like the About box, nested in the copy's loop.
        ::MessageBoxA(h, "About the launcher", "About test", MB_OK);
        return 0;
    }
    return ::DefWindowProcA(h, msg, wp, lp);
}

HWND MakeCallerWindow()
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = CallerWndProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "CopyTestCaller";
    ::RegisterClassA(&wc);
    HWND h = ::CreateWindowExA(0, "CopyTestCaller", "Launcher stand-in", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10,
                               300, 200, nullptr, nullptr, wc.hInstance, nullptr);
    return h;
}

}  // namespace

TEST(CopyLoopTest, CallerWindowsStayLiveAndTheCopyGoesOnUnderTheirModalBoxes)
{
    TempTree tmp("live");
    std::string src = MakeBigTree(tmp, 3, 128 * kMiB);
    HWND caller = MakeCallerWindow();
    ASSERT_NE(nullptr, caller);
    std::atomic<int> answered{0};
    std::atomic<DWORD> slowest{0};
    std::atomic<bool> aboutAsked{false};
    std::atomic<bool> aboutSeen{false};
    std::atomic<bool> barFullUnderAbout{false};
    Watcher watcher([&](HWND h) {
        // The caller's window answers while the copy runs, and while its own box is up.
        DWORD t0 = ::GetTickCount();
        DWORD_PTR r = 0;
        if (!barFullUnderAbout && ::SendMessageTimeoutA(caller, kPing, 0, 0, SMTO_NORMAL, 300, &r))
        {
            ++answered;
            DWORD dt = ::GetTickCount() - t0;
            if (dt > slowest)
                slowest = dt;
        }
        // At once the caller opens a modal box of its own, as the About box would be.
        if (!aboutAsked)
        {
            aboutAsked = true;
            ::PostMessageA(caller, kOpenAbout, 0, 0);
            return;
        }
        HWND about = nullptr;
        for (HWND w : OwnWindows())
            if (IsMessageBox(w) && WindowText(w) == "About test")
                about = w;
        if (about == nullptr)
            return;
        aboutSeen = true;
        if (!barFullUnderAbout && ProgressPos(h) == 10000)
        {
            // The copy went on to its end under the caller's box, and the bar followed.
            barFullUnderAbout = true;
            ::PostMessageA(about, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        }
    }, "About test");
    CopyRequest request({ src }, { tmp / "out" });
    int result = request.Run();
    watcher.Stop();
    ::DestroyWindow(caller);

    EXPECT_EQ(0, result);
    EXPECT_FALSE(request.op.fAnyOperationsAborted);
    EXPECT_TRUE(aboutSeen);
    EXPECT_TRUE(barFullUnderAbout) << "the copy neither stopped nor stalled under a modal box of the caller";
    EXPECT_GE(answered.load(), 3);
    EXPECT_LT(slowest.load(), 250u) << "the caller's window answers at once";
    ExpectSameTree(src, tmp / "out");
}

TEST(CopyLoopTest, AQuitMessageDuringTheCopyIsKeptForTheCaller)
{
    TempTree tmp("quit");
    std::string src = MakeBigTree(tmp, 3, 128 * kMiB);
    DWORD uiThread = ::GetCurrentThreadId();
    std::atomic<bool> posted{false};
    std::atomic<int> posAtPost{-1};
    Watcher watcher([&](HWND h) {
        if (!posted)
        {
            // At once: the copy has most of its way before it.
            posAtPost = ProgressPos(h);
            posted = true;
            ::PostThreadMessageA(uiThread, WM_QUIT, 42, 0);
        }
    });
    CopyRequest request({ src }, { tmp / "out" });
    int result = request.Run();
    watcher.Stop();
    ASSERT_TRUE(posted);
    EXPECT_LT(posAtPost.load(), 5000) << "posted while the copy ran";
    EXPECT_EQ(0, result) << "the copy is not abandoned";
    ExpectSameTree(src, tmp / "out");
    MSG msg;
    ASSERT_TRUE(::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "WM_QUIT posted again";
    EXPECT_EQ(42u, msg.wParam);
}
