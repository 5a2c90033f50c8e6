// CHoldDlg: the start-up scan and what follows it. The scan thread does the slow part only:
// it finds and probes the modems, closes every port it opened and hands over with
// WM_SCAN_DONE. The controls are filled here on the user-interface thread, so that the scan
// thread never waits for this thread except for a country warning, which every wait of this
// thread answers (WaitHandlingSentMessages).

#include "app/hold_dlg.h"
#include "app/single_instance.h"
#include "app/taskbar_message.h"
#include "ui/info_dlg.h"
#include "ui/resource.h"
#include "ui/scan_dlg.h"
#include "ui/text.h"

namespace {

// The pause between the end of the scan thread and the end of the program when the user
// closes the scan window.
constexpr DWORD kShutdownPauseMs = 200;
// How often the end of the scan cuts short a port's opening on the scan thread once more.
constexpr DWORD kCancelRepeatMs = 50;

// Releases the semaphore once, however the scan thread ends.
class CScanDoneRelease {
public:
    explicit CScanDoneRelease(HANDLE hSemaphore) : m_hSemaphore(hSemaphore) {}
    ~CScanDoneRelease() { ReleaseSemaphore(m_hSemaphore, 1, nullptr); }
    CScanDoneRelease(const CScanDoneRelease&) = delete;
    CScanDoneRelease& operator=(const CScanDoneRelease&) = delete;

private:
    HANDLE m_hSemaphore;
};

struct MessageBoxSearch {
    HWND hOwner;
    HWND hFound;
};

BOOL CALLBACK MatchMessageBox(HWND hWnd, LPARAM lParam) {
    auto* pSearch = reinterpret_cast<MessageBoxSearch*>(lParam);
    char szClass[16] = {};
    GetClassNameA(hWnd, szClass, sizeof szClass);
    if (GetWindow(hWnd, GW_OWNER) == pSearch->hOwner && lstrcmpA(szClass, "#32770") == 0 &&
        CDialog::FromHandle(hWnd) == nullptr) {
        pSearch->hFound = hWnd;
        return FALSE;
    }
    return TRUE;
}

// The message box of this thread that is owned by hOwner and is no dialog of the program's
// own, or null.
HWND FindMessageBox(HWND hOwner) {
    MessageBoxSearch search{hOwner, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), MatchMessageBox, reinterpret_cast<LPARAM>(&search));
    return search.hFound;
}

}  // namespace

DWORD WINAPI CHoldDlg::ScanThreadProc(void* pParam) {
    static_cast<CHoldDlg*>(pParam)->RunScan();
    return 0;
}

void CHoldDlg::RunScan() {
    CScanDoneRelease release(m_hScanDone.Get());
    try {
        m_modemList.LoadRegEntries();
        m_modemList.ReduceToModemOnHoldSupported();
    } catch (...) {
        // The list holds what the scan had settled; the program goes on with that.
        m_platform.log->Write("*** reduce To Modem On Hold Supported \n");
    }
    CloseScannedPorts();
    if (m_bClosing) {
        return;
    }
    if (m_modemList.GetCount() == 0) {
        CInfoDlg info;  // runs on this thread, with no parent
        info.SetReplacedWindow(m_hScanWnd);
        info.SetPortsHeldElsewhere(m_modemList.GetPortsHeldElsewhere());
        info.DoModal();
        PostMessageA(m_hWnd, WM_APP_SHUTDOWN, 0, 0);
        return;
    }
    PostMessageA(m_hWnd, WM_SCAN_DONE, 0, 0);
}

void CHoldDlg::CloseScannedPorts() {
    // While the tool sits in the notification area, dial-up networking must be able to use
    // every modem; a mode change opens its port only for its own call.
    for (int i = 0; i < m_modemList.GetCount(); ++i) {
        CSerialPort* pPort = m_modemList.GetAt(i)->GetSerialPort();
        if (pPort == nullptr) {
            continue;
        }
        if (!pPort->CloseOrAbandon()) {
            m_platform.log->Write("*** Open Port \n");
        }
    }
}

void CHoldDlg::OnCountryWarning(int nIndex) {
    if (m_bClosing) {
        return;
    }
    SendMessageA(m_hWnd, WM_COUNTRY_WARNING, static_cast<WPARAM>(nIndex), 0);
}

