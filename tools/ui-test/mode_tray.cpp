// tray: the tray icon with the real shell, driven by --send events.
#include <memory>

#include "app/tray_icon.h"
#include "platform/win32/win32_platform.h"
#include "ui/resource.h"

#include "uitest.h"

namespace uitest {

CTrayIcon* g_pTray = nullptr;

namespace {

bool g_bInMenuLoop = false;
bool g_bMenuReported = false;
int g_nMenusToClose = 0;  // menus opened by --send rup, closed again unchosen
// Posts the next --send event once the previous one is done (no menu open).
constexpr UINT_PTR kSendTimerId = 7;
std::vector<std::string> g_pendingEvents;

std::string DescribeMenu(HMENU hMenu) {
    std::string items;
    for (int i = 0; i < GetMenuItemCount(hMenu); ++i) {
        if (!items.empty()) {
            items += ' ';
        }
        if (GetSubMenu(hMenu, i) != nullptr) {
            items += 'p';
        } else {
            MENUITEMINFOA info{};
            info.cbSize = sizeof info;
            info.fMask = MIIM_FTYPE | MIIM_ID;
            GetMenuItemInfoA(hMenu, static_cast<UINT>(i), TRUE, &info);
            items += (info.fType & MFT_SEPARATOR) != 0 ? "0" : std::to_string(info.wID);
        }
    }
    const UINT nDefault = GetMenuDefaultItem(hMenu, FALSE, 0);
    return items + " default=" +
           (nDefault == static_cast<UINT>(-1) ? std::string("none") : std::to_string(nDefault));
}

// The width of the icon's image in pixels; 0 for none.
int IconWidth(HICON hIcon) {
    ICONINFO info{};
    if (hIcon == nullptr || !GetIconInfo(hIcon, &info)) {
        return 0;
    }
    BITMAP bitmap{};
    GetObjectA(info.hbmMask, sizeof bitmap, &bitmap);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return bitmap.bmWidth;
}

// The real shell, with every call reported (with the width of the icon it is given).
class CReportingTrayShell : public ITrayShell {
public:
    BOOL NotifyIcon(DWORD nMessage, NOTIFYICONDATAA* pData) override {
        const BOOL bResult = GetWin32TrayShell().NotifyIcon(nMessage, pData);
        const char* pszOperation = nMessage == NIM_ADD          ? "add"
                                   : nMessage == NIM_MODIFY     ? "modify"
                                   : nMessage == NIM_DELETE     ? "delete"
                                   : nMessage == NIM_SETVERSION ? "setversion"
                                   : nMessage == NIM_SETFOCUS   ? "setfocus"
                                                                : "other";
        g_out.Line("tray.shell=%s ok=%d icon=%d tip=%s", pszOperation, bResult ? 1 : 0,
                   IconWidth(pData->hIcon), OneLine(pData->szTip).c_str());
        return bResult;
    }
    HMENU LoadMenuResource(UINT nId) override { return GetWin32TrayShell().LoadMenuResource(nId); }
};

CReportingTrayShell g_reportingShell;
std::unique_ptr<CTrayIcon> g_pTrayOwner;

void EndTray() {
    if (g_pTrayOwner == nullptr) {
        return;
    }
    g_pTray = nullptr;
    g_pTrayOwner.reset();  // removes the icon
    g_out.Line("tray.end=1");
    PostQuitMessage(g_bTimedOut ? kExitCheckFailed : kExitOk);
}

// An event of the icon as the shell sends it for the icon's version (version 4: at the
// cursor's place).
void PostIconEvent(UINT nEvent) {
    if (g_pTray->GetIconVersion() >= NOTIFYICON_VERSION_4) {
        POINT point{};
        GetCursorPos(&point);
        PostMessageA(g_hMain, WM_TRAY_NOTIFY, MAKEWPARAM(point.x, point.y),
                     MAKELPARAM(nEvent, IDR_TRAY));
    } else {
        PostMessageA(g_hMain, WM_TRAY_NOTIFY, IDR_TRAY, nEvent);
    }
}

void PostNextEvent() {
    if (g_bInMenuLoop || g_pTray == nullptr) {
        return;  // one thing at a time: the menu of the last event is still open
    }
    if (g_pendingEvents.empty()) {
        KillTimer(g_hMain, kSendTimerId);
        return;
    }
    const std::string event = g_pendingEvents.front();
    g_pendingEvents.erase(g_pendingEvents.begin());
    {
        UINT nMouse = 0;
        if (event == "lclick") {
            PostIconEvent(WM_LBUTTONDOWN);
            nMouse = WM_LBUTTONUP;
        } else if (event == "rdown") {
            nMouse = WM_RBUTTONDOWN;
        } else if (event == "rup") {
            // Version 4 shows the menu on the WM_CONTEXTMENU that follows the release.
            ++g_nMenusToClose;
            PostIconEvent(WM_RBUTTONUP);
            nMouse = g_pTray->GetIconVersion() >= NOTIFYICON_VERSION_4 ? WM_CONTEXTMENU : 0;
        } else if (event == "keyselect") {
            ++g_nMenusToClose;
            nMouse = NIN_KEYSELECT;
        } else if (event == "dblclk") {
            nMouse = WM_LBUTTONDBLCLK;
        } else if (event == "move") {
            nMouse = WM_MOUSEMOVE;
        } else if (event == "taskbar") {
            PostMessageA(g_hMain, CTrayIcon::s_nTaskbarCreated, 0, 0);
        } else if (event == "exit") {
            PostMessageA(g_hMain, WM_COMMAND, ID_TRAY_EXIT, 0);
        }
        if (nMouse != 0) {
            PostIconEvent(nMouse);
        }
    }
}

}  // namespace

int RunTray(const Options& options) {
    g_pTrayOwner = std::make_unique<CTrayIcon>(IDR_TRAY, g_reportingShell);
    g_pTray = g_pTrayOwner.get();
    g_pTray->BindWindow(g_hMain, WM_TRAY_NOTIFY);
    g_out.Line("tray.hwnd=%s", Hwnd(g_hMain).c_str());
    g_pTray->ShowResourceIcon(IDI_TRAY);

    g_pendingEvents = options.sendEvents;
    if (!g_pendingEvents.empty()) {
        SetTimer(g_hMain, kSendTimerId, 100, nullptr);
    }
    const int nExit = RunMessageLoop();
    EndTray();
    return nExit;
}

bool HandleTrayMessage(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    *pResult = 0;
    switch (nMsg) {
        case WM_COMMAND:
            if (g_pTray != nullptr && lParam == 0) {
                g_out.Line("tray.command=%u", static_cast<unsigned>(LOWORD(wParam)));
                if (LOWORD(wParam) == ID_TRAY_EXIT) {
                    PostMessageA(hWnd, kEndTray, 0, 0);
                }
                return true;
            }
            break;
        case kEndTray:
            if (g_bInMenuLoop) {
                EndMenu();
                PostMessageA(hWnd, kEndTray, 0, 0);
            } else {
                EndTray();
            }
            return true;
        case WM_TIMER:
            if (wParam == kSendTimerId) {
                PostNextEvent();
                return true;
            }
            break;
        case WM_ENTERMENULOOP:
            g_bInMenuLoop = true;
            g_bMenuReported = false;
            break;
        case WM_EXITMENULOOP:
            g_bInMenuLoop = false;
            break;
        case WM_INITMENUPOPUP:
            // The first popup of a menu loop is the tray menu itself, later ones its sub-menus.
            if (g_pTray != nullptr && g_bInMenuLoop && !g_bMenuReported) {
                g_bMenuReported = true;
                g_out.Line("tray.menu=%s", DescribeMenu(reinterpret_cast<HMENU>(wParam)).c_str());
            }
            break;
        case WM_ENTERIDLE:
            if (wParam == MSGF_MENU && g_nMenusToClose > 0) {
                --g_nMenusToClose;
                EndMenu();
            }
            return true;
        default:
            break;
    }
    return false;
}

}  // namespace uitest
