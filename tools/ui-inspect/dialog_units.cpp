// Pixels and dialog units: the base units of a dialog and the conversion back.

#include <initializer_list>

#include "ui_inspect.h"

namespace inspect {

namespace {

// "[a, b, c, d]", appended piece by piece: GCC 12 warns falsely (-Wrestrict) about
// "[" + std::string once the string comes from another file.
std::string NumArray(std::initializer_list<long long> values) {
    std::string out = "[";
    for (long long v : values) {
        if (out.size() > 1) {
            out += ", ";
        }
        out += Num(v);
    }
    out += "]";
    return out;
}

// What the system does for a dialog font: the average width of the 52 letters
// and the font's height. Used when the dialog's own mapping cannot be reached
// from this process.
BaseUnits BaseUnitsOfFont(const wchar_t* face, int points) {
    BaseUnits b;
    HDC dc = GetDC(nullptr);
    int height = -MulDiv(points, GetDeviceCaps(dc, LOGPIXELSY), 72);
    HFONT font =
        CreateFontW(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, face);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW tm = {};
    GetTextMetricsW(dc, &tm);
    SIZE size = {};
    const wchar_t* letters = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    GetTextExtentPoint32W(dc, letters, 52, &size);
    SelectObject(dc, old);
    DeleteObject(font);
    ReleaseDC(nullptr, dc);
    b.x = static_cast<int>((size.cx / 26 + 1) / 2);
    b.y = static_cast<int>(tm.tmHeight);
    b.from = "font";
    return b;
}

// The dialog-unit value that the system maps onto px (MulDiv(du, base, per)),
// or the nearest one when none maps exactly.
struct Du {
    int value;
    bool exact;
};

Du ToDu(int px, int base, int per) {
    if (base <= 0)
        return {0, false};
    int guess = MulDiv(px, per, base);
    for (int d = guess - 2; d <= guess + 2; ++d)
        if (MulDiv(d, base, per) == px)
            return {d, true};
    return {guess, false};
}

}  // namespace

BaseUnits BaseUnitsOf(HWND dialog) {
    RECT r = {0, 0, 4, 8};
    if (MapDialogRect(dialog, &r) && r.right > 0 && r.bottom > 0) {
        BaseUnits b;
        b.x = r.right;
        b.y = r.bottom;
        b.from = "MapDialogRect";
        return b;
    }
    return BaseUnitsOfFont(L"MS Sans Serif", 8);
}

std::string DuArray(const RECT& r, const BaseUnits& b, bool* exact) {
    Du x = ToDu(r.left, b.x, 4), y = ToDu(r.top, b.y, 8);
    Du w = ToDu(r.right - r.left, b.x, 4), h = ToDu(r.bottom - r.top, b.y, 8);
    *exact = x.exact && y.exact && w.exact && h.exact;
    return NumArray({x.value, y.value, w.value, h.value});
}

std::string PxArray(const RECT& r) {
    return NumArray({r.left, r.top, r.right - r.left, r.bottom - r.top});
}

// A child's rectangle relative to the parent's client area.
RECT ChildRect(HWND parent, HWND child) {
    RECT r = {};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

}  // namespace inspect
