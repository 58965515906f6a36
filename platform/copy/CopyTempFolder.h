// The temporary folder that a new tree is written in before it takes its name
// (CFileTreeCopier): named as a temporary file is ("~vm00A3.tmp"), held open by the copy
// that writes it, without delete sharing, and marked as the engine's own by a file written
// into it first. The clean-up of a later copy removes only a folder that carries the
// marker and that no running copy holds: a user's own folder of such a name, a link or a
// junction, and the tree of a second copy at work in the same folder all stay.
#pragma once

#include "platform/Afx.h"
#include "platform/String.h"

class CCopyTempFolder
{
public:
    CCopyTempFolder() = default;
    ~CCopyTempFolder() { Release(); }
    CCopyTempFolder(const CCopyTempFolder&) = delete;
    CCopyTempFolder& operator=(const CCopyTempFolder&) = delete;

    // Makes, holds and marks a new temporary folder in strParent. 0 or the system's error.
    DWORD Create(const CString& strParent);
    const CString& GetPath() const { return m_strPath; }
    bool IsHeld() const { return m_hFolder != INVALID_HANDLE_VALUE; }

    // Gives the folder the name strDest (which must not exist), unmarked. 0 or the system's
    // error; on an error it stays held and marked.
    DWORD Place(const CString& strDest);

    // Removes the folder, which must hold nothing but folders now, and lets it go.
    void Remove();

    // Lets the folder go, marked: what it holds goes with the next copy's clean-up.
    void Release();

    // Removes the folder at strPath with all it holds if it is a leftover: it carries the
    // marker, is no link or junction, and no running copy holds it. Links and junctions
    // inside go, never what they lead to. Two clean-ups at once only remove the same things.
    static void RemoveIfLeftover(const CString& strPath);

private:
    // Opens a folder as the copy that writes it holds it: others cannot rename, delete or
    // (under Wine) even list it.
    static HANDLE Hold(const CString& strPath);
    static DWORD WriteMarker(const CString& strFolder);
    // Deletes everything in the folder, the marker last.
    static void RemoveContents(const CString& strFolder);

    HANDLE m_hFolder = INVALID_HANDLE_VALUE;
    CString m_strPath;
};
