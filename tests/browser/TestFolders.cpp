#include "TestFolders.h"

#include "Driver.h"

namespace
{

void ReadFolder(const std::string& strFolder)
{
    WIN32_FIND_DATAA data;
    HANDLE hFind = ::FindFirstFileA((strFolder + "\\*").c_str(), &data);
    if (hFind == INVALID_HANDLE_VALUE)
        return;
    while (::FindNextFileA(hFind, &data))
    {
    }
    ::FindClose(hFind);
}

std::string LongPath(const std::string& strPath)
{
    char szLong[MAX_PATH] = "";
    DWORD n = ::GetLongPathNameA(strPath.c_str(), szLong, sizeof(szLong));
    return n > 0 && n < sizeof(szLong) ? std::string(szLong) : strPath;
}

} // namespace

CTempFolderTree::CTempFolderTree()
{
    char szTemp[MAX_PATH] = "";
    ::GetTempPathA(sizeof(szTemp), szTemp);
    std::string strRoot = std::string(szTemp) + "vormel-browser-" + std::to_string(::GetCurrentProcessId())
        + "-" + std::to_string(::GetTickCount());
    if (::CreateDirectoryA(strRoot.c_str(), nullptr))
        m_strRoot = LongPath(strRoot);
}

CTempFolderTree::~CTempFolderTree()
{
    if (!m_strRoot.empty())
        driver::RemoveTree(m_strRoot);
}

std::string CTempFolderTree::MakeFolder(const std::string& strName)
{
    if (m_strRoot.empty())
        return "";
    std::string strPath = m_strRoot + "\\" + strName;
    if (!::CreateDirectoryA(strPath.c_str(), nullptr))
        return "";
    m_folders.push_back(LongPath(strPath));
    return m_folders.back();
}

void CTempFolderTree::Settle() const
{
    if (m_strRoot.empty())
        return;
    ReadFolder(m_strRoot.substr(0, m_strRoot.rfind('\\')));
    ReadFolder(m_strRoot);
    for (const std::string& strFolder : m_folders)
        ReadFolder(strFolder);
}

CTempDriveLetter::CTempDriveLetter(const std::string& strTargetFolder)
{
    if (strTargetFolder.empty())
        return;
    DWORD dwDrives = ::GetLogicalDrives();
    for (char chLetter = 'Q'; chLetter >= 'D'; --chLetter)
    {
        if (dwDrives & (1u << (chLetter - 'A')))
            continue;
        char szDevice[3] = { chLetter, ':', '\0' };
        if (::DefineDosDeviceA(0, szDevice, strTargetFolder.c_str()))
            lstrcpyA(m_szDevice, szDevice);
        return;
    }
}

CTempDriveLetter::~CTempDriveLetter()
{
    if (m_szDevice[0] != '\0')
        ::DefineDosDeviceA(DDD_REMOVE_DEFINITION, m_szDevice, nullptr);
}

std::string CTempDriveLetter::RootPath() const
{
    return m_szDevice[0] != '\0' ? std::string(m_szDevice) + "\\" : std::string();
}
