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
// existing files are replaced without a question, read-only ones too, each only once its
// successor is whole (written to a temporary file beside it, which then takes its place);
// missing folders, parents of a destination included, are made without one; the times and
// attributes of files and the attributes of folders are kept.
//
// Before anything is made, every source must exist, no destination may be its own source
// or lie inside it, every file path of the trees must be shorter than MAX_PATH and every
// folder path shorter than MAX_PATH - 12 (CreateDirectoryA's limit), and each destination
// volume must have the free space the copy needs (the files rounded up to whole clusters,
// less the files they replace); otherwise nothing is made. While the call runs, a progress
// window without owner shows the copy (caption the title, the file being copied, a bar over
// the total bytes, the megabytes copied and the time left, a Cancel button);
// the call returns only when the copy has ended, but runs the thread's messages meanwhile,
// so every window of the program keeps answering. A WM_QUIT that arrives meanwhile is
// posted again before the call returns. The file work runs on threads of its own (one,
// and three more while files are copied, except from a CD, DVD or removable drive, which
// one thread reads in order), all ended before the call returns.
//
// Result: 0 on success; ERROR_CANCELLED (1223) when the user cancelled (Cancel, Escape or
// the close box: a new file being written is deleted, a file being replaced keeps its old
// content, complete ones stay, no temporary file is left); otherwise the first error,
// which the user has been shown in a message box (owner the progress window,
// caption the title, MB_OK | MB_ICONERROR) that names the file and gives the system's own
// text for the error, before the call returns. Errors: a missing source gives the error
// of GetFileAttributesA (ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND); a path that is not
// a full path, or a destination that is its source or lies inside it, ERROR_BAD_PATHNAME
// (161); a path too long, ERROR_FILENAME_EXCED_RANGE (206); too little free space,
// ERROR_DISK_FULL (112), the box naming the drive, the megabytes needed and those free; a
// file or folder that cannot be read, made or written, the system's error (access denied,
// sharing violation, disk full, ...), after which errors are handled as a cancel is.
//
// Returns 0 on success or a Windows error code; always writes lpFileOp->fAnyOperationsAborted
// (TRUE only when the user cancelled).
int CopyWithProgress(LPSHFILEOPSTRUCTA lpFileOp);
