#include "RecordingFolderBrowser.h"

std::string PathOfItem(LPCITEMIDLIST pidl)
{
    char szPath[MAX_PATH] = "";
    if (pidl == nullptr || !::SHGetPathFromIDListA(pidl, szPath) || szPath[0] == '\0')
        return "<none>";
    return szPath;
}

std::string CurrentApartment()
{
    APTTYPE type;
    APTTYPEQUALIFIER qualifier;
    if (FAILED(::CoGetApartmentType(&type, &qualifier)) || qualifier == APTTYPEQUALIFIER_IMPLICIT_MTA)
        return "none";
    return type == APTTYPE_MTA ? "MTA" : "STA";
}

void CRecordingFolderBrowser::SetSelection(LPCSTR lpszPath)
{
    Record(std::string("preselect:") + (lpszPath != nullptr ? lpszPath : "<null>"));
    CFolderBrowser::SetSelection(lpszPath);
}

std::vector<std::string> CRecordingFolderBrowser::Events() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_events;
}

bool CRecordingFolderBrowser::IsReady() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bReady;
}

std::string CRecordingFolderBrowser::LastSelection() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_strLastSelection;
}

std::string CRecordingFolderBrowser::ApartmentAtInit() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_strApartmentAtInit;
}

void CRecordingFolderBrowser::ClearEvents()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_events.clear();
    m_strLastSelection.clear();
    m_bReady = false;
    m_strApartmentAtInit.clear();
}

BOOL CRecordingFolderBrowser::OnInitialized()
{
    std::string strApartment = CurrentApartment();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_strApartmentAtInit = strApartment;
    }
    Record("init" + WindowState());
    BOOL bResult = CFolderBrowser::OnInitialized();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bReady = true;
    return bResult;
}

void CRecordingFolderBrowser::OnOK()
{
    Record("ok" + WindowState());
    CFolderBrowser::OnOK();
}

void CRecordingFolderBrowser::OnCancel()
{
    Record("cancel" + WindowState());
    CFolderBrowser::OnCancel();
}

void CRecordingFolderBrowser::OnSelChanged(LPCITEMIDLIST pidl)
{
    std::string strPath = PathOfItem(pidl);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_strLastSelection = strPath;
    }
    Record("sel:" + strPath);
    CFolderBrowser::OnSelChanged(pidl);
}

void CRecordingFolderBrowser::Record(const std::string& strEvent)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_events.push_back(strEvent);
}

// Whether the notification came while this object was attached to a live, shown window.
std::string CRecordingFolderBrowser::WindowState() const
{
    if (m_hWnd == nullptr)
        return "(detached)";
    if (!::IsWindow(m_hWnd))
        return "(gone)";
    return ::IsWindowVisible(m_hWnd) ? "(visible)" : "(hidden)";
}