LRESULT CHoldDlg::OnCountryWarningMessage(WPARAM nIndex) {
    if (m_bClosing) {
        return 0;
    }
    const ModemInfo* pModem = m_modemList.GetAt(static_cast<int>(nIndex));
    if (pModem == nullptr) {
        return 0;
    }
    const std::string text = pModem->GetName() + " \r\n" + LoadText(IDS_NOT_GERMANY);
    m_bInCountryWarning = true;
    ShowBox(text, IDS_INFO_TITLE, MB_ICONHAND);
    m_bInCountryWarning = false;
    if (m_bShutdownAfterWarning) {
        // The scan window was closed while the box was up; the end waits until here.
        PostMessageA(m_hWnd, WM_APP_SHUTDOWN, 0, 0);
    }
    return 0;
}

LRESULT CHoldDlg::OnAppShutdown() {
    HideScanDialog();
    StopScan();
    if (m_state.Is(CHoldState::kEnding)) {
        return 0;
    }
    if (m_bInCountryWarning) {
        // This arrived inside the country warning's box, while the scan thread waits for that
        // box: waiting for the scan here would wait for ourselves. The box goes, and the end
        // follows once its call has returned.
        m_bShutdownAfterWarning = true;
        if (HWND hBox = FindMessageBox(m_hWnd)) {
            PostMessageA(hBox, WM_COMMAND, IDOK, 0);
        }
        return 0;
    }
    WaitForScanEnd();
    Sleep(kShutdownPauseMs);
    m_state.End();
    EndDialog(0);
    return 0;
}

void CHoldDlg::StopScan() {
    // The scan opens no further port and asks no further question; a read or write under way
    // ends at once. Nobody waits minutes for silent ports behind a closed window, and a
    // Bluetooth modem's port is not opened (which pages the phone).
    m_bClosing = true;
    m_modemList.Cancel();
}

void CHoldDlg::WaitForScanEnd() {
    if (!m_hScanThread) {
        return;  // it never started: nothing will release the semaphore
    }
    // A port being opened is no read or write: only the thread's own cancel ends that wait,
    // and it has to be repeated, as the scan thread may not have begun the call yet.
    while (!WaitHandlingSentMessages(m_hScanDone.Get(), kCancelRepeatMs)) {
        CancelSynchronousIo(m_hScanThread.Get());
    }
    WaitHandlingSentMessages(m_hScanThread.Get());
}

LRESULT CHoldDlg::OnScanDone() {
    if (m_bClosing || m_state.Is(CHoldState::kEnding) || m_modemList.GetCount() == 0) {
        return 0;
    }
    FillControls();
    HandleFirstRun();
    CheckDlgButton(
        m_hWnd, IDC_AUTORUN,
        m_pCallWaiting != nullptr && m_pCallWaiting->IsAutorun() ? BST_CHECKED : BST_UNCHECKED);
    AddTip(IDC_AUTORUN, IDS_TIP_AUTORUN);
    m_bSound = static_cast<int>(m_settings.ReadSound());
    CheckDlgButton(m_hWnd, IDC_SOUND, m_bSound == 1 ? BST_CHECKED : BST_UNCHECKED);
    AddTip(IDC_SOUND, IDS_TIP_SOUND);
    AddTip(IDC_EXTRA, IDS_TIP_EXTRA);
    AddTip(IDC_INFO, IDS_TIP_INFO);
    UpdateWindow(m_hWnd);

    m_trayIcon.BindWindow(m_hWnd, WM_TRAY_NOTIFY);
    AllowTaskbarCreatedMessage(m_hWnd);
    m_trayIcon.ShowResourceIcon(IDI_TRAY);
    RefreshMode();
    HideScanDialog();
    // From now on a second start finds this window and asks it to show itself.
    m_state.ScanDone();
    AllowMessageFromOtherProcesses(m_hWnd, GetShowInstanceMessage());
    MarkInstanceWindow(m_hWnd, true);
    if (m_bFirstRun && m_pHelp != nullptr) {
        m_pHelp->WinHelp(0, HELP_CONTEXT);
    }
    return 0;
}

