#include "WinApp.h"

#include "Wnd.h"

static CWinApp* s_pApp = nullptr;

CWinApp::CWinApp(LPCSTR lpszAppName)
{
    if (lpszAppName != nullptr)
    {
        m_strAppName = lpszAppName;
        m_pszAppName = m_strAppName;
    }
    s_pApp = this;
}

CWinApp::~CWinApp()
{
    if (s_pApp == this)
        s_pApp = nullptr;
}

void CWinApp::SetModule(HINSTANCE hInstance)
{
    m_hInstance = hInstance;

    CString strPath = AfxGetModuleFileName(hInstance);
    LPCSTR pszName = strPath;
    for (LPCSTR p = strPath; *p != '\0'; p = ::CharNextA(p))
    {
        if (*p == '\\' || *p == '/' || *p == ':')
            pszName = p + 1;
    }
    m_strExeName = pszName;
    LPCSTR pszDot = nullptr;
    for (LPCSTR p = m_strExeName; *p != '\0'; p = ::CharNextA(p))
    {
        if (*p == '.')
            pszDot = p;
    }
    if (pszDot != nullptr)
        m_strExeName = m_strExeName.Left(static_cast<int>(pszDot - static_cast<LPCSTR>(m_strExeName)));
    m_pszExeName = m_strExeName;

    if (m_pszAppName == nullptr)
    {
        m_strAppName = m_strExeName;
        m_pszAppName = m_strAppName;
    }
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

int CWinApp::Run()
{
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0)
    {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return ExitInstance();
}

int CWinApp::ExitInstance()
{
    return 0;
}

CString AfxGetModuleFileName(HMODULE hModule)
{
    CString strPath;
    for (DWORD nSize = MAX_PATH; nSize <= 32768; nSize *= 2)
    {
        DWORD nLength = ::GetModuleFileNameA(hModule, strPath.GetBuffer(static_cast<int>(nSize)), nSize);
        if (nLength < nSize)
        {
            strPath.ReleaseBuffer(static_cast<int>(nLength));
            return strPath;
        }
    }
    strPath.Empty();
    return strPath;
}

CWinApp* AfxGetApp()
{
    return s_pApp;
}

CWnd* AfxGetMainWnd()
{
    return s_pApp != nullptr ? s_pApp->m_pMainWnd : nullptr;
}

HINSTANCE AfxGetInstanceHandle()
{
    if (s_pApp != nullptr && s_pApp->m_hInstance != nullptr)
        return s_pApp->m_hInstance;
    return ::GetModuleHandleA(nullptr);
}

LPCSTR AfxGetAppName()
{
    return s_pApp != nullptr ? s_pApp->m_pszAppName : nullptr;
}

void AfxEnableControlContainer()
{
}

int AfxWinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    CWinApp* pApp = AfxGetApp();
    if (pApp == nullptr)
        return -1;
    pApp->SetModule(hInstance);
    if (!pApp->InitInstance())
        return pApp->ExitInstance();
    return pApp->Run();
}
