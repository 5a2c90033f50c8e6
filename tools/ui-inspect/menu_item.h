// One item of a menu as GetMenuItemInfoW reports it, read the same way by ui-inspect (menus
// on screen) and ui-preview (the menu resource).
#pragma once

#include <windows.h>

struct MenuItem {
    wchar_t text[256] = {};
    MENUITEMINFOW info = {};
};

inline void ReadMenuItem(HMENU menu, int k, MenuItem* item) {
    *item = MenuItem{};
    item->info.cbSize = sizeof item->info;
    item->info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
    item->info.dwTypeData = item->text;
    item->info.cch = 255;
    GetMenuItemInfoW(menu, static_cast<UINT>(k), TRUE, &item->info);
}
