#include "ui/wait_dlg.h"

#include <commctrl.h>

#include "ui/resource.h"
#include "ui/text.h"

namespace {
constexpr UINT_PTR kProgressTimerId = 1;
constexpr UINT kProgressPeriod = 500;
}  // namespace

CWaitDlg::CWaitDlg()
    : CDialog(IDD_WAIT), m_hWindowOpened(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

void CWaitDlg::PrepareRun() {
    std::lock_guard lock(m_lock);
    m_bCloseRequested = false;
    ResetEvent(m_hWindowOpened.Get());
}

void CWaitDlg::RequestClose() {
    HWND hWnd;
    {
        std::lock_guard lock(m_lock);
        m_bCloseRequested = true;
        hWnd = m_hWndOpen;
    }
    // Sent outside the lock: the window's thread takes the lock in its own handlers.
    if (hWnd != nullptr) {
        SendMessageA(hWnd, WM_CLOSE, 0, 0);
    }
}

HWND CWaitDlg::WaitForWindow(DWORD nTimeoutMs) {
    WaitForSingleObject(m_hWindowOpened.Get(), nTimeoutMs);
    std::lock_guard lock(m_lock);
    return m_hWndOpen;
}

bool CWaitDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_hProgress = GetDlgItem(IDC_WAIT_PROGRESS);
    m_timer.Start(m_hWnd, kProgressTimerId, kProgressPeriod);
    SendMessageA(m_hProgress, PBM_SETRANGE, 0, MAKELPARAM(0, 9));
    SendMessageA(m_hProgress, PBM_SETSTEP, 1, 0);
    SendMessageA(m_hProgress, PBM_SETPOS, 0, 0);
    SetDlgItemText(IDC_WAIT_TEXT, LoadText(IDS_WAIT_TEXT));
    // Its owner, the main dialog, is mostly hidden: then this centres it on the screen.
    CenterWindow();

    bool bAlreadyRequested;
    {
        std::lock_guard lock(m_lock);
        bAlreadyRequested = m_bCloseRequested;
        if (!bAlreadyRequested) {
            m_hWndOpen = m_hWnd;  // from now on a request reaches the window
        }
    }
    if (bAlreadyRequested) {
        // The work ended before the window existed: end the run before it is ever shown.
        OnClose();
        return true;
    }
    // Up and in front before the worker may have it: a consent prompt owned by a window that
    // is not yet shown comes up as a flashing taskbar button instead of in front.
    ShowWindow(m_hWnd, SW_SHOW);
    SetForegroundWindow(m_hWnd);
    SetEvent(m_hWindowOpened.Get());
    return true;
}

void CWaitDlg::OnTimer(UINT_PTR /*nId*/) {
    SendMessageA(m_hProgress, PBM_STEPIT, 0, 0);
}

void CWaitDlg::OnClose() {
    {
        std::lock_guard lock(m_lock);
        if (!m_bCloseRequested) {
            // Alt+F4, Escape or anybody's WM_CLOSE: the worker is still writing or dialling,
            // and only its own request may end the wait. A run ended early would also leave
            // the worker's late request to end the next run.
            return;
        }
        m_hWndOpen = nullptr;
    }
    m_timer.Stop();
    CDialog::OnCancel();
}

void CWaitDlg::OnCancel() {
    OnClose();
}

void CWaitDlg::OnDestroy() {
    // However the window ends, it takes no more requests and leaves no timer behind.
    {
        std::lock_guard lock(m_lock);
        m_hWndOpen = nullptr;
    }
    m_timer.Stop();
    m_hProgress = nullptr;
}
