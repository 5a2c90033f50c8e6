#include "ui/info_dlg.h"

#include <cstdlib>

#include "ui/resource.h"
#include "ui/text.h"

HFONT CreateBoldDialogFont(HWND hDialog) {
    // 12 units high beside the dialog font's 8 points at 96 dpi (11 pixels), and as much
    // higher as the dialog font is at the display's dpi.
    constexpr int kBoldHeight = 12;
    constexpr int kDialogFontHeightAt96 = 11;
    int nHeight = kBoldHeight;
    LOGFONTA font;
    const auto hDialogFont = reinterpret_cast<HFONT>(SendMessageA(hDialog, WM_GETFONT, 0, 0));
    if (hDialogFont != nullptr && GetObjectA(hDialogFont, sizeof font, &font) == sizeof font &&
        font.lfHeight != 0) {
        nHeight = MulDiv(kBoldHeight, std::abs(font.lfHeight), kDialogFontHeightAt96);
    } else if (HDC hDc = GetDC(hDialog)) {
        nHeight = MulDiv(kBoldHeight, GetDeviceCaps(hDc, LOGPIXELSY), 96);
        ReleaseDC(hDialog, hDc);
    }
    return CreateFontA(nHeight, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                       "MS Sans Serif");
}

std::string BuildPortsInUseHint(const std::string& hint, const std::vector<int>& ports) {
    std::string names;
    for (int nPort : ports) {
        names += (names.empty() ? "COM" : ", COM") + std::to_string(nPort);
    }
    std::string text = hint;
    const std::size_t at = text.find("%s");
    if (at != std::string::npos) {
        text.replace(at, 2, names);
    }
    return text;
}

CInfoDlg::CInfoDlg() : CDialog(IDD_INFO) {}

bool CInfoDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_font.Reset(CreateBoldDialogFont(m_hWnd));
    SendMessageA(GetDlgItem(IDC_INFO_LINE), WM_SETFONT, reinterpret_cast<WPARAM>(m_font.Get()),
                 TRUE);
    SetWindowText(LoadText(IDS_CLOSING).c_str());
    if (m_portsHeldElsewhere.empty()) {
        SetDlgItemText(IDC_INFO_LINE, LoadText(IDS_NO_MODEM));
    } else {
        SetDlgItemText(IDC_INFO_LINE, LoadText(IDS_PORTS_IN_USE));
        SetDlgItemText(IDC_INFO_DETAIL,
                       BuildPortsInUseHint(LoadText(IDS_PORTS_IN_USE_HINT), m_portsHeldElsewhere));
        ShowWindow(GetDlgItem(IDC_INFO_DETAIL), SW_SHOW);
    }
    SetDlgItemText(IDC_INFO_EXIT, LoadText(IDS_EXIT));
    if (m_hReplaced != nullptr) {
        // Shown and brought forward while the window it replaces still has the foreground;
        // only then does that window go. Hidden first, it would hand the foreground to another
        // program, and this dialog, of another thread and without an owner, could open
        // behind that program's window.
        ShowWindow(m_hWnd, SW_SHOW);
        SetForegroundWindow(m_hWnd);
        ShowWindowAsync(m_hReplaced, SW_HIDE);
    }
    return true;
}

bool CInfoDlg::OnCommand(WORD nId, WORD nCode, HWND hControl) {
    if (nId == IDC_INFO_EXIT && nCode == BN_CLICKED) {
        OnOK();
        return true;
    }
    return CDialog::OnCommand(nId, nCode, hControl);
}
