#include "launcher/LauncherPicture.h"

#include "platform/Wnd.h"
#include "res/resource.h"

namespace {

// The artwork the exe carries, smallest first, with the DPI each was drawn for.
const struct
{
    UINT nID;
    UINT nDpi;
} kArtwork[] = {
    { IDB_LAUNCHER_PICTURE, 96 },
    { IDB_LAUNCHER_PICTURE_200, 192 },
};

HBITMAP LoadArtwork(UINT nID)
{
    return static_cast<HBITMAP>(::LoadImageA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(nID), IMAGE_BITMAP, 0, 0,
                                             LR_CREATEDIBSECTION));
}

// The picture at nDpi, or nullptr.
HBITMAP MakePicture(UINT nDpi)
{
    // Past the largest artwork, the largest is all there is.
    UINT nID = 0;
    for (const auto& art : kArtwork)
    {
        nID = art.nID;
        if (art.nDpi >= nDpi)
            break;
    }
    HBITMAP hArt = LoadArtwork(nID);
    BITMAP bm = {};
    if (hArt == nullptr || ::GetObjectA(hArt, sizeof(bm), &bm) == 0)
        return hArt;
    SIZE size = CLauncherPicture::GetSize(nDpi);
    if (bm.bmWidth == size.cx && bm.bmHeight == size.cy)
        return hArt;

    // A 24-bit picture: without an alpha channel the control shows it as it is.
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
    bmi.bmiHeader.biWidth = size.cx;
    bmi.bmiHeader.biHeight = size.cy;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 24;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* pBits = nullptr;
    HBITMAP hPicture = ::CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &pBits, nullptr, 0);
    HDC hArtDC = ::CreateCompatibleDC(nullptr);
    HDC hPictureDC = ::CreateCompatibleDC(nullptr);
    BOOL bDrawn = FALSE;
    if (hPicture != nullptr && hArtDC != nullptr && hPictureDC != nullptr)
    {
        HGDIOBJ hOldArt = ::SelectObject(hArtDC, hArt);
        HGDIOBJ hOldPicture = ::SelectObject(hPictureDC, hPicture);
        ::SetStretchBltMode(hPictureDC, HALFTONE);
        ::SetBrushOrgEx(hPictureDC, 0, 0, nullptr);
        bDrawn = ::StretchBlt(hPictureDC, 0, 0, size.cx, size.cy, hArtDC, 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);
        ::SelectObject(hPictureDC, hOldPicture);
        ::SelectObject(hArtDC, hOldArt);
    }
    if (hPictureDC != nullptr)
        ::DeleteDC(hPictureDC);
    if (hArtDC != nullptr)
        ::DeleteDC(hArtDC);
    ::DeleteObject(hArt);
    if (!bDrawn && hPicture != nullptr)
    {
        ::DeleteObject(hPicture);
        hPicture = nullptr;
    }
    return hPicture;
}

}  // namespace

CLauncherPicture::~CLauncherPicture()
{
    if (m_hBitmap != nullptr)
        ::DeleteObject(m_hBitmap);
}

SIZE CLauncherPicture::GetSize(UINT nDpi)
{
    // The 100 % artwork's size, from the header of its resource: nothing is loaded.
    SIZE size = { 0, 0 };
    HINSTANCE hInstance = AfxGetInstanceHandle();
    HRSRC hResource = ::FindResourceA(hInstance, MAKEINTRESOURCEA(IDB_LAUNCHER_PICTURE), RT_BITMAP);
    const auto* pHeader = hResource != nullptr
        ? static_cast<const BITMAPINFOHEADER*>(::LockResource(::LoadResource(hInstance, hResource)))
        : nullptr;
    if (pHeader != nullptr)
    {
        size.cx = ::MulDiv(pHeader->biWidth, static_cast<int>(nDpi), 96);
        size.cy = ::MulDiv(pHeader->biHeight < 0 ? -pHeader->biHeight : pHeader->biHeight, static_cast<int>(nDpi), 96);
    }
    return size;
}

BOOL CLauncherPicture::Show(CWnd* pControl, UINT nDpi)
{
    HBITMAP hPicture = MakePicture(nDpi);
    if (hPicture == nullptr || pControl == nullptr)
    {
        if (hPicture != nullptr)
            ::DeleteObject(hPicture);
        return FALSE;
    }
    // The control hands back what it showed: the template's picture, which it loaded
    // itself, or the one made here before.
    auto hShown = reinterpret_cast<HBITMAP>(
        pControl->SendMessage(STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(hPicture)));
    if (hShown != nullptr && hShown != m_hBitmap)
        ::DeleteObject(hShown);
    if (m_hBitmap != nullptr)
        ::DeleteObject(m_hBitmap);
    m_hBitmap = hPicture;
    return TRUE;
}
