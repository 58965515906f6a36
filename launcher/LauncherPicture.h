// The launcher's background picture at the window's display scale. The artwork is drawn
// for 100 % and 200 % (res/art/make-artwork.sh); each scale is made from the smallest
// artwork drawn for it or for a larger one, reduced with the halftone filter, so that up
// to 200 % the picture is never enlarged. Only that one artwork is loaded.
#pragma once

#include "platform/Afx.h"

class CWnd;

class CLauncherPicture
{
public:
    CLauncherPicture() = default;
    ~CLauncherPicture();
    CLauncherPicture(const CLauncherPicture&) = delete;
    CLauncherPicture& operator=(const CLauncherPicture&) = delete;

    // The picture's size at nDpi: the 100 % artwork's own size at 96 DPI.
    static SIZE GetSize(UINT nDpi);

    // Shows the picture for nDpi in the picture control (a static with SS_BITMAP, which
    // takes the bitmap's size) and releases the one it showed before. FALSE when the
    // picture could not be made: the control keeps the one it has.
    BOOL Show(CWnd* pControl, UINT nDpi);

private:
    HBITMAP m_hBitmap = nullptr;   // made here and shown by the control
};
