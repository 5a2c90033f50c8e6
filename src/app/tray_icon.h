// CTrayIcon: the tool's icon in the notification area of the taskbar. It watches the window it
// reports to for the icon's callback message and the shell's "TaskbarCreated" broadcast, adds,
// changes and removes the icon, brings it back when the taskbar is re-created, and turns
// clicks on the icon into the commands of its popup menu.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include "app/subclass_wnd.h"
#include "ui/object.h"

// The two shell services the icon needs; the real ones unless a test observes the calls.
class ITrayShell {
public:
    virtual ~ITrayShell() = default;
    // Shell_NotifyIconA: non-zero on success.
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

    // The callback message: a right button release shows the popup menu at the cursor, a left
    // double click runs the menu's first item. Returns 1 when the click did something.
    virtual LRESULT OnIconMessage(WPARAM nIconId, LPARAM nMouseMessage);
    // The taskbar was re-created: the icon, if wanted, is added again with its tip.
    virtual LRESULT OnTaskbarRecreated(WPARAM wParam, LPARAM lParam);

    const NOTIFYICONDATAA& GetIconData() const { return m_iconData; }
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
    CTrayWindowHook m_windowHook;
    CTrayWindowHook m_topLevelHook;
    ITrayShell& m_shell;
};
