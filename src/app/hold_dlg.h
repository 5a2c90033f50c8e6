// CHoldDlg: the main window of the tool and the owner of everything that lives for the whole
// run: the modem list, the call-waiting control of the current modem, the tray icon, the wait
// dialog, the tips and the bold font. Mostly hidden: at start it shows the scan window while a
// scan thread looks for the supported modems; afterwards the program lives in the
// notification area and the dialog shows itself only at a user's first run or on "Open".
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

#include "app/hold_state.h"
#include "app/message_wait.h"
#include "app/tray_icon.h"
#include "modem/call_waiting_control.h"
#include "modem/modem_list.h"
#include "settings/settings_store.h"
#include "ui/dialog.h"
#include "ui/dlg_tooltip.h"
#include "ui/extra_dlg.h"
#include "ui/wait_dlg.h"
#include "platform/win32/win_handles.h"

class CHoldDlg;
class CScanDlg;

// Where the main dialog's help requests go: the application's help handling.
class IHelpRequests {
public:
    virtual ~IHelpRequests() = default;
    virtual void WinHelp(DWORD dwData, UINT nCmd) = 0;
};

// The main dialog's icon in the notification area (menu and icon id 125). While a modal
// window of the program is up, a click on the icon (or its selection from the keyboard) brings
// that window forward instead of opening the menu, so that no command can start under a
// running one.
class CHoldTrayIcon : public CTrayIcon {
public:
    explicit CHoldTrayIcon(CHoldDlg& owner);
    LRESULT OnIconMessage(WPARAM nIconId, LPARAM nEvent) override;

protected:
    // Marks the behaviour the current modem has now.
    void OnPrepareMenu(HMENU hPopup) override;

private:
    CHoldDlg& m_owner;
};

class CHoldDlg : public CDialog, private ICountryWarningSink {
public:
    // pScanDlg: the scan window when it was created and shown before this dialog (see
    // CHoldApp); null makes the dialog create it itself.
    CHoldDlg(const Platform& platform, IHelpRequests* pHelp, CScanDlg* pScanDlg = nullptr);
    // Waits for the threads still running, then lets go of the list, the icon and the rest.
    ~CHoldDlg() override;

    // The behaviour the current modem's "UserInit" holds (1, 2, 0 or -1), read from the
    // registry now.
    int ReadCurrentMode() {
        RefreshMode();
        return m_nCurrentMode;
    }
    // While a modal window of the program is up (the wait dialog, a message box, Extra,
    // About), which disables this dialog, or a command runs: that window comes forward and
    // true is returned, so that no command starts under a running one.
    bool BringModalWindowForward();
    // The mode-change thread: the window that the consent prompt of an elevated write belongs
    // to, the wait dialog (waited for briefly, as the thread starts before it exists).
    HWND GetPromptOwner();

protected:
    bool OnInitDialog() override;
    bool OnCommand(WORD nId, WORD nCode, HWND hControl) override;
    void OnOK() override;
    void OnCancel() override;
    void OnClose() override;
    void OnDestroy() override;
    void PostNcDestroy() override;
    bool OnMessage(UINT nMsg, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

private:
    // --- the scan (hold_dlg_scan.cpp) ---
    static DWORD WINAPI ScanThreadProc(void* pParam);
    void RunScan();
    void CloseScannedPorts();
    // The program ends: the scan stops as soon as it can, and this thread waits for that.
    void StopScan();
    void WaitForScanEnd();
    void OnCountryWarning(int nIndex) override;  // scan thread: asks the user-interface thread
    LRESULT OnCountryWarningMessage(WPARAM nIndex);
    LRESULT OnScanDone();
    LRESULT OnAppShutdown();
    void FillControls();
    void HandleFirstRun();
    void SelectModem(int nIndex);
    void OnModemSelected();
    void AddTip(int nControlId, UINT nTextId);
    void HideScanDialog();

    // --- the mode change (hold_dlg_mode.cpp) ---
    void OnModeCommand(Behaviour behaviour);
    int ApplyMode(Behaviour behaviour);
    static DWORD WINAPI ApplyThreadProc(void* pParam);
    void RefreshMode();
    int ShowBox(UINT nTextId, UINT nCaptionId, UINT nIcon);
    int ShowBox(const std::string& text, UINT nCaptionId, UINT nIcon);

    // --- the rest (hold_dlg.cpp) ---
    void OnAnotherStart();
    void ShowDialog();
    void HideDialog();
    void EndProgram();
    void OnEndSession(bool bEnding);
    void OnSysCommand(WPARAM nId, LPARAM lParam, LRESULT* pResult, bool* pbHandled);
    bool OnPaintIconic();
    void OnAutorunClicked();
    void OnSoundClicked();
    void OnExtra();

    Platform m_platform;
    CSettingsStore m_settings;
    CStoredCallOutSetting m_callOutSetting;
    IHelpRequests* m_pHelp;

    std::atomic<bool> m_bClosing{false};  // the program ends: the scan does no more for it
    CKernelHandle m_hScanDone;            // released once by the scan thread when it is done
    HICON m_hIcon;  // the large icon (the display's SM_CXICON size); shared, never destroyed
    CWaitDlg m_waitDlg;
    std::atomic<int> m_nApplyResult{0};
    Behaviour m_requested = Behaviour::kCutTheLine;
    bool m_bVisible = false;  // while false nothing can show the dialog
    bool m_bFirstRun = false;
    CFontHandle m_boldFont;
    CDlgToolTip m_toolTip;
    CHoldTrayIcon m_trayIcon;
    bool m_bExitRequested = false;  // the next WM_CLOSE ends the program instead of hiding
    int m_bSound = 1;
    CModemList m_modemList;
    ModemInfo* m_pCurrentModem = nullptr;
    int m_nCurrentIndex = -1;
    std::unique_ptr<CCallWaitingControl> m_pCallWaiting;
    CScanDlg* m_pScanDlg = nullptr;
    HWND m_hScanWnd = nullptr;

    CKernelHandle m_hScanThread;
    CKernelHandle m_hApplyThread;  // set while a change runs
    CHoldState m_state;
    bool m_bInCountryWarning = false;
    bool m_bShutdownAfterWarning = false;
    int m_nCurrentMode = -1;
};
