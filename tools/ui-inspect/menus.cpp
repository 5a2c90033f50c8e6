// menu: the items of every popup menu on screen.
#include "menu_item.h"

#include "ui_inspect.h"

namespace inspect {

namespace {

std::string MenuJson(HMENU menu, int depth) {
    int n = GetMenuItemCount(menu);
    if (n < 0)
        return "null";
    std::string out = "[";
    for (int k = 0; k < n; ++k) {
        MenuItem item;
        ReadMenuItem(menu, k, &item);
        const MENUITEMINFOW& mi = item.info;
        const wchar_t* text = item.text;
        out += (k ? ", " : "");
        out += "{\"text\": " + Quote(text) + ", \"id\": " + Num(mi.hSubMenu ? -1 : mi.wID) +
               ", \"separator\": " + Bool(mi.fType & MFT_SEPARATOR) +
               ", \"default\": " + Bool(mi.fState & MFS_DEFAULT) +
               ", \"checked\": " + Bool(mi.fState & MFS_CHECKED) +
               ", \"radio\": " + Bool(mi.fType & MFT_RADIOCHECK);
        // Where the item is on the screen while its menu is open (empty when it is not).
        RECT rc = {};
        if (GetMenuItemRect(nullptr, menu, static_cast<UINT>(k), &rc))
            out += ", \"px\": " + PxArray(rc);
        if (mi.hSubMenu && depth < 4)
            out += ", \"submenu\": " + MenuJson(mi.hSubMenu, depth + 1);
        out += "}";
    }
    return out + "]";
}

}  // namespace

// Popup menus on screen are windows of the system class "#32768".
int Menus() {
    std::string out = "[";
    bool first = true;
    for (HWND h : TopLevelWindows()) {
        if (ClassOf(h) != L"#32768" || !IsWindowVisible(h))
            continue;
        HMENU menu = reinterpret_cast<HMENU>(SendWait(h, 0x01E1 /* MN_GETHMENU */, 0, 0));
        RECT r = {};
        GetWindowRect(h, &r);
        out += first ? "\n  " : ",\n  ";
        first = false;
        out += "{\"hwnd\": " + Hex(reinterpret_cast<UINT_PTR>(h)) +
               ", \"process\": " + Quote(ProcessName(ProcessOf(h))) + ", \"px\": " + PxArray(r) +
               ", \"hmenu\": " + Hex(reinterpret_cast<UINT_PTR>(menu)) +
               ", \"items\": " + (menu ? MenuJson(menu, 0) : "null") + "}";
    }
    Print(out + (first ? "]" : "\n]"));
    return 0;
}

}  // namespace inspect
