// The edition of the database that the media holds ("2027.1"): the fourth line of the
// install list, after the three the launcher has always read. It becomes the Programs and
// Features entry's DisplayVersion, which deployment tools compare as a version to tell next
// year's edition from this one.
#pragma once

#include "platform/String.h"

// Whether the text is a version a deployment tool can compare: one to four parts of one
// to five digits (each at most 65535), parted by dots, nothing else.
bool IsEditionText(LPCSTR pszText);

// The edition named by the install list beside the launcher; "" when the list has no
// fourth line or it is not a version (blanks around it are dropped).
CString ReadMediaEdition(const CString& strLauncherDir);

// The media's edition, or, when it names none, the launcher's own file version.
CString DatabaseEdition(const CString& strLauncherDir, bool* pbFromMedia = nullptr);
