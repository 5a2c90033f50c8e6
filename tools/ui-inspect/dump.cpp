// dump: the dialog, each control with its text, style and place, and its tool tips.
#include <windows.h>
#include <commctrl.h>

#include "ui_inspect.h"

namespace inspect {

namespace {

std::string ComboItems(HWND combo) {
    std::string out = "[";
    LRESULT n = SendWait(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT k = 0; k < n && k < 256; ++k) {
        LRESULT len = SendWait(combo, CB_GETLBTEXTLEN, k, 0);
        std::vector<wchar_t> buf(static_cast<size_t>(len > 0 ? len : 0) + 2, L'\0');
        SendWait(combo, CB_GETLBTEXT, k, reinterpret_cast<LPARAM>(buf.data()));
        out += (k ? ", " : "") + Quote(buf.data());
    }
    return out + "]";
}

// Wine copies the RECT of CB_GETDROPPEDCONTROLRECT back across processes itself,
// so the pointer is one of ours.
// The list box of a combo box, whose style carries the scroll bar the template
// gave the combo box. The COMBOBOXINFO is not copied across processes by Wine, so
// it lives in the target's memory.
std::string ListStyle(HWND combo) {
    RemoteBuffer mem(ProcessOf(combo), sizeof(COMBOBOXINFO));
    COMBOBOXINFO info = {};
    info.cbSize = sizeof info;
    if (!mem.Ok() || !mem.Write(&info, sizeof info))
        return "null";
    SendWait(combo, CB_GETCOMBOBOXINFO, 0, reinterpret_cast<LPARAM>(mem.Address()));
    if (!mem.Read(&info, sizeof info) || !info.hwndList)
        return "null";
    return Hex(GetWindowLongPtrW(info.hwndList, GWL_STYLE));
}

std::string DroppedRect(HWND dialog, HWND combo, const BaseUnits& b) {
    RECT r = {};
    SendWait(combo, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&r));  // CB_OKAY is 0
    if (r.bottom <= r.top)
        return "null";
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    bool exact = false;
    std::string du = DuArray(r, b, &exact);
    return "{\"px\": " + PxArray(r) + ", \"dlu\": " + du + "}";
}

}  // namespace

int Dump(HWND dialog) {
    BaseUnits b = BaseUnitsOf(dialog);
    RECT wr = {}, cr = {};
    GetWindowRect(dialog, &wr);
    GetClientRect(dialog, &cr);
    POINT origin = {0, 0};
    ClientToScreen(dialog, &origin);
    bool exact = false;
    std::string clientDu = DuArray(cr, b, &exact);
    std::string out =
        "{\n  \"hwnd\": " + Hex(reinterpret_cast<UINT_PTR>(dialog)) +
        ",\n  \"process\": " + Quote(ProcessName(ProcessOf(dialog))) +
        ",\n  \"class\": " + Quote(ClassOf(dialog)) + ",\n  \"title\": " + Quote(TextOf(dialog)) +
        ",\n  \"style\": " + Hex(GetWindowLongPtrW(dialog, GWL_STYLE)) +
        ",\n  \"exstyle\": " + Hex(GetWindowLongPtrW(dialog, GWL_EXSTYLE)) +
        ",\n  \"visible\": " + Bool(IsWindowVisible(dialog)) +
        ",\n  \"foreground\": " + Bool(GetForegroundWindow() == dialog) +
        ",\n  \"window_px\": " + PxArray(wr) + ",\n  \"client_origin_px\": [" + Num(origin.x) +
        ", " + Num(origin.y) + "]" + ",\n  \"client_px\": " + PxArray(cr) +
        ",\n  \"client_dlu\": " + clientDu + ",\n  \"base_units\": [" + Num(b.x) + ", " + Num(b.y) +
        "], \"base_units_from\": \"" + b.from + "\"" + ",\n  \"controls\": [";
    bool first = true;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        RECT r = ChildRect(dialog, c);
        bool duExact = false;
        std::string du = DuArray(r, b, &duExact);
        std::wstring cls = ClassOf(c);
        LONG_PTR style = GetWindowLongPtrW(c, GWL_STYLE);
        std::string extra;
        // A picture's window text is the image's resource number, not a caption.
        bool picture = _wcsicmp(cls.c_str(), L"Static") == 0 &&
                       ((style & SS_TYPEMASK) == SS_BITMAP || (style & SS_TYPEMASK) == SS_ICON);
        if (_wcsicmp(cls.c_str(), L"Button") == 0) {
            extra += ", \"check\": " + Num(SendWait(c, BM_GETCHECK, 0, 0));
        } else if (_wcsicmp(cls.c_str(), L"ComboBox") == 0) {
            extra += ", \"items\": " + ComboItems(c) +
                     ", \"selected\": " + Num(SendWait(c, CB_GETCURSEL, 0, 0)) +
                     ", \"list_style\": " + ListStyle(c) +
                     ", \"dropped\": " + DroppedRect(dialog, c, b);
        } else if (_wcsicmp(cls.c_str(), PROGRESS_CLASSW) == 0) {
            extra += ", \"pos\": " + Num(SendWait(c, PBM_GETPOS, 0, 0)) + ", \"range\": [" +
                     Num(SendWait(c, PBM_GETRANGE, TRUE, 0)) + ", " +
                     Num(SendWait(c, PBM_GETRANGE, FALSE, 0)) + "]";
        }
        out += first ? "\n    " : ",\n    ";
        first = false;
        out += "{\"id\": " + Num(GetDlgCtrlID(c)) + ", \"class\": " + Quote(cls) +
               ", \"text\": " + Quote(picture ? std::wstring() : TextOf(c)) +
               ", \"picture\": " + Bool(picture) + ", \"style\": " + Hex(style) +
               ", \"exstyle\": " + Hex(GetWindowLongPtrW(c, GWL_EXSTYLE)) +
               ", \"visible\": " + Bool(IsWindowVisible(c)) +
               ", \"enabled\": " + Bool(IsWindowEnabled(c)) + ", \"px\": " + PxArray(r) +
               ", \"dlu\": " + du + ", \"dlu_exact\": " + Bool(duExact) + extra + "}";
    }
    out += "\n  ],\n  \"tooltips\": " + Tooltips(dialog) + "\n}";
    Print(out);
    return 0;
}

}  // namespace inspect
