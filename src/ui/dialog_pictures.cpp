#include "ui/dialog_pictures.h"

#include <algorithm>
#include <cstdint>

#include "ui/picture_scale.h"
#include "ui/text.h"

namespace {

constexpr WORD kStaticAtom = 0x0082;

// Reads a layout word by word (every field of a layout is a whole number of words).
class CLayoutReader {
public:
    explicit CLayoutReader(const void* p) : m_p(static_cast<const WORD*>(p)) {}

    WORD Word() { return *m_p++; }
    DWORD Dword() {
        const DWORD nLow = Word();
        return nLow | static_cast<DWORD>(Word()) << 16;
    }
    void Skip(std::size_t nWords) { m_p += nWords; }
    void SkipBytes(std::size_t nBytes) {
        m_p = reinterpret_cast<const WORD*>(reinterpret_cast<const BYTE*>(m_p) + nBytes);
    }
    void AlignDword() {
        const auto nAddress = reinterpret_cast<UINT_PTR>(m_p);
        m_p = reinterpret_cast<const WORD*>((nAddress + 3) & ~static_cast<UINT_PTR>(3));
    }
    // A name or number field: nothing (0), a number (0xFFFF, n) or a NUL-terminated name.
    // Returns the number, or 0 for the other two; *pbStatic tells the name "Static" too.
    UINT NameOrNumber(bool* pbStatic = nullptr) {
        const WORD nFirst = Word();
        if (nFirst == 0xFFFF) {
            const WORD nNumber = Word();
            if (pbStatic != nullptr) {
                *pbStatic = nNumber == kStaticAtom;
            }
            return nNumber;
        }
        static const wchar_t kStatic[] = L"static";
        bool bStatic = true;
        std::size_t k = 0;
        for (WORD c = nFirst; c != 0; c = Word(), ++k) {
            const wchar_t lower = c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c;
            bStatic = bStatic && k < 6 && lower == kStatic[k];
        }
        if (pbStatic != nullptr) {
            *pbStatic = bStatic && k == 6;
        }
        return 0;
    }

private:
    const WORD* m_p;
};

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
    HRSRC hInfo = FindResourceA(hInstance, MAKEINTRESOURCEA(nBitmapId), MAKEINTRESOURCEA(2));
    HGLOBAL hData = hInfo != nullptr ? LoadResource(hInstance, hInfo) : nullptr;
    if (hData != nullptr) {
        art.pData = LockResource(hData);
        art.nSize = art.pData != nullptr ? SizeofResource(hInstance, hInfo) : 0;
    }
    return art;
}

const DLGTEMPLATE* FindDialogTemplate(UINT nDialogId) {
    HINSTANCE hInstance = GetResourceInstance();
    HRSRC hInfo = FindResourceA(hInstance, MAKEINTRESOURCEA(nDialogId), MAKEINTRESOURCEA(5));
    HGLOBAL hData = hInfo != nullptr ? LoadResource(hInstance, hInfo) : nullptr;
    return hData != nullptr ? static_cast<const DLGTEMPLATE*>(LockResource(hData)) : nullptr;
}

std::vector<LayoutPicture> FindLayoutPictures(const DLGTEMPLATE* pTemplate) {
    std::vector<LayoutPicture> pictures;
    if (pTemplate == nullptr) {
        return pictures;
    }
    CLayoutReader reader(pTemplate);
    const WORD* pWords = reinterpret_cast<const WORD*>(pTemplate);
    const bool bExtended = pWords[0] == 1 && pWords[1] == 0xFFFF;
    DWORD nStyle;
    if (bExtended) {
        reader.Skip(2 + 2 + 2);  // version and signature, help id, extended style
        nStyle = reader.Dword();
    } else {
        nStyle = reader.Dword();
        reader.Skip(2);  // extended style
    }
    const int nItems = reader.Word();
    reader.Skip(4);         // x, y, cx, cy
    reader.NameOrNumber();  // menu
    reader.NameOrNumber();  // class
    reader.NameOrNumber();  // title
    if (nStyle & DS_SETFONT) {
        reader.Skip(bExtended ? 3 : 1);  // points (and weight, italic, character set)
        reader.NameOrNumber();           // face
    }
    for (int nItem = 0; nItem < nItems; ++nItem) {
        reader.AlignDword();
        DWORD nItemStyle;
        if (bExtended) {
            reader.Skip(2 + 2);  // help id, extended style
            nItemStyle = reader.Dword();
        } else {
            nItemStyle = reader.Dword();
            reader.Skip(2);
        }
        RECT rc;
        rc.left = static_cast<short>(reader.Word());
        rc.top = static_cast<short>(reader.Word());
        rc.right = static_cast<short>(reader.Word());
        rc.bottom = static_cast<short>(reader.Word());
        reader.Skip(bExtended ? 2 : 1);  // id
        bool bStatic = false;
        reader.NameOrNumber(&bStatic);
        const UINT nImage = reader.NameOrNumber();
        const WORD nExtra = reader.Word();
        if (bExtended) {
            reader.SkipBytes(nExtra);
        } else if (nExtra > 0) {
            reader.SkipBytes(nExtra - 2u);  // the classic count includes its own word
        }
        if (bStatic && (nItemStyle & SS_TYPEMASK) == SS_BITMAP && nImage != 0) {
            pictures.push_back({nItem, nImage, rc});
        }
    }
    return pictures;
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
