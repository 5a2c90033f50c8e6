// CHoldDlg: start-up, the message table, showing and hiding, ending, and the handlers of the
// check boxes, Extra, Info, About and the minimised icon.
#include "app/hold_dlg.h"

#include "app/single_instance.h"
#include "ui/about_dlg.h"
#include "ui/info_dlg.h"
#include "ui/resource.h"
#include "ui/scan_dlg.h"
#include "ui/text.h"

CHoldDlg::CHoldDlg(const Platform& platform, IHelpRequests* pHelp, CScanDlg* pScanDlg)
    : CDialog(IDD_MAIN),
      m_platform(platform),
      m_settings(platform),
      m_callOutSetting(m_settings),
      m_pHelp(pHelp),
      m_hIcon(LoadIconA(GetResourceInstance(), MAKEINTRESOURCEA(IDI_APP))),
      m_trayIcon(*this),
      m_modemList(platform, this),
      m_pScanDlg(pScanDlg) {}

CHoldDlg::~CHoldDlg() {
    // Normally both threads are long gone; should the dialog end another way (the session
    // ends during the scan), nothing they use may go before them.
    StopScan();
    WaitHandlingSentMessages(m_hScanThread.Get());
    WaitHandlingSentMessages(m_hApplyThread.Get());
}

bool CHoldDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    // Dialogs run without a parent (wait, About) belong to this window, so that the program's
    // windows disable it while they are up.
    SetDefaultOwner(m_hWnd);

    if (HMENU hSysMenu = GetSystemMenu(m_hWnd, FALSE)) {
        const std::string about = LoadText(IDS_ABOUTBOX);
        if (!about.empty()) {
            AppendMenuA(hSysMenu, MF_SEPARATOR, 0, nullptr);
            AppendMenuA(hSysMenu, MF_STRING, IDM_ABOUTBOX, about.c_str());
        }
    }
    SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    // The caption and the taskbar show the small icon: its own image at the display's small
    // size, not the large one reduced by the system.
    HICON hSmallIcon = static_cast<HICON>(
        LoadImageA(GetResourceInstance(), MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON,
                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(hSmallIcon != nullptr ? hSmallIcon : m_hIcon));
    m_bVisible = false;
    m_bClosing = false;

    // Hidden still, so this centres the window on the screen for when it is first shown.
    CenterWindow();
    m_toolTip.Create(m_hWnd);
    m_boldFont.Reset(CreateBoldDialogFont(m_hWnd));
    SendMessageA(GetDlgItem(IDC_MODEM_NAME), WM_SETFONT, reinterpret_cast<WPARAM>(m_boldFont.Get()),
                 TRUE);

    // The first window the user sees; it may be up already.
    if (m_pScanDlg != nullptr) {
        m_pScanDlg->SetMainWnd(m_hWnd);
        m_hScanWnd = m_pScanDlg->GetSafeHwnd();
        SetForegroundWindow(m_hScanWnd);
    } else if ((m_pScanDlg = new CScanDlg(m_hWnd))->Create()) {
        m_hScanWnd = m_pScanDlg->GetSafeHwnd();
        ShowWindow(m_hScanWnd, SW_SHOW);
        SetForegroundWindow(m_hScanWnd);
    } else {
        // Whether the object went with a window that failed half way is not known here, so it
        // is left alone: a few bytes, once, on a system that cannot create a window.
        m_pScanDlg = nullptr;
    }

    m_hScanDone.Reset(CreateSemaphoreA(nullptr, 0, 1, nullptr));
    if (m_hScanDone) {
        m_hScanThread.Reset(CreateThread(nullptr, 0, &CHoldDlg::ScanThreadProc, this, 0, nullptr));
    }
    if (!m_hScanThread) {
        // No scan can run: what is left to the user is closing the scan window, which ends
        // the program; without that window there is nothing to wait for at all.
        OutputDebugStringA("*** Scan thread \n");
        if (m_hScanWnd == nullptr) {
            EndProgram();
        }
    }
    return true;
}

