#include "ui/scan_dlg.h"

#include "ui/resource.h"
#include "ui/text.h"

CScanDlg::CScanDlg(HWND hMainWnd) : CDialog(IDD_SCAN, hMainWnd), m_hMainWnd(hMainWnd) {}

bool CScanDlg::Create() {
    return CDialog::Create(m_hMainWnd);
}

bool CScanDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    CTextBuffer szText;
    SetWindowText(LoadText(IDS_SCAN_TITLE, szText));
    SetDlgItemText(IDC_SCAN_LINE1, LoadText(IDS_SCAN_LOOKING, szText));
    SetDlgItemText(IDC_SCAN_LINE2, LoadText(IDS_SCAN_MINUTES, szText));
    // The main window is still hidden, so this centres the window on the screen.
    CenterWindow();
    return true;
}

void CScanDlg::SetMainWnd(HWND hMainWnd) {
    m_hMainWnd = hMainWnd;
    m_hParent = hMainWnd;
    if (m_hWnd != nullptr) {
        SetWindowLongPtrA(m_hWnd, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(hMainWnd));
    }
}

void CScanDlg::OnClose() {
    PostMessageA(m_hMainWnd, WM_APP_SHUTDOWN, 0, 0);
    CDialog::OnClose();
}

void CScanDlg::PostNcDestroy() {
    delete this;
}