void CHoldDlg::FillControls() {
    CTextBuffer szText;
    SetWindowText(LoadText(IDS_MAIN_TITLE, szText));
    SetDlgItemText(IDC_HIDE, LoadText(IDS_HIDE, szText));
    SetDlgItemText(IDC_EXIT, LoadText(IDS_EXIT, szText));
    const int nCount = m_modemList.GetCount();
    if (nCount == 1) {
        SetDlgItemText(IDC_MODEM_COUNT, LoadText(IDS_ONE_MODEM));
    } else {
        SetDlgItemText(IDC_MODEM_COUNT, (std::to_string(nCount) + LoadText(IDS_N_MODEMS)).c_str());
    }
    SelectModem(0);
    SetDlgItemText(IDC_AUTORUN_GROUP, "");
    ShowWindow(GetDlgItem(IDC_AUTORUN_GROUP), SW_SHOW);
    SetDlgItemText(IDC_AUTORUN, LoadText(IDS_RUN_ON_START, szText));
    ShowWindow(GetDlgItem(IDC_AUTORUN), SW_SHOW);
    SetDlgItemText(IDC_SOUND_GROUP, "");
    SetDlgItemText(IDC_SOUND, LoadText(IDS_SOUND_CHECK, szText));
}

void CHoldDlg::HandleFirstRun() {
    if (!m_settings.IsFirstRun()) {
        return;
    }
    if (m_pCallWaiting != nullptr) {
        m_pCallWaiting->SetAutorun(true);
    }
    m_settings.WriteSound(1);
    m_settings.WriteCallOut(1);
    m_bFirstRun = true;
    ShowDialog();
}

void CHoldDlg::SelectModem(int nIndex) {
    ModemInfo* pModem = m_modemList.GetAt(nIndex);
    if (pModem == nullptr || m_state.Is(CHoldState::kApplying)) {
        return;
    }
    m_pCurrentModem = pModem;
    m_nCurrentIndex = nIndex;
    SetDlgItemText(IDC_MODEM_NAME, pModem->GetName());
    m_pCallWaiting = std::make_unique<CCallWaitingControl>(m_platform, pModem);

    // The list is sorted by the control; each entry keeps its place in the modem list, so
    // that a choice finds its modem whatever the names look like.
    HWND hCombo = GetDlgItem(IDC_MODEM_COMBO);
    SendMessageA(hCombo, CB_RESETCONTENT, 0, 0);
    const std::vector<std::string> names = m_modemList.GetNameList();
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i].empty()) {
            continue;
        }
        const LRESULT nItem =
            SendMessageA(hCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(names[i].c_str()));
        if (nItem >= 0) {
            SendMessageA(hCombo, CB_SETITEMDATA, static_cast<WPARAM>(nItem),
                         static_cast<LPARAM>(i));
        }
    }
    const LRESULT nItems = SendMessageA(hCombo, CB_GETCOUNT, 0, 0);
    for (LRESULT nItem = 0; nItem < nItems; ++nItem) {
        if (SendMessageA(hCombo, CB_GETITEMDATA, static_cast<WPARAM>(nItem), 0) == nIndex) {
            SendMessageA(hCombo, CB_SETCURSEL, static_cast<WPARAM>(nItem), 0);
            break;
        }
    }
    if (m_state.Is(CHoldState::kScanning)) {  // the scan fills the list first
        AddTip(IDC_MODEM_COMBO, IDS_TIP_MODEM_COMBO);
    }
    ShowWindow(hCombo, SW_SHOW);
    RefreshMode();
}

void CHoldDlg::OnModemSelected() {
    HWND hCombo = GetDlgItem(IDC_MODEM_COMBO);
    const LRESULT nItem = SendMessageA(hCombo, CB_GETCURSEL, 0, 0);
    if (nItem < 0) {
        return;
    }
    const int nIndex =
        static_cast<int>(SendMessageA(hCombo, CB_GETITEMDATA, static_cast<WPARAM>(nItem), 0));
    if (nIndex != m_nCurrentIndex) {
        SelectModem(nIndex);
    }
}

void CHoldDlg::AddTip(int nControlId, UINT nTextId) {
    m_toolTip.AddControlTip(GetDlgItem(nControlId), nTextId);
}

void CHoldDlg::HideScanDialog() {
    if (m_hScanWnd != nullptr && IsWindow(m_hScanWnd)) {
        ShowWindow(m_hScanWnd, SW_HIDE);
    }
}
