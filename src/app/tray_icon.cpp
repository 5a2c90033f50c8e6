#include "app/tray_icon.h"

#include <cstring>

#include "platform/win32/late_bound_shell.h"
#include "ui/text.h"
#include "platform/win32/win_handles.h"

namespace {

// The record as Vista and later know it, whose uVersion asks for the notifications of version
// 4. The tip keeps to the 64 characters (with the NUL) that the first form had room for.
constexpr DWORD kIconDataSize = sizeof(NOTIFYICONDATAA);
constexpr int kTipSize = 64;

class CWin32TrayShell : public ITrayShell {
public:
    BOOL NotifyIcon(DWORD nMessage, NOTIFYICONDATAA* pData) override {
        return late_bound::ShellNotifyIcon(nMessage, pData);
    }
    HMENU LoadMenuResource(UINT nId) override {
        return LoadMenuA(GetResourceInstance(), MAKEINTRESOURCEA(nId));
    }
};

}  // namespace

const UINT CTrayIcon::s_nTaskbarCreated = RegisterWindowMessageA("TaskbarCreated");

ITrayShell& GetWin32TrayShell() {
    static CWin32TrayShell s_shell;
    return s_shell;
}

LRESULT CTrayWindowHook::HandleMessage(UINT nMsg, WPARAM wParam, LPARAM lParam) {
    CTrayIcon* pOwner = m_pOwner;
    if (pOwner != nullptr) {
        if (nMsg == pOwner->m_iconData.uCallbackMessage && m_hTarget == pOwner->m_iconData.hWnd) {
            pOwner->OnCallbackMessage(wParam, lParam);
            if (!IsHooked()) {
                // The window went, or let go of the icon, while its menu was open: this
                // watcher has nothing left to pass the message on to.
                return 0;
            }
        } else if (nMsg == CTrayIcon::s_nTaskbarCreated && CTrayIcon::s_nTaskbarCreated != 0) {
            pOwner->OnTaskbarRecreated(wParam, lParam);
        } else if (nMsg == WM_TIMER && wParam == CTrayIcon::kAddRetryTimerId &&
                   m_hTarget == pOwner->m_hRetryWnd) {
            pOwner->OnAddRetryTimer();
            return 0;  // the icon's own timer: nothing for the window
        }
    }
    // Every message, the callback message included, still reaches the window's own procedure.
    return PassOn(nMsg, wParam, lParam);
}

CTrayIcon::CTrayIcon(UINT nId, ITrayShell& shell) : m_shell(shell) {
    std::memset(&m_iconData, 0, sizeof m_iconData);
    m_iconData.cbSize = kIconDataSize;
    m_iconData.uID = nId;
    m_iconData.uVersion = NOTIFYICON_VERSION_4;
    m_windowHook.m_pOwner = this;
    m_topLevelHook.m_pOwner = this;
    if (LoadStringA(GetResourceInstance(), nId, m_iconData.szTip, kTipSize) <= 0) {
        m_iconData.szTip[0] = '\0';
    }
}

CTrayIcon::~CTrayIcon() {
    ShowResourceIcon(0);  // stops the retries too
}

void CTrayIcon::BindWindow(HWND hWnd, UINT nCallbackMessage) {
    // The retries run on the window the icon reports to.
    const bool bRetrying = m_hRetryWnd != nullptr;
    StopAddRetries();
    m_iconData.hWnd = hWnd;
    m_iconData.uCallbackMessage = nCallbackMessage;
    HWND hTopLevel = nullptr;
    if (hWnd != nullptr) {
        hTopLevel = GetAncestor(hWnd, GA_ROOT);
        m_windowHook.HookTo(hWnd);
    } else {
        m_windowHook.HookTo(nullptr);
    }
    // A top-level window sees the broadcast itself; a watcher left on the top-level window of
    // an earlier binding would announce it twice.
    m_topLevelHook.HookTo(hTopLevel == hWnd ? nullptr : hTopLevel);
    if (bRetrying) {
        StartAddRetries();
    }
}

