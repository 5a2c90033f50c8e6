#include "measure.h"

#include <commctrl.h>

#include <string>

namespace inspect {

namespace {

struct FontFacts {
    std::string face;
    long height = 0;
    long weight = 0;
};

FontFacts FactsOf(HWND hWnd, HDC hDc) {
    FontFacts facts;
    auto hFont = reinterpret_cast<HFONT>(SendMessageA(hWnd, WM_GETFONT, 0, 0));
    HGDIOBJ hOld = SelectObject(hDc, hFont != nullptr ? hFont : GetStockObject(SYSTEM_FONT));
    char face[LF_FACESIZE] = {};
    GetTextFaceA(hDc, LF_FACESIZE, face);
    TEXTMETRICA metrics{};
    GetTextMetricsA(hDc, &metrics);
    SelectObject(hDc, hOld);
    facts.face = face;
    facts.height = metrics.tmHeight;
    facts.weight = metrics.tmWeight;
    return facts;
}

// The text in the control's font as a static control draws it: broken into lines of the
// control's width (SS_LEFT), else on one line.
SIZE StaticTextSize(HWND hControl, HDC hDc, LONG_PTR style) {
    SIZE size{};
    const int nLength = GetWindowTextLengthW(hControl);
    if (nLength <= 0) {
        return size;
    }
    std::wstring text(static_cast<size_t>(nLength) + 1, L'\0');
    GetWindowTextW(hControl, text.data(), nLength + 1);
    auto hFont = reinterpret_cast<HFONT>(SendMessageA(hControl, WM_GETFONT, 0, 0));
    HGDIOBJ hOld = SelectObject(hDc, hFont != nullptr ? hFont : GetStockObject(SYSTEM_FONT));
    RECT rc{};
    UINT format = DT_CALCRECT | DT_EXPANDTABS;
    if ((style & SS_TYPEMASK) == SS_LEFT) {
        GetClientRect(hControl, &rc);
        rc.bottom = 0;
        format |= DT_WORDBREAK;
    } else {
        format |= DT_SINGLELINE;
    }
    if (style & SS_NOPREFIX) {
        format |= DT_NOPREFIX;
    }
    DrawTextW(hDc, text.c_str(), nLength, &rc, format);
    SelectObject(hDc, hOld);
    size.cx = rc.right - rc.left;
    size.cy = rc.bottom - rc.top;
    return size;
}

SIZE NeededSize(HWND hControl, HDC hDc) {
    wchar_t cls[32] = {};
    GetClassNameW(hControl, cls, 32);
    const LONG_PTR style = GetWindowLongPtrW(hControl, GWL_STYLE);
    SIZE size{};
    if (_wcsicmp(cls, L"Button") == 0) {
        const LONG_PTR kind = style & BS_TYPEMASK;
        if (kind != BS_GROUPBOX && GetWindowTextLengthW(hControl) > 0 &&
            !SendMessageW(hControl, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&size))) {
            size = SIZE{-1, -1};  // the control could not tell
        }
    } else if (_wcsicmp(cls, L"Static") == 0) {
        const LONG_PTR kind = style & SS_TYPEMASK;
        if (kind == SS_LEFT || kind == SS_LEFTNOWORDWRAP || kind == SS_CENTER || kind == SS_RIGHT) {
            size = StaticTextSize(hControl, hDc, style);
        }
    }
    return size;
}

SIZE SizeOf(HBITMAP hBitmap) {
    BITMAP bitmap{};
    if (hBitmap == nullptr || GetObjectW(hBitmap, sizeof bitmap, &bitmap) != sizeof bitmap) {
        return SIZE{};
    }
    return SIZE{bitmap.bmWidth, bitmap.bmHeight};
}

// The bitmap of a picture, or the image of an icon.
SIZE ImageSize(HWND hControl) {
    wchar_t cls[32] = {};
    GetClassNameW(hControl, cls, 32);
    const LONG_PTR kind = GetWindowLongPtrW(hControl, GWL_STYLE) & SS_TYPEMASK;
    if (_wcsicmp(cls, L"Static") != 0) {
        return SIZE{};
    }
    if (kind == SS_BITMAP) {
        return SizeOf(
            reinterpret_cast<HBITMAP>(SendMessageW(hControl, STM_GETIMAGE, IMAGE_BITMAP, 0)));
    }
    ICONINFO info{};
    auto hIcon = reinterpret_cast<HICON>(SendMessageW(hControl, STM_GETICON, 0, 0));
    if (kind != SS_ICON || hIcon == nullptr || !GetIconInfo(hIcon, &info)) {
        return SIZE{};
    }
    SIZE size = SizeOf(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask);
    if (info.hbmColor == nullptr) {
        size.cy /= 2;  // a monochrome icon stacks its two masks
    }
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return size;
}

}  // namespace

void WriteMeasurements(std::FILE* f, HWND hDialog) {
    HDC hDc = GetDC(hDialog);
    const FontFacts dialog = FactsOf(hDialog, hDc);
    std::fprintf(f, "display\t%d\t%s\t%ld\t%d\t%d\n", GetDeviceCaps(hDc, LOGPIXELSY),
                 dialog.face.c_str(), dialog.height, GetSystemMetrics(SM_CXICON),
                 GetSystemMetrics(SM_CXSMICON));
    int index = 0;
    for (HWND c = GetWindow(hDialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT), ++index) {
        char cls[32] = {};
        GetClassNameA(c, cls, 32);
        RECT rc{};
        GetClientRect(c, &rc);
        const FontFacts font = FactsOf(c, hDc);
        const SIZE needed = NeededSize(c, hDc);
        const SIZE bitmap = ImageSize(c);
        std::fprintf(f, "control\t%d\t%d\t%s\t%ld,%ld\t%s\t%ld\t%ld\t%ld,%ld\t%ld,%ld\n", index,
                     GetDlgCtrlID(c), cls, rc.right, rc.bottom, font.face.c_str(), font.height,
                     font.weight, needed.cx, needed.cy, bitmap.cx, bitmap.cy);
    }
    ReleaseDC(hDialog, hDc);
}

}  // namespace inspect
