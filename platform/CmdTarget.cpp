#include "CmdTarget.h"

static const AFX_MSGMAP_ENTRY s_noEntries[] = { { 0, 0, 0, 0, nullptr } };
const AFX_MSGMAP CCmdTarget::messageMap = { nullptr, &s_noEntries[0] };

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const
{
    return &CCmdTarget::messageMap;
}

const AFX_MSGMAP_ENTRY* CCmdTarget::FindMessageEntry(UINT nMessage, UINT nCode, UINT nID) const
{
    for (const AFX_MSGMAP* pMap = GetMessageMap(); pMap != nullptr; pMap = pMap->pBaseMap)
    {
        for (const AFX_MSGMAP_ENTRY* pEntry = pMap->lpEntries; pEntry->nMessage != 0; ++pEntry)
        {
            if (pEntry->nMessage != nMessage)
                continue;
            if (nMessage != WM_COMMAND)
                return pEntry;
            if (pEntry->nCode == nCode && pEntry->nID <= nID && nID <= pEntry->nLastID)
                return pEntry;
        }
    }
    return nullptr;
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode)
{
    const AFX_MSGMAP_ENTRY* pEntry = FindMessageEntry(WM_COMMAND, static_cast<UINT>(nCode), nID);
    if (pEntry == nullptr)
        return FALSE;
    pEntry->pfn(this, 0, 0);
    return TRUE;
}