bool CTrayIcon::ShowResourceIcon(UINT nId) {
    HICON hIcon = nullptr;
    if (nId != 0) {
        if (LoadStringA(GetResourceInstance(), nId, m_iconData.szTip, kTipSize) <= 0) {
            m_iconData.szTip[0] = '\0';
        }
        // The icon's own small image, not the large one scaled down by the shell.
        const LPCSTR pszName = MAKEINTRESOURCEA(nId & 0xFFFF);
        hIcon = static_cast<HICON>(LoadImageA(GetResourceInstance(), pszName, IMAGE_ICON,
                                              GetSystemMetrics(SM_CXSMICON),
                                              GetSystemMetrics(SM_CYSMICON), LR_SHARED));
        if (hIcon == nullptr) {
            hIcon = LoadIconA(GetResourceInstance(), pszName);
        }
    }
    return UpdateIcon(hIcon, nullptr);
}

bool CTrayIcon::UpdateIcon(HICON hIcon, const char* pszTip) {
    const bool bResult = CallShell(hIcon, pszTip);
    if (IsWanted() && !IsShown()) {
        StartAddRetries();
    } else {
        StopAddRetries();
    }
    return bResult;
}

bool CTrayIcon::CallShell(HICON hIcon, const char* pszTip) {
    DWORD nOperation;
    m_iconData.uFlags = 0;
    m_hWantedIcon = hIcon;
    if (hIcon != nullptr) {
        nOperation = m_iconData.hIcon != nullptr ? NIM_MODIFY : NIM_ADD;
        m_iconData.hIcon = hIcon;
        m_iconData.uFlags = NIF_ICON;
        if (nOperation == NIM_ADD) {
            m_bAddTried = true;
        }
    } else {
        if (m_iconData.hIcon == nullptr && !m_bAddTried) {
            return true;  // nothing shown, nothing to remove
        }
        nOperation = NIM_DELETE;
    }
    if (pszTip != nullptr) {
        // Always terminated inside the 64 bytes the shell reads.
        lstrcpynA(m_iconData.szTip, pszTip, kTipSize);
    }
    if (m_iconData.szTip[0] != '\0') {
        // Version 4 shows the standard tip only when asked to.
        m_iconData.uFlags |= NIF_TIP | NIF_SHOWTIP;
    }
    if (m_iconData.uCallbackMessage != 0 && m_iconData.hWnd != nullptr) {
        m_iconData.uFlags |= NIF_MESSAGE;
    }
    const BOOL bResult = m_shell.NotifyIcon(nOperation, &m_iconData);
    if (nOperation == NIM_DELETE) {
        m_iconData.hIcon = nullptr;
        m_bAddTried = false;
        m_nVersion = 0;
    } else if (!bResult) {
        m_iconData.hIcon = nullptr;  // a failed add is tried again by the next call
    } else if (nOperation == NIM_ADD) {
        // The shell forgets the version with the icon: every add asks for it again.
        m_nVersion = m_shell.NotifyIcon(NIM_SETVERSION, &m_iconData) ? NOTIFYICON_VERSION_4 : 0;
    }
    return bResult != FALSE;
}

void CTrayIcon::StartAddRetries() {
    if (m_hRetryWnd != nullptr || m_iconData.hWnd == nullptr) {
        return;  // a round of retries is running already, or there is no window for a timer
    }
    if (SetTimer(m_iconData.hWnd, kAddRetryTimerId, kAddRetryPeriodMs, nullptr) != 0) {
        m_hRetryWnd = m_iconData.hWnd;
        m_nRetriesLeft = kAddRetries;
    }
}

void CTrayIcon::StopAddRetries() {
    if (m_hRetryWnd != nullptr) {
        KillTimer(m_hRetryWnd, kAddRetryTimerId);
        m_hRetryWnd = nullptr;
    }
    m_nRetriesLeft = 0;
}

void CTrayIcon::OnAddRetryTimer() {
    if (IsWanted() && !IsShown()) {
        CallShell(m_hWantedIcon, nullptr);
    }
    if (!IsWanted() || IsShown() || --m_nRetriesLeft <= 0) {
        StopAddRetries();
    }
}

CTrayIcon::Action CTrayIcon::ActionFor(LPARAM nEvent) const {
    switch (nEvent) {
        case WM_LBUTTONDBLCLK:
            return Action::kDefaultItem;
        case NIN_KEYSELECT:
        case WM_CONTEXTMENU:
            return Action::kMenu;
        case WM_RBUTTONUP:
            // Version 4 follows the release with WM_CONTEXTMENU, which shows the menu.
            return m_nVersion >= NOTIFYICON_VERSION_4 ? Action::kNone : Action::kMenu;
        default:
            // A single left click (NIN_SELECT, or a mouse selection and Enter) does nothing, as
            // it always did; the first item is a double click away.
            return Action::kNone;
    }
}

