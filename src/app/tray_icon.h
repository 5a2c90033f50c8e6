// CTrayIcon: the tool's icon in the notification area of the taskbar. It watches the window it
// reports to for the icon's callback message and the shell's "TaskbarCreated" broadcast, adds,
// changes and removes the icon, brings it back when the taskbar is re-created, and turns
// clicks on the icon and the keyboard's selection of it into the commands of its popup menu.
//
// The icon asks for the notifications of version 4 (NOTIFYICON_VERSION_4, every Windows from
// Vista on), which is how Windows reports the keyboard: Enter or Space on the icon selected
// with Win+B and the arrows comes as NIN_KEYSELECT, the menu key or Shift+F10 as
// WM_CONTEXTMENU, each with the icon's place on the screen. An icon of the first version only
// gets made-up mouse messages for these, and its menu opens wherever the pointer happens to be.
// A shell that refuses version 4 keeps sending the first version's messages; both are read.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include "app/subclass_wnd.h"
#include "ui/object.h"

// The two shell services the icon needs; the real ones unless a test observes the calls.
class ITrayShell {
public:
    virtual ~ITrayShell() = default;
    // Shell_NotifyIconA: non-zero on success (NIM_SETVERSION: the shell has the version).
    virtual BOOL NotifyIcon(DWORD nMessage, NOTIFYICONDATAA* pData) = 0;
    // LoadMenuA from the program's resources: the menu or null.
    virtual HMENU LoadMenuResource(UINT nId) = 0;
};
ITrayShell& GetWin32TrayShell();

class CTrayIcon;

// The watcher a tray icon puts on the windows it reports to.
class CTrayWindowHook : public CSubclassWnd {
public:
    LRESULT HandleMessage(UINT nMsg, WPARAM wParam, LPARAM lParam) override;

    CTrayIcon* m_pOwner = nullptr;
};

class CTrayIcon : public CCmdTarget {
    DECLARE_RUNTIME_CLASS(CTrayIcon, CCmdTarget)

public:
    // nId: the icon's id in the notification area and the id of its popup menu; its string,
    // when there is one, is the first tip.
    explicit CTrayIcon(UINT nId, ITrayShell& shell = GetWin32TrayShell());
    // Removes the icon, then the watchers let go of their windows.
    ~CTrayIcon() override;
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    // The window that gets the callback message nCallbackMessage and the menu's commands
    // (null for none).
    void BindWindow(HWND hWnd, UINT nCallbackMessage);
    // Shows icon and string nId of the program's resources as icon and tip; 0 removes the icon.
    bool ShowResourceIcon(UINT nId);
    // Adds or changes the icon (hIcon given) or removes it (null), with a new tip when pszTip is
    // given. The shell's answer, or true when there was nothing to remove.
    bool UpdateIcon(HICON hIcon, const char* pszTip);

    // The icon's notification nEvent (a mouse message, NIN_KEYSELECT, WM_CONTEXTMENU), read from
    // the callback message in the layout of the icon's version: the menu key, Shift+F10, Enter
    // or Space on the selected icon and (version 4: WM_CONTEXTMENU; first version: the right
    // button's release) a right click show the popup menu, a left double click runs the menu's
    // first item. Returns 1 when the event did something.
    virtual LRESULT OnIconMessage(WPARAM nIconId, LPARAM nEvent);
    // The event shows the menu or runs its first item (what OnIconMessage would do).
    bool IsActivation(WPARAM nIconId, LPARAM nEvent) const;
    // The taskbar was re-created: the icon, if wanted, is added again with its tip.
    virtual LRESULT OnTaskbarRecreated(WPARAM wParam, LPARAM lParam);

    const NOTIFYICONDATAA& GetIconData() const { return m_iconData; }
    // The notifications the shell sends: 4 once it took version 4 at the latest add, else 0.
    UINT GetIconVersion() const { return m_nVersion; }
    // The shell took the icon at the latest add or change.
    bool IsShown() const { return m_iconData.hIcon != nullptr; }
    // An icon is wanted in the notification area, whether or not the shell has it now.
    bool IsWanted() const { return m_hWantedIcon != nullptr; }

    // "TaskbarCreated", registered when the program starts.
    static const UINT s_nTaskbarCreated;

    // A refused add (the shell times out while Explorer starts at log-on) is tried again on
    // this timer of the bound window, every kAddRetryPeriodMs up to kAddRetries times; after
    // that only "TaskbarCreated" brings the icon. No timer runs while the shell has the icon.
    static constexpr UINT_PTR kAddRetryTimerId = 0x7E41;
    static constexpr UINT kAddRetryPeriodMs = 2000;
    static constexpr int kAddRetries = 60;

protected:
    // The popup menu is about to be shown: a chance to check or grey its items.
    virtual void OnPrepareMenu(HMENU /*hPopup*/) {}

private:
    friend class CTrayWindowHook;

    enum class Action { kNone, kMenu, kDefaultItem };
    Action ActionFor(LPARAM nEvent) const;
    // The callback message in the layout of the icon's version.
    void OnCallbackMessage(WPARAM wParam, LPARAM lParam);
    // The shell call of UpdateIcon, without touching the retries.
    bool CallShell(HICON hIcon, const char* pszTip);
    void StartAddRetries();
    void StopAddRetries();
    void OnAddRetryTimer();

    NOTIFYICONDATAA m_iconData;  // hIcon: the icon the shell took, null when it has none
    // What the program wants shown, kept apart from what the shell has: an add that failed
    // because the taskbar did not exist yet is made good when the taskbar comes.
    HICON m_hWantedIcon = nullptr;
    // An add was tried since the last removal: a failed or timed-out add may still have left
    // the icon in the shell, so removing it is never skipped then.
    bool m_bAddTried = false;
    HWND m_hRetryWnd = nullptr;  // the window the retry timer runs on, null while none runs
    int m_nRetriesLeft = 0;
    UINT m_nVersion = 0;
    // Where the event being handled happened on the screen (version 4 tells); else the cursor.
    bool m_bHasAnchor = false;
    POINT m_ptAnchor{};
    LPARAM m_nLastEvent = 0;  // a right click comes as WM_RBUTTONUP, then WM_CONTEXTMENU
    // The shell sends NIN_KEYSELECT twice for one Enter; the second, arriving while the menu of
    // the first is open or within the double-click time after it closed, opens nothing.
    bool m_bMenuOpen = false;
    DWORD m_nMenuClosedAt = 0;
    CTrayWindowHook m_windowHook;
    CTrayWindowHook m_topLevelHook;
    ITrayShell& m_shell;
};
