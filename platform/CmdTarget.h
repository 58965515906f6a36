// Base of every object that receives messages or commands through a message map.
#pragma once

#include "MessageMap.h"

class CCmdTarget
{
public:
    virtual ~CCmdTarget() = default;

    // Looks for a WM_COMMAND entry matching the command number and notification code,
    // calls it and returns TRUE; FALSE when no table of this class or its bases has one.
    virtual BOOL OnCmdMsg(UINT nID, int nCode);

    static const AFX_MSGMAP messageMap;

protected:
    virtual const AFX_MSGMAP* GetMessageMap() const;

    // The first entry for the message (and, for commands, the number and code) in the
    // tables of this class and its bases, in table order; nullptr when there is none.
    const AFX_MSGMAP_ENTRY* FindMessageEntry(UINT nMessage, UINT nCode, UINT nID) const;
};
