// The application object: exactly one global instance, started by AfxWinMain.
#pragma once

#include "CmdTarget.h"
#include "String.h"

class CWinApp : public CCmdTarget
{
public:
    // With no name, the application title is the executable's base name.
    explicit CWinApp(LPCSTR lpszAppName = nullptr);
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;
    ~CWinApp() override;

    HINSTANCE m_hInstance = nullptr;
    LPCSTR m_pszAppName = nullptr;   // the application title, caption of message boxes
    LPCSTR m_pszExeName = nullptr;   // module file name without folder and extension
    CWnd* m_pMainWnd = nullptr;

    // FALSE ends the program without entering the application's message loop.
    virtual BOOL InitInstance();
    virtual int Run();
    virtual int ExitInstance();

    // The look of controls comes from the system and the manifest; nothing to switch on.
    BOOL Enable3dControls() { return TRUE; }

    // Called once by AfxWinMain before InitInstance.
    void SetModule(HINSTANCE hInstance);

    // The launcher ships no help file, so the help command has nothing to show.
    void OnHelp() {}

private:
    CString m_strAppName;
    CString m_strExeName;
};
