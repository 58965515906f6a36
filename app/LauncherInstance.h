// One launcher per media. AutoPlay starts the launcher when the disc goes in, and users
// double-click it as well: the first launcher started from a folder holds a named object
// of the user's session keyed by that folder's identity (not its spelling), and a second
// start from the same folder brings the first one's window to the front and ends before it
// shows a window of its own. Launchers of different folders run side by side.
#pragma once

#include "platform/String.h"

class CLauncherInstance
{
public:
    CLauncherInstance() = default;
    ~CLauncherInstance();
    CLauncherInstance(const CLauncherInstance&) = delete;
    CLauncherInstance& operator=(const CLauncherInstance&) = delete;

    // True when no other launcher of the folder runs (or that cannot be known); false when
    // one does, after its window was brought to the front, restored if minimised, when
    // bBringForward. A first launcher that has no window yet, or whose object this one may
    // not open (it runs elevated), is left as it is.
    bool Claim(const CString& strLauncherDir, bool bBringForward);

private:
    HANDLE m_hMapping = nullptr;   // holds the first launcher's process id
};