bool CHoldDlg::OnMessage(UINT nMsg, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    if (nMsg == GetShowInstanceMessage() && nMsg != 0) {
        OnAnotherStart();
        *pResult = 0;
        return true;
    }
    switch (nMsg) {
        case WM_SCAN_DONE:
            *pResult = OnScanDone();
            return true;
        case WM_APP_SHUTDOWN:
            *pResult = OnAppShutdown();
            return true;
        case WM_COUNTRY_WARNING:
            *pResult = OnCountryWarningMessage(wParam);
            return true;
        case WM_WINDOWPOSCHANGING:
            // The visibility gate: the layout says visible, and neither the dialog manager
            // nor anything else may show the window before the program wants it shown.
            if (!m_bVisible) {
                reinterpret_cast<WINDOWPOS*>(lParam)->flags &= ~SWP_SHOWWINDOW;
            }
            return false;
        case WM_SYSCOMMAND: {
            bool bHandled = false;
            OnSysCommand(wParam, lParam, pResult, &bHandled);
            return bHandled;
        }
        case WM_PAINT:
            if (OnPaintIconic()) {
                *pResult = 0;
                return true;
            }
            return false;
        case WM_QUERYDRAGICON:
            *pResult = reinterpret_cast<LRESULT>(m_hIcon);
            return true;
        case WM_ENDSESSION:
            OnEndSession(wParam != FALSE);
            *pResult = 0;
            return true;
        default:
            return CDialog::OnMessage(nMsg, wParam, lParam, pResult);
    }
}

bool CHoldDlg::OnCommand(WORD nId, WORD nCode, HWND hControl) {
    if (m_state.Is(CHoldState::kEnding)) {
        return true;  // a command queued behind the end starts nothing
    }
    if (const BehaviourInfo* pBehaviour = FindBehaviourByCommand(nId)) {
        OnModeCommand(pBehaviour->behaviour);
        return true;
    }
    switch (nId) {
        case ID_TRAY_EXIT:
            m_bExitRequested = true;
            PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
            return true;
        case ID_TRAY_OPEN:
            ShowDialog();
            return true;
        case ID_HELP_INDEX:
            if (m_pHelp != nullptr) {
                m_pHelp->WinHelp(0, 0);
            }
            return true;
        case IDC_MODEM_COMBO:
            if (nCode == CBN_SELCHANGE) {
                OnModemSelected();
            }
            return true;
        default:
            break;
    }
    if (nCode != BN_CLICKED) {
        return CDialog::OnCommand(nId, nCode, hControl);
    }
    switch (nId) {
        case IDC_AUTORUN:
            OnAutorunClicked();
            return true;
        case IDC_EXIT:
            EndProgram();
            return true;
        case IDC_HIDE:
            HideDialog();
            return true;
        case IDC_SOUND:
            OnSoundClicked();
            return true;
        case IDC_EXTRA:
            OnExtra();
            return true;
        case IDC_INFO:
            PostMessageA(m_hWnd, WM_COMMAND, ID_HELP_INDEX, 0);
            return true;
        default:
            return CDialog::OnCommand(nId, nCode, hControl);
    }
}

// Enter and the dialog manager's cancel only ever hide the window.
void CHoldDlg::OnOK() {
    HideDialog();
}

void CHoldDlg::OnCancel() {
    HideDialog();
}

void CHoldDlg::OnClose() {
    if (!m_bExitRequested) {
        HideDialog();  // close box, Alt+F4, Escape
        return;
    }
    EndProgram();
}

void CHoldDlg::OnAnotherStart() {
    // The user started the tool again: the main dialog shows as on "Open". While the scan
    // still runs, or the program ends, nothing happens.
    if (m_state.Is(CHoldState::kScanning) || m_state.Is(CHoldState::kEnding) || m_bClosing ||
        BringModalWindowForward()) {
        return;
    }
    ShowDialog();
}