bool CTrayIcon::IsActivation(WPARAM nIconId, LPARAM nEvent) const {
    return nIconId == m_iconData.uID && ActionFor(nEvent) != Action::kNone;
}

void CTrayIcon::OnCallbackMessage(WPARAM wParam, LPARAM lParam) {
    if (m_nVersion >= NOTIFYICON_VERSION_4) {
        // The event and the icon's id share lParam; wParam holds the place on the screen.
        m_ptAnchor = {static_cast<short>(LOWORD(wParam)), static_cast<short>(HIWORD(wParam))};
        m_bHasAnchor = true;
        OnIconMessage(HIWORD(lParam), LOWORD(lParam));
    } else {
        OnIconMessage(wParam, lParam);
    }
    m_bHasAnchor = false;
}

LRESULT CTrayIcon::OnIconMessage(WPARAM nIconId, LPARAM nEvent) {
    if (nIconId != m_iconData.uID) {
        return 0;
    }
    const LPARAM nPreviousEvent = m_nLastEvent;
    m_nLastEvent = nEvent;
    const Action action = ActionFor(nEvent);
    if (action == Action::kNone || m_bMenuOpen) {
        return 0;
    }
    if (nEvent == NIN_KEYSELECT && GetTickCount() - m_nMenuClosedAt < GetDoubleClickTime()) {
        return 0;  // the second notification of one Enter
    }
    CMenuHandle menu(m_shell.LoadMenuResource(m_iconData.uID));
    if (!menu) {
        return 0;
    }
    HMENU hPopup = GetSubMenu(menu.Get(), 0);
    if (hPopup == nullptr) {
        return 0;
    }
    HWND hWnd = m_iconData.hWnd;
    OnPrepareMenu(hPopup);
    if (action == Action::kMenu) {
        const bool bKeyboard =
            nEvent == NIN_KEYSELECT || (nEvent == WM_CONTEXTMENU && nPreviousEvent != WM_RBUTTONUP);
        SetMenuDefaultItem(hPopup, 0, TRUE);
        POINT point = m_ptAnchor;
        if (!m_bHasAnchor) {
            GetCursorPos(&point);
        }
        // The menu only closes on a click elsewhere when its owner is in the foreground, and
        // only reliably after the owner has seen one more message once it is gone.
        SetForegroundWindow(hWnd);
        m_bMenuOpen = true;
        const UINT nCommand = static_cast<UINT>(
            TrackPopupMenu(hPopup, TPM_RETURNCMD, point.x, point.y, 0, hWnd, nullptr));
        m_bMenuOpen = false;
        m_nMenuClosedAt = GetTickCount();
        PostMessageA(hWnd, WM_NULL, 0, 0);
        if (nCommand != 0) {
            // What the menu posts itself without TPM_RETURNCMD.
            PostMessageA(hWnd, WM_COMMAND, static_cast<WPARAM>(nCommand & 0xFFFF), 0);
        } else if (bKeyboard) {
            // Left without a choice from the keyboard: the keyboard goes back to the icons.
            m_shell.NotifyIcon(NIM_SETFOCUS, &m_iconData);
        }
    } else {
        const UINT nCommand = GetMenuItemID(hPopup, 0);
        SendMessageA(hWnd, WM_COMMAND, static_cast<WPARAM>(nCommand & 0xFFFF), 0);
    }
    return 1;
}

LRESULT CTrayIcon::OnTaskbarRecreated(WPARAM /*wParam*/, LPARAM /*lParam*/) {
    // Whether or not the shell had the icon before (the first add fails when the program
    // starts at log-on before the taskbar exists), a wanted icon goes to the new taskbar.
    HICON hIcon = m_hWantedIcon;
    if (hIcon == nullptr) {
        return 0;
    }
    m_iconData.hIcon = nullptr;
    if (!UpdateIcon(hIcon, nullptr)) {
        // The broadcast came without a new taskbar (another program sent it, or the shell kept
        // its icons), so the add failed on the icon that is still there; a change finds out.
        m_iconData.hIcon = hIcon;
        UpdateIcon(hIcon, nullptr);
    }
    return 0;
}
