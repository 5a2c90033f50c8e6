#include "ui/link_paint.h"

#include <algorithm>

// Wine draws some hinted glyphs further apart than it measures them (the "w" of an 11-pixel
// Liberation Sans standing in for "MS Sans Serif" is drawn 10 pixels apart while every
// measuring call says 8), and as the static clips its text to its client area, a control
// fitted to the measured extent loses its last letters. So the text is drawn here the way the
// static draws it (DrawText, no explicit advances) on an off-screen bitmap, and the last column
// it inked counts as well.
int PaintedTextWidth(HDC hDC, HFONT hFont, const std::string& text, UINT nFormat, SIZE extent) {
    if (text.empty() || extent.cy <= 0) {
        return extent.cx;
    }
    const int nWidth = 2 * extent.cx + 4 * extent.cy;  // ample room for any overrun
    const int nHeight = extent.cy;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = nWidth;
    info.bmiHeader.biHeight = -nHeight;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* pBits = nullptr;
    HDC hMemDC = CreateCompatibleDC(hDC);
    HBITMAP hBitmap = CreateDIBSection(hMemDC, &info, DIB_RGB_COLORS, &pBits, nullptr, 0);
    int nPainted = extent.cx;
    if (hMemDC != nullptr && hBitmap != nullptr && pBits != nullptr) {
        HGDIOBJ hOldBitmap = SelectObject(hMemDC, hBitmap);
        HGDIOBJ hOldFont = SelectObject(hMemDC, hFont);
        auto* pPixels = static_cast<DWORD*>(pBits);
        std::fill(pPixels, pPixels + static_cast<std::size_t>(nWidth) * nHeight, 0x00FFFFFFu);
        SetTextColor(hMemDC, RGB(0, 0, 0));
        SetBkMode(hMemDC, TRANSPARENT);
        RECT rc{0, 0, nWidth, nHeight};
        DrawTextA(hMemDC, text.c_str(), static_cast<int>(text.size()), &rc, nFormat);
        GdiFlush();
        for (int x = nWidth - 1; x >= nPainted; --x) {
            bool bInked = false;
            for (int y = 0; y < nHeight && !bInked; ++y) {
                bInked = (pPixels[static_cast<std::size_t>(y) * nWidth + x] & 0x00FFFFFFu) !=
                         0x00FFFFFFu;
            }
            if (bInked) {
                nPainted = x + 1;
                break;
            }
        }
        SelectObject(hMemDC, hOldFont);
        SelectObject(hMemDC, hOldBitmap);
    }
    if (hBitmap != nullptr) {
        DeleteObject(hBitmap);
    }
    if (hMemDC != nullptr) {
        DeleteDC(hMemDC);
    }
    return nPainted;
}

UINT StaticTextFormat(LONG_PTR nStyle) {
    UINT nFormat = DT_LEFT | DT_EXPANDTABS | DT_SINGLELINE | DT_TOP;
    if ((nStyle & SS_NOPREFIX) != 0) {
        nFormat |= DT_NOPREFIX;
    }
    return nFormat;
}

bool IsHighContrastOn() {
    HIGHCONTRASTA info{};
    info.cbSize = sizeof info;
    return SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof info, &info, 0) != FALSE &&
           (info.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

LinkColours ChooseLinkColours(bool bHighContrast, bool bHover, COLORREF crLink, COLORREF crHover) {
    if (bHighContrast) {
        return bHover ? LinkColours{GetSysColor(COLOR_HIGHLIGHTTEXT), COLOR_HIGHLIGHT}
                      : LinkColours{GetSysColor(COLOR_HOTLIGHT), COLOR_WINDOW};
    }
    return {bHover ? crHover : crLink, COLOR_BTNFACE};
}

void DrawFocusCue(HWND hWnd, HDC hDC, const RECT& rc) {
    if (GetFocus() != hWnd || (SendMessageA(hWnd, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) != 0) {
        return;
    }
    // The dotted rectangle inverts what is under it; black and white make that an inversion on
    // any background.
    const COLORREF crOldText = SetTextColor(hDC, RGB(0, 0, 0));
    const COLORREF crOldBack = SetBkColor(hDC, RGB(255, 255, 255));
    DrawFocusRect(hDC, &rc);
    SetTextColor(hDC, crOldText);
    SetBkColor(hDC, crOldBack);
}
