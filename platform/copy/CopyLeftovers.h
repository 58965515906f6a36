// The clean-up of what a killed copy left in a folder: its temporary folders, with all they
// hold (the temporary files among it), that carry the engine's marker and that no running
// copy holds (CCopyTempFolder), found and removed by their names as the file system has
// them, through held folders (CHeldFolder). A user's own file or folder, even of the
// engine's name, a link or a junction of such a name, and what a copy at work in the same
// folder holds, all stay. It uses the temporary file's and folder's rules; neither of them
// uses it.
#pragma once

#include "platform/String.h"

class CCopyLeftovers
{
public:
    // Removes the leftovers found directly in strFolder.
    static void RemoveFrom(const CString& strFolder);
};