bool CHoldDlg::BringModalWindowForward() {
    if (IsWindowEnabled(m_hWnd) && !m_state.IsBusy()) {
        return false;
    }
    HWND hPopup = GetLastActivePopup(m_hWnd);
    if (hPopup != nullptr && hPopup != m_hWnd) {
        SetForegroundWindow(hPopup);
    }
    return true;
}

void CHoldDlg::ShowDialog() {
    m_bVisible = true;
    ShowWindow(m_hWnd, SW_SHOW);
    SetForegroundWindow(m_hWnd);
}

void CHoldDlg::HideDialog() {
    m_bVisible = false;
    ShowWindow(m_hWnd, SW_HIDE);
}

void CHoldDlg::EndProgram() {
    // During a change the mode-change thread still uses the list and the call-waiting
    // control: the program ends as soon as the change has finished.
    if (!m_state.RequestEnd()) {
        return;
    }
    m_bClosing = true;
    EndDialog(0);
}

void CHoldDlg::OnEndSession(bool bEnding) {
    if (!bEnding) {
        return;
    }
    // The session ends and the process with it once this returns. A running change of
    // behaviour gets the few seconds the system allows to finish its write; the icon leaves
    // the notification area. The icon object itself stays whole: this can arrive inside the
    // icon's own menu, which still runs on it afterwards.
    WaitHandlingSentMessages(m_hApplyThread.Get(), 4000);
    m_trayIcon.ShowResourceIcon(0);
    EndProgram();
}

void CHoldDlg::OnDestroy() {
    // The icon leaves the notification area with the window it reports to, the scan window
    // (which frees its object) with the window it belongs to.
    MarkInstanceWindow(m_hWnd, false);
    m_trayIcon.ShowResourceIcon(0);
    if (m_hScanWnd != nullptr && IsWindow(m_hScanWnd)) {
        ::DestroyWindow(m_hScanWnd);
    }
    m_hScanWnd = nullptr;
    CDialog::OnDestroy();
}

void CHoldDlg::PostNcDestroy() {
    m_boldFont.Reset();
    // The call-waiting control goes with the window, unless a thread still works with it.
    if (!m_hApplyThread) {
        m_pCallWaiting.reset();
    }
    CDialog::PostNcDestroy();
}

void CHoldDlg::OnSysCommand(WPARAM nId, LPARAM /*lParam*/, LRESULT* pResult, bool* pbHandled) {
    if ((nId & 0xFFF0) != IDM_ABOUTBOX) {
        *pbHandled = false;  // the system's own handling
        return;
    }
    CAboutDlg about;
    about.DoModal();
    *pResult = 0;
    *pbHandled = true;
}

bool CHoldDlg::OnPaintIconic() {
    if (!IsIconic(m_hWnd)) {
        return false;
    }
    PAINTSTRUCT paint;
    HDC hDc = BeginPaint(m_hWnd, &paint);
    SendMessageA(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(hDc), 0);
    RECT rc;
    GetClientRect(m_hWnd, &rc);
    const int x = (rc.right - rc.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (rc.bottom - rc.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(hDc, x, y, m_hIcon);
    EndPaint(m_hWnd, &paint);
    return true;
}

void CHoldDlg::OnAutorunClicked() {
    if (m_pCallWaiting != nullptr) {
        m_pCallWaiting->SetAutorun(IsDlgButtonChecked(m_hWnd, IDC_AUTORUN) == BST_CHECKED);
    }
}

void CHoldDlg::OnSoundClicked() {
    m_bSound = IsDlgButtonChecked(m_hWnd, IDC_SOUND) == BST_CHECKED ? 1 : 0;
    m_settings.WriteSound(static_cast<std::uint32_t>(m_bSound));
}

void CHoldDlg::OnExtra() {
    CExtraDlg extra(m_pCallWaiting.get(), &m_callOutSetting, m_hWnd);
    extra.DoModal();
}
