// The temporary folder that a new tree is written in before it takes its name
// (CFileTreeCopier), and the one that the files replacing an earlier installation's are
// written in before each takes its place: named as a temporary file is ("~vm00A3.tmp"),
// held open by the copy that writes it, without delete sharing, and marked as the engine's
// own by a file written into it first. The clean-up of a later copy removes only a folder
// that carries the marker and that no running copy holds: a user's own folder of such a
// name, a link or a junction, and the tree of a second copy at work in the same folder all
// stay. It works through held folders (CHeldFolder): what it checked is what it empties.
#pragma once

#include "platform/Afx.h"
#include "platform/String.h"
#include "platform/copy/HeldFolder.h"

class CCopyTempFolder
{
public:
    CCopyTempFolder() = default;
    ~CCopyTempFolder() { Release(); }
    CCopyTempFolder(const CCopyTempFolder&) = delete;
    CCopyTempFolder& operator=(const CCopyTempFolder&) = delete;

    // Makes (COwnFolders), holds and marks a new temporary folder in strParent. 0 or the
    // system's error.
    DWORD Create(const CString& strParent);
    const CString& GetPath() const { return m_strPath; }
    bool IsHeld() const { return m_folder.IsOpen(); }

    // Gives the folder the name strDest (which must not exist), unmarked. 0 or the system's
    // error; on an error it stays held and marked.
    DWORD Place(const CString& strDest);

    // Removes the folder with what it holds, through its hold, and lets it go; when
    // something in it stays (another program holds a file), the folder stays marked.
    void Remove();

    // Lets the folder go, marked: what it holds goes with the next copy's clean-up.
    void Release() { m_folder.Close(); }

    // Removes the folder pszName of the held folder parent with all it holds if it is a
    // leftover: it carries the marker, is no link or junction, and no running copy holds
    // it. Links and junctions inside go themselves, never what they lead to. Two clean-ups
    // at once only remove the same things.
    static void RemoveIfLeftover(const CHeldFolder& parent, LPCWSTR pszName);

private:
    static DWORD WriteMarker(const CString& strFolder);

    CHeldFolder m_folder;
    CString m_strPath;
};
