#include "ui/dialog_pictures.h"

#include <algorithm>
#include <cstdint>

#include "ui/picture_scale.h"
#include "ui/text.h"

namespace {

int RuleWidth(HWND hDialog) {
    // One pixel at 96 dpi, as the layout was drawn, and as much wider as the display is denser.
    int nDpi = 96;
    if (HDC hDc = GetDC(hDialog)) {
        nDpi = GetDeviceCaps(hDc, LOGPIXELSX);
        ReleaseDC(hDialog, hDc);
    }
    return std::max(1, MulDiv(1, nDpi, 96));
}

HWND NthChild(HWND hDialog, int nItem) {
    // The dialog manager makes the controls in the layout's order, each behind the one before.
    HWND hChild = GetWindow(hDialog, GW_CHILD);
    for (int k = 0; hChild != nullptr && k < nItem; ++k) {
        hChild = GetWindow(hChild, GW_HWNDNEXT);
    }
    return hChild;
}

HBITMAP DrawPicture(const PictureArt& art, int nWidth, int nHeight) {
    PaletteImage image;
    if (art.pData == nullptr || nWidth <= 0 || nHeight <= 0 ||
        !DecodePackedDib(art.pData, art.nSize, &image)) {
        return nullptr;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = nWidth;
    info.bmiHeader.biHeight = -nHeight;  // top row first
    info.bmiHeader.biPlanes = 1;
    // 24 bits: a picture control would take a 32-bit bitmap's fourth byte for transparency.
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* pBits = nullptr;
    HBITMAP hBitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pBits, nullptr, 0);
    if (hBitmap == nullptr || pBits == nullptr) {
        if (hBitmap != nullptr) {
            DeleteObject(hBitmap);
        }
        return nullptr;
    }
    GdiFlush();
    const std::size_t nStride = (static_cast<std::size_t>(nWidth) * 3 + 3) & ~std::size_t{3};
    ResampleToBgr(image, CoverFrame(image.nWidth, image.nHeight, nWidth, nHeight), nWidth, nHeight,
                  static_cast<std::uint8_t*>(pBits), nStride);
    return hBitmap;
}

}  // namespace

PictureArt FindBitmapResource(UINT nBitmapId) {
    PictureArt art;
    HINSTANCE hInstance = GetResourceInstance();
    HRSRC hInfo = FindResourceA(hInstance, MAKEINTRESOURCEA(nBitmapId), RT_BITMAP);
    HGLOBAL hData = hInfo != nullptr ? LoadResource(hInstance, hInfo) : nullptr;
    if (hData != nullptr) {
        art.pData = LockResource(hData);
        art.nSize = art.pData != nullptr ? SizeofResource(hInstance, hInfo) : 0;
    }
    return art;
}

int CDialogPictures::Fit(HWND hDialog, const DLGTEMPLATE* pTemplate, PictureArtLookup lookup) {
    const std::vector<LayoutPicture> pictures = FindLayoutPictures(pTemplate);
    // Frames in pixels, mapped as the dialog manager places its controls (each of left, top,
    // width and height on its own); the strip is the tallest picture that is no rule.
    std::vector<RECT> frames;
    RECT rcStrip{};
    for (const LayoutPicture& picture : pictures) {
        RECT rc = picture.rcUnits;
        MapDialogRect(hDialog, &rc);
        frames.push_back(rc);
        if (picture.rcUnits.right > 1 && rc.bottom > rcStrip.bottom) {
            rcStrip = rc;
        }
    }
    const int nRuleWidth = RuleWidth(hDialog);
    int nFitted = 0;
    for (std::size_t k = 0; k < pictures.size(); ++k) {
        RECT rc = frames[k];
        if (pictures[k].rcUnits.right <= 1 && rcStrip.bottom > 0) {
            rc.top = rcStrip.top;
            rc.bottom = rcStrip.bottom;
            rc.right = nRuleWidth;
        }
        HWND hControl = NthChild(hDialog, pictures[k].nItem);
        if (hControl == nullptr ||
            (GetWindowLongPtrA(hControl, GWL_STYLE) & SS_TYPEMASK) != SS_BITMAP) {
            continue;
        }
        CBitmapHandle bitmap(DrawPicture(lookup(pictures[k].nBitmapId), rc.right, rc.bottom));
        if (!bitmap) {
            continue;
        }
        // The control gives back what it showed before, the bitmap it loaded from the layout.
        const auto hOld = reinterpret_cast<HBITMAP>(SendMessageA(
            hControl, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap.Get())));
        if (hOld != nullptr && hOld != bitmap.Get()) {
            DeleteObject(hOld);
        }
        SetWindowPos(hControl, nullptr, rc.left, rc.top, rc.right, rc.bottom,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        m_bitmaps.push_back(std::move(bitmap));
        ++nFitted;
    }
    return nFitted;
}
