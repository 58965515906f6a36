#include "platform/copy/CopyLeftovers.h"

#include "platform/copy/CopyTempFile.h"
#include "platform/copy/CopyTempFolder.h"
#include "platform/copy/HeldFolder.h"

void CCopyLeftovers::RemoveFrom(const CString& strFolder)
{
    // The folder that the person chose may be a link or junction; nothing found in it is
    // entered through one. A file of the engine's name is left alone: the engine writes its
    // temporary files in marked folders, and one loose in a folder may be a user's own.
    CHeldFolder folder;
    if (folder.Open(strFolder, true) != 0)
        return;
    folder.ForEachChild([&](const CHeldFolder::Child& child) {
        if (CCopyTempFile::IsTempName(child.pszName)
            && (child.dwAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == FILE_ATTRIBUTE_DIRECTORY)
            CCopyTempFolder::RemoveIfLeftover(folder, child.pszName);
        return true;
    });
}
