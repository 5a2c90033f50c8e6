#include "ui/about_dlg.h"

#include "ui/resource.h"
#include "ui/text.h"

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX) {}

bool CAboutDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    // The link takes its first target from the template text and fits itself to it.
    m_link.AttachDlgItem(m_hWnd, IDC_LINK);

    CTextBuffer szText;
    SetWindowText(LoadText(IDS_ABOUTBOX, szText));
    SetDlgItemText(IDC_ABOUT_VERSION, LoadText(IDS_VERSION, szText));
    SetDlgItemText(IDC_ABOUT_COPYRIGHT, LoadText(IDS_COPYRIGHT, szText));
    SetDlgItemText(IDC_LINK, LoadText(IDS_WEB_ADDRESS, szText));
    m_link.SetLinkTarget(szText);
    return true;
}
