// info: the information dialog and its bold font.
#include "ui/info_dlg.h"
#include "ui/resource.h"

#include "uitest.h"

namespace uitest {

namespace {

class CProbeInfoDlg : public CInfoDlg {
protected:
    bool OnInitDialog() override {
        const bool bResult = CInfoDlg::OnInitDialog();
        g_out.Line("info.hwnd=%s", Hwnd(m_hWnd).c_str());
        LOGFONTA logFont{};
        HFONT hFont =
            reinterpret_cast<HFONT>(SendDlgItemMessageA(m_hWnd, IDC_INFO_LINE, WM_GETFONT, 0, 0));
        GetObjectA(hFont, sizeof logFont, &logFont);
        g_out.Line("info.font=%s,%ld,%ld", logFont.lfFaceName, logFont.lfHeight, logFont.lfWeight);
        return bResult;
    }
};

}  // namespace

int RunInfo() {
    HFONT hBold = nullptr;
    INT_PTR nResult;
    {
        CProbeInfoDlg dialog;
        g_pCurrentDialog = &dialog;
        nResult = dialog.DoModal();
        g_pCurrentDialog = nullptr;
        hBold = dialog.GetBoldFont();
    }
    if (nResult == -1) {
        g_out.Line("error=info dialog not created");
        return kExitNoWindow;
    }
    g_out.Line("info.result=%lld", static_cast<long long>(nResult));
    g_out.Line("info.font_released=%d", hBold != nullptr && GetObjectType(hBold) == 0 ? 1 : 0);
    return g_bTimedOut ? kExitCheckFailed : kExitOk;
}

}  // namespace uitest
