// scan: the modeless scan window.
#include "ui/scan_dlg.h"
#include "ui/text.h"

#include "uitest.h"

namespace uitest {

namespace {

class CProbeScanDlg : public CScanDlg {
public:
    using CScanDlg::CScanDlg;

protected:
    ~CProbeScanDlg() override { g_out.Line("scan.deleted=1"); }
};

}  // namespace

int RunScan() {
    CScanDlg* pScan = new CProbeScanDlg(g_hMain);
    if (!pScan->Create()) {
        g_out.Line("error=scan dialog not created");
        return kExitNoWindow;
    }
    g_hScan = pScan->GetSafeHwnd();
    ShowWindow(g_hScan, SW_SHOW);
    g_out.Line("scan.hwnd=%s", Hwnd(g_hScan).c_str());
    g_out.Line("scan.title=%s", GetWindowTextString(g_hScan).c_str());
    RECT rc;
    GetWindowRect(g_hScan, &rc);
    g_out.Line("scan.rect=%s", Rect(rc).c_str());
    RECT rcWork;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &rcWork, 0);
    g_out.Line("scan.workarea=%s", Rect(rcWork).c_str());
    return RunMessageLoop();
}

}  // namespace uitest
