#include "dbinstall/RemovalRun.h"

#include "dbinstall/RecordedRemoval.h"
#include "platform/copy/CopyErrors.h"

const RunTexts g_removalTexts = { "Preparing to remove...", "%u files and folders found", "Removing:" };

DWORD CRemovalRun::Run()
{
    m_files.RemoveAll();
    m_removed.RemoveAll();
    m_stayed.RemoveAll();
    m_stayed.m_strEdition = m_record.m_strEdition;
    m_stayed.m_bRootMade = m_record.m_bRootMade;
    for (int i = 0; i < m_record.m_items.GetSize(); ++i)
    {
        if (m_record.m_items[i].bFolder)
            continue;
        m_files.Add(i);
        m_removed.Add(0);
        AddTotalBytes(m_record.m_items[i].ullSize);
    }
    m_nFiles = m_files.GetSize();
    SetItemsFound(static_cast<unsigned>(m_record.m_items.GetSize()));
    SetPhase(phaseWorking);
    DWORD dwResult = m_nFiles > 0 ? RunWorkItems(m_nFiles, kMaxThreads) : 0;

    m_nFilesRemoved = 0;
    for (int i = 0; i < m_nFiles; ++i)
    {
        const CRecordedItem& item = m_record.m_items[m_files[i]];
        if (m_removed[i] != 0)
            ++m_nFilesRemoved;
        else
            m_stayed.Add(item.strPath, item.ullSize, false);
    }
    // Folders emptied before a cancel or a held file go as well: what stays is recorded.
    m_nFoldersRemoved = RemoveRecordedFolders(m_root, m_record, nullptr, &m_stayed);
    SetPhase(phaseDone);
    // A file given up on while others went is not the run's failure: the caller counts it.
    return dwResult == 0 && m_nHeld.load() > 0 ? ERROR_SHARING_VIOLATION : dwResult;
}

CFileRun::Recovery CRemovalRun::OnRecoverableError(const CString& strText, DWORD dwError)
{
    Recovery recovery = CFileRun::OnRecoverableError(strText, dwError);
    if (recovery != recoverFail || !IsHoldError(dwError))
        return recovery;
    m_nHeld.fetch_add(1);
    return recoverSkip;
}

CString CRemovalRun::NameOfItem(int nItem) const
{
    return m_strRoot + RecordedPathText(m_record.m_items[m_files[nItem]].strPath);
}

DWORD CRemovalRun::DoWorkItem(int nIndex, void*)
{
    SetCurrentItem(nIndex);
    const CRecordedItem& item = m_record.m_items[m_files[nIndex]];
    WCHAR szPath[MAX_PATH];
    if (::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, item.strPath, -1, szPath, MAX_PATH) == 0)
        return Fail(ERROR_INVALID_NAME, "Cannot remove \"%s\".", NameOfItem(nIndex));
    for (;;)
    {
        unsigned nAnswered = GetAnswers();
        DWORD dwError = WaitOutHolds([&] { return m_root.DeleteBelow(szPath); });
        // A folder of the user's where a recorded file was is not ours to take.
        if (IsGone(dwError) || dwError == ERROR_DIR_NOT_EMPTY)
        {
            m_removed[nIndex] = 1;
            AddBytesDone(item.ullSize);
            return 0;
        }
        CString strText = IsHoldError(dwError) ? CopyErrors::Say(CopyErrors::kInUse, NameOfItem(nIndex))
                                               : CopyErrors::Say("Cannot remove \"%s\".", NameOfItem(nIndex));
        dwError = Recover(dwError, strText, nAnswered);
        if (dwError != 0)
            return IsCancelRequested() || HasFailed() ? dwError : 0;
    }
}
