#pragma once
#include "platform/Afx.h"
// Copies as the shell's file operation would for FO_COPY with FOF_MULTIDESTFILES, with a
// progress window, error reports and cancelling of its own, the same on Windows and Wine.
//
// The record: wFunc FO_COPY; fFlags FOF_MULTIDESTFILES | FOF_NOCONFIRMATION |
// FOF_NOCONFIRMMKDIR (0x211; FOF_SIMPLEPROGRESS may be added, it changes nothing); pFrom
// and pTo multi-strings of full paths (each entry followed by NUL, the list closed by one
// more NUL) with the same number of entries; lpszProgressTitle the progress window's
// caption ("Copying..." when null). hwnd and the other fields are not used. Any other
// function, flag or list shape: ERROR_INVALID_PARAMETER at once, nothing shown.
//
// The n-th source (a file, or a folder with everything beneath it, empty folders included)
// goes to the n-th destination path. An existing destination folder is merged into;
// existing files are replaced without a question, read-only ones too; missing folders,
// parents of a destination included, are made without one; the times and attributes of
// files and the attributes of folders are kept. Every file is written under a temporary
// name in its folder and takes its own name only when whole, so a file under its own name
// is complete whatever stops the copy, a kill included; the next copy into a folder
// removes the temporary files that a killed one left there.
//
// Before anything is made, every source must exist, no destination may be its own source
// or lie inside it, every file path of the trees must be shorter than MAX_PATH and every
// folder path shorter than MAX_PATH - 12 (CreateDirectoryA's limit); otherwise nothing is
// made and a box with OK says why. No file may stand where a folder goes or the other way
// round, and each destination volume must have the free space the copy needs (CCopySpace).
// The run and its window are RunAsking's (RunWithProgress.h), the file work
// CFileTreeCopier's. While the call runs, a progress window without owner shows the copy
// (caption the title, the file being copied, a bar over the total bytes, the megabytes copied and the time
// left, a Cancel button); the call returns only when the copy has ended, but runs the
// thread's messages meanwhile, so every window of the program keeps answering. A WM_QUIT
// that arrives meanwhile is posted again before the call returns. The file work runs on
// threads of its own (one, and three more while files are copied, except from a CD, DVD or
// removable drive, which one thread reads in order), all ended before the call returns.
//
// An error that trying again may mend (a file that cannot be read, written or replaced, a
// file in use, a full disk, a folder that cannot be made, a file or folder in the way, too
// little free space) is asked about in a box owned by the progress window, caption the
// title, MB_RETRYCANCEL | MB_ICONERROR, naming the file or folder, saying what happened and
// ending with the system's own text for the error; the other copy threads wait meanwhile.
// Retry tries the step again (a file from its start, the checks of the destinations
// afresh), as often as the user asks; Cancel ends as the Cancel button does.
//
// Result: 0 on success; ERROR_CANCELLED (1223) when the user cancelled (Cancel, Escape,
// the close box, or Cancel in an error's box: files being written are dropped, files being
// replaced keep their old content, complete ones stay, no temporary file is left);
// otherwise the error that ended the copy, which the user has been shown in a box (owner
// the progress window, caption the title, MB_OK | MB_ICONERROR) before the call returns: a
// missing source gives the error of GetFileAttributesA (ERROR_FILE_NOT_FOUND or
// ERROR_PATH_NOT_FOUND); a path that is not a full path, or a destination that is its
// source or lies inside it, ERROR_BAD_PATHNAME (161); a path too long,
// ERROR_FILENAME_EXCED_RANGE (206); a source folder that cannot be listed, the system's
// error.
//
// Returns 0 on success or a Windows error code; always writes lpFileOp->fAnyOperationsAborted
// (TRUE only when the user cancelled).
int CopyWithProgress(LPSHFILEOPSTRUCTA lpFileOp);
