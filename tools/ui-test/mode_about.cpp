// about: the About dialog and its link.
#include "ui/about_dlg.h"
#include "ui/resource.h"
#include "ui/text.h"

#include "uitest.h"

namespace uitest {

namespace {

INT_PTR PrintOpen(const std::string& target, int nShowCmd) {
    g_out.Line("about.link.open=%s show=%d", target.c_str(), nShowCmd);
    return 33;
}

class CProbeAboutDlg : public CAboutDlg {
protected:
    bool OnInitDialog() override {
        const bool bResult = CAboutDlg::OnInitDialog();
        HWND hLink = GetDlgItem(IDC_LINK);
        g_out.Line("about.hwnd=%s", Hwnd(m_hWnd).c_str());
        g_out.Line("about.link.hwnd=%s", Hwnd(hLink).c_str());
        g_out.Line("about.link.target=%s", GetLink().GetLinkTarget().c_str());
        g_out.Line("about.link.text=%s", GetWindowTextString(hLink).c_str());
        RECT rc;
        GetWindowRect(hLink, &rc);
        MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rc), 2);
        g_out.Line("about.link.rect=%s", Rect(rc).c_str());

        const std::string text = GetWindowTextString(hLink);
        SIZE extent{};
        HDC hDC = GetDC(hLink);
        HGDIOBJ hOld = SelectObject(hDC, GetLink().GetUnderlineFont());
        GetTextExtentPoint32A(hDC, text.c_str(), static_cast<int>(text.size()), &extent);
        SelectObject(hDC, hOld);
        ReleaseDC(hLink, hDC);
        RECT rcWindow;
        RECT rcClient;
        GetWindowRect(hLink, &rcWindow);
        GetClientRect(hLink, &rcClient);
        g_out.Line("about.link.needed=%ld,%ld",
                   extent.cx + (rcWindow.right - rcWindow.left) - rcClient.right,
                   extent.cy + (rcWindow.bottom - rcWindow.top) - rcClient.bottom);
        return bResult;
    }
};

}  // namespace

int RunAbout(const Options& options) {
    if (options.bLinkPrint) {
        CHyperLink::SetLinkOpener(PrintOpen);
    }
    CProbeAboutDlg dialog;
    for (int nRun = 1; nRun <= options.nRepeat && !g_bTimedOut; ++nRun) {
        g_out.Line("run=%d", nRun);
        g_pCurrentDialog = &dialog;
        const INT_PTR nResult = dialog.DoModal();
        g_pCurrentDialog = nullptr;
        if (nResult == -1) {
            g_out.Line("error=about dialog not created");
            return kExitNoWindow;
        }
        g_out.Line("about.result=%lld", static_cast<long long>(nResult));
    }
    return g_bTimedOut ? kExitCheckFailed : kExitOk;
}

}  // namespace uitest
