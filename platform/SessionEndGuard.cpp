#include "platform/SessionEndGuard.h"

#include <process.h>

namespace {

const UINT WM_GUARD_DONE = WM_APP + 1;
// How long the session's end is held for the stopped task to be recorded and the process
// to exit; Windows ends the process when the handler returns, or when the user forces it.
const DWORD kHoldMillis = 20000;

LONG g_bSessionEnded = 0;
WCHAR g_szReason[128] = L"";

enum GuardState
{
    stateGuarding,
    stateSessionEnded,
    stateDone,
};

}  // namespace

struct CSessionEndGuard::State
{
    PFN_STOP pfnStop;
    void* pContext;
    HANDLE hReady;
    HWND hWnd;
    volatile LONG nState;
};

namespace {

typedef BOOL(WINAPI* PFN_REASONCREATE)(HWND, LPCWSTR);
typedef BOOL(WINAPI* PFN_REASONDESTROY)(HWND);

FARPROC User32Function(LPCSTR pszName)
{
    return ::GetProcAddress(::GetModuleHandleA("user32.dll"), pszName);
}

LRESULT CALLBACK GuardWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    auto* pState = reinterpret_cast<CSessionEndGuard::State*>(::GetWindowLongPtrA(hWnd, GWLP_USERDATA));
    switch (uMsg)
    {
    case WM_QUERYENDSESSION:
        // Asks Windows to wait: it shows the reason, and the user may end the session anyway.
        return FALSE;
    case WM_ENDSESSION:
        if (wParam && ::InterlockedCompareExchange(&pState->nState, stateSessionEnded, stateGuarding) == stateGuarding)
        {
            ::InterlockedExchange(&g_bSessionEnded, 1);
            pState->pfnStop(pState->pContext);
            // The process exits meanwhile; this thread and its state go with it.
            ::Sleep(kHoldMillis);
        }
        return 0;
    case WM_GUARD_DONE:
        if (auto pfnDestroy = reinterpret_cast<PFN_REASONDESTROY>(reinterpret_cast<void*>(User32Function("ShutdownBlockReasonDestroy"))))
            pfnDestroy(hWnd);
        ::DestroyWindow(hWnd);
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcA(hWnd, uMsg, wParam, lParam);
    }
}

unsigned __stdcall GuardThread(void* pParam)
{
    auto* pState = static_cast<CSessionEndGuard::State*>(pParam);
    HINSTANCE hInstance = ::GetModuleHandleA(nullptr);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &GuardWndProc;
    wc.hInstance = hInstance;
    wc.lpszClassName = CSessionEndGuard::kWindowClass;
    ::RegisterClassA(&wc);   // fails harmlessly when a guard before registered it
    // A top-level window (not message-only: those get no session messages), never shown.
    pState->hWnd = ::CreateWindowExA(0, CSessionEndGuard::kWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                     hInstance, nullptr);
    if (pState->hWnd != nullptr)
    {
        ::SetWindowLongPtrA(pState->hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pState));
        auto pfnCreate = reinterpret_cast<PFN_REASONCREATE>(reinterpret_cast<void*>(User32Function("ShutdownBlockReasonCreate")));
        if (pfnCreate != nullptr && g_szReason[0] != L'\0')
            pfnCreate(pState->hWnd, g_szReason);
    }
    ::SetEvent(pState->hReady);
    MSG msg;
    while (pState->hWnd != nullptr && ::GetMessageA(&msg, nullptr, 0, 0) > 0)
        ::DispatchMessageA(&msg);
    return 0;
}

}  // namespace

void CSessionEndGuard::SetReason(LPCSTR pszReason)
{
    ::MultiByteToWideChar(CP_ACP, 0, pszReason, -1, g_szReason, sizeof(g_szReason) / sizeof(g_szReason[0]) - 1);
}

bool CSessionEndGuard::HasSessionEnded()
{
    return ::InterlockedCompareExchange(&g_bSessionEnded, 0, 0) != 0;
}

CSessionEndGuard::CSessionEndGuard(PFN_STOP pfnStop, void* pContext)
    : m_pState(new State{ pfnStop, pContext, ::CreateEventA(nullptr, TRUE, FALSE, nullptr), nullptr, stateGuarding }),
      m_hThread(nullptr)
{
    if (m_pState->hReady != nullptr)
        m_hThread = reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, &GuardThread, m_pState, 0, nullptr));
    if (m_hThread != nullptr)
        ::WaitForSingleObject(m_pState->hReady, INFINITE);
}

CSessionEndGuard::~CSessionEndGuard()
{
    bool bGuarding = ::InterlockedCompareExchange(&m_pState->nState, stateDone, stateGuarding) == stateGuarding;
    if (!bGuarding)
        return;   // the session ends: the thread holds it until the process exits
    if (m_hThread != nullptr)
    {
        if (m_pState->hWnd != nullptr)
            ::PostMessageA(m_pState->hWnd, WM_GUARD_DONE, 0, 0);
        ::WaitForSingleObject(m_hThread, INFINITE);
        ::CloseHandle(m_hThread);
    }
    if (m_pState->hReady != nullptr)
        ::CloseHandle(m_pState->hReady);
    delete m_pState;
}
