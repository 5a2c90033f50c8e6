// The dialog base and the small dialogs on in-memory layouts with the real control ids: the
// scan dialog's close and self-deletion, the info dialog's bold font and exit button, the tip
// window, and exceptions that must not reach Windows.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "ui/dialog.h"
#include "ui/dlg_tooltip.h"
#include "ui/info_dlg.h"
#include "ui/resource.h"
#include "ui/scan_dlg.h"
#include "unit/win32/dialog_template.h"

namespace {

void PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// Runs a function inside the modal loop of the dialog that is about to start.
std::function<void()> g_inModalLoop;
void CALLBACK RunInModalLoop(HWND, UINT, UINT_PTR nId, DWORD) {
    KillTimer(nullptr, nId);
    if (g_inModalLoop) {
        auto fn = std::move(g_inModalLoop);
        g_inModalLoop = nullptr;
        fn();
    }
}
void ScheduleInModalLoop(std::function<void()> fn) {
    g_inModalLoop = std::move(fn);
    SetTimer(nullptr, 0, 10, RunInModalLoop);
}

struct MainWindowLog {
    int nShutdowns = 0;
    WPARAM wParam = 1;
    LPARAM lParam = 1;
    HWND hForegroundAtHide = nullptr;
};
MainWindowLog g_main;

LRESULT CALLBACK MainProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    if (nMsg == WM_APP_SHUTDOWN) {
        ++g_main.nShutdowns;
        g_main.wParam = wParam;
        g_main.lParam = lParam;
        return 0;
    }
    if (nMsg == WM_SHOWWINDOW && wParam == FALSE) {
        g_main.hForegroundAtHide = GetForegroundWindow();
    }
    return DefWindowProcA(hWnd, nMsg, wParam, lParam);
}

class DialogsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        WNDCLASSA wc{};
        wc.lpfnWndProc = MainProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "MavrisDialogsTestMain";
        RegisterClassA(&wc);
        InitCommonControls();
    }
    void SetUp() override {
        g_main = MainWindowLog{};
        // Hidden, as the main dialog is while the scan runs.
        m_hMain = CreateWindowExA(0, "MavrisDialogsTestMain", "main", WS_OVERLAPPEDWINDOW, 0, 0,
                                  300, 200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(m_hMain, nullptr);
    }
    void TearDown() override { DestroyWindow(m_hMain); }

    HWND m_hMain = nullptr;
};

bool g_bScanDeleted = false;

class CProbeScanDlg : public CScanDlg {
public:
    using CScanDlg::CScanDlg;

protected:
    ~CProbeScanDlg() override { g_bScanDeleted = true; }
};

TEST_F(DialogsTest, ScanDialogIsCentredAndItsCloseAsksTheMainWindowToShutDown) {
    CDialogTemplate layout(DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0, 302, 162, "");
    layout.Add(CDialogTemplate::kStatic, IDC_SCAN_LINE1, SS_LEFT, 165, 70, 127, 8)
        .Add(CDialogTemplate::kStatic, IDC_SCAN_LINE2, SS_LEFT, 165, 80, 127, 8);
    g_bScanDeleted = false;
    CScanDlg* pScan = new CProbeScanDlg(m_hMain);
    pScan->InitIndirect(layout.Get());
    ASSERT_TRUE(pScan->Create());
    HWND hScan = pScan->GetSafeHwnd();
    EXPECT_EQ(GetWindow(hScan, GW_OWNER), m_hMain);

    RECT rc;
    GetWindowRect(hScan, &rc);
    RECT rcWork;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &rcWork, 0);
    EXPECT_LE(std::abs((rc.left + rc.right) - (rcWork.left + rcWork.right)), 1);
    EXPECT_LE(std::abs((rc.top + rc.bottom) - (rcWork.top + rcWork.bottom)), 1);

    SendMessageA(hScan, WM_CLOSE, 0, 0);
    PumpMessages();
    EXPECT_EQ(g_main.nShutdowns, 1);
    EXPECT_EQ(g_main.wParam, 0u);
    EXPECT_EQ(g_main.lParam, 0);
    EXPECT_TRUE(IsWindow(hScan)) << "closing only hides the scan window";
    EXPECT_FALSE(IsWindowVisible(hScan));
    EXPECT_FALSE(g_bScanDeleted);

    DestroyWindow(hScan);
    EXPECT_TRUE(g_bScanDeleted);
}

// The info dialog takes the scan window's place (the main window plays it): that window goes
// only once the dialog is up in front, so the program keeps the foreground throughout.
TEST_F(DialogsTest, InfoDialogReplacesTheScanWindowShowsItsLineInBoldAndEndsWithItsButton) {
    CDialogTemplate layout(DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0, 300, 200, "");
    layout.Add(CDialogTemplate::kButton, IDC_INFO_EXIT, BS_DEFPUSHBUTTON, 173, 174, 50, 14)
        .Add(CDialogTemplate::kStatic, IDC_INFO_LINE, SS_LEFT, 135, 40, 155, 8);
    HFONT hBold = nullptr;
    ShowWindow(m_hMain, SW_SHOW);
    SetForegroundWindow(m_hMain);
    HWND hDlg = nullptr;
    {
        CInfoDlg info;
        info.InitIndirect(layout.Get());
        info.SetReplacedWindow(m_hMain);
        LOGFONTA logFont{};
        HFONT hLineFont = nullptr;
        ScheduleInModalLoop([&] {
            hDlg = info.GetSafeHwnd();
            hLineFont =
                reinterpret_cast<HFONT>(SendDlgItemMessageA(hDlg, IDC_INFO_LINE, WM_GETFONT, 0, 0));
            GetObjectA(hLineFont, sizeof logFont, &logFont);
            SendMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDC_INFO_EXIT, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(hDlg, IDC_INFO_EXIT)));
        });
        EXPECT_EQ(info.DoModal(), IDOK);
        EXPECT_FALSE(IsWindowVisible(m_hMain));
        EXPECT_EQ(g_main.hForegroundAtHide, hDlg);
        hBold = info.GetBoldFont();
        EXPECT_EQ(hLineFont, hBold);
        EXPECT_EQ(logFont.lfHeight, 12);
        EXPECT_EQ(logFont.lfWeight, FW_BOLD);
        EXPECT_EQ(logFont.lfItalic | logFont.lfUnderline | logFont.lfStrikeOut, 0);
        EXPECT_EQ(logFont.lfCharSet, 0);
        EXPECT_STREQ(logFont.lfFaceName, "MS Sans Serif");
        EXPECT_NE(GetObjectType(hBold), 0u) << "the font lives as long as the dialog object";
    }
    EXPECT_EQ(GetObjectType(hBold), 0u) << "the bold font was not released with the dialog";
}

TEST_F(DialogsTest, ToolTipsAreOwnedByTheDialogAndNameTheirTextById) {
    CDialogTemplate layout(WS_POPUP | WS_CAPTION, 0, 0, 221, 132, "tips");
    layout.Add(CDialogTemplate::kEdit, IDC_OUTSIDE_LINE, ES_AUTOHSCROLL | WS_BORDER, 165, 15, 40,
               14);
    CDialog dialog(IDD_EXTRA);
    dialog.InitIndirect(layout.Get());
    ASSERT_TRUE(dialog.Create());
    CDlgToolTip tip;
    ASSERT_TRUE(tip.Create(dialog.GetSafeHwnd()));
    EXPECT_EQ(GetWindow(tip.GetSafeHwnd(), GW_OWNER), dialog.GetSafeHwnd());
    EXPECT_EQ(GetWindowLongPtrA(tip.GetSafeHwnd(), GWL_STYLE) & TTS_ALWAYSTIP, 0);

    HWND hEdit = dialog.GetDlgItem(IDC_OUTSIDE_LINE);
    EXPECT_NE(tip.AddControlTip(hEdit, IDS_TIP_OUTSIDE_LINE), 0);
    EXPECT_EQ(SendMessageA(tip.GetSafeHwnd(), TTM_GETTOOLCOUNT, 0, 0), 1);

    TTTOOLINFOA info{};
    info.cbSize = TTTOOLINFOA_V1_SIZE;
    info.hwnd = dialog.GetSafeHwnd();
    info.uId = reinterpret_cast<UINT_PTR>(hEdit);
    char szText[80] = {};
    info.lpszText = szText;  // a text given by id comes back as that id
    ASSERT_TRUE(
        SendMessageA(tip.GetSafeHwnd(), TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&info)));
    EXPECT_EQ(info.uFlags & (TTF_IDISHWND | TTF_SUBCLASS),
              static_cast<UINT>(TTF_IDISHWND | TTF_SUBCLASS));
    EXPECT_EQ(info.lpszText, MAKEINTRESOURCEA(IDS_TIP_OUTSIDE_LINE));
    dialog.DestroyWindow();
}

// A dialog whose handlers throw: the exception must end at the dialog procedure.
class CThrowingDlg : public CDialog {
public:
    CThrowingDlg(const DLGTEMPLATE* pTemplate, bool bThrowAtInit)
        : CDialog(IDD_ABOUTBOX), m_bThrowAtInit(bThrowAtInit) {
        InitIndirect(pTemplate);
    }

protected:
    bool OnInitDialog() override {
        if (m_bThrowAtInit) {
            throw std::runtime_error("init");
        }
        return true;
    }
    bool OnCommand(WORD nId, WORD nCode, HWND hControl) override {
        if (nId == 77) {
            throw std::runtime_error("command");
        }
        return CDialog::OnCommand(nId, nCode, hControl);
    }

private:
    bool m_bThrowAtInit;
};

TEST_F(DialogsTest, AnExceptionInAHandlerStaysInsideTheDialog) {
    CDialogTemplate layout(WS_POPUP | WS_CAPTION, 0, 0, 100, 50, "throwing");
    CThrowingDlg dialog(layout.Get(), false);
    ScheduleInModalLoop([&] {
        SendMessageA(dialog.GetSafeHwnd(), WM_COMMAND, 77, 0);  // throws inside
        SendMessageA(dialog.GetSafeHwnd(), WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(dialog.DoModal(), IDOK) << "the dialog went on after the failed handler";
}

TEST_F(DialogsTest, ADialogThatFailsToStartIsNotLeftOnTheScreen) {
    CDialogTemplate layout(WS_POPUP | WS_CAPTION, 0, 0, 100, 50, "throwing");
    CThrowingDlg dialog(layout.Get(), true);
    EXPECT_EQ(dialog.DoModal(), -1);
}

TEST_F(DialogsTest, ModalDialogsWithoutAParentAreOwnedByTheDefaultOwnerOfTheirThread) {
    CDialogTemplate layout(WS_POPUP | WS_CAPTION, 0, 0, 100, 50, "owned");
    CDialog dialog(IDD_ABOUTBOX);
    dialog.InitIndirect(layout.Get());
    CDialog::SetDefaultOwner(m_hMain);
    HWND hOwner = nullptr;
    BOOL bOwnerEnabled = TRUE;
    ScheduleInModalLoop([&] {
        hOwner = GetWindow(dialog.GetSafeHwnd(), GW_OWNER);
        bOwnerEnabled = IsWindowEnabled(m_hMain);
        dialog.EndDialog(IDOK);
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    CDialog::SetDefaultOwner(nullptr);
    EXPECT_EQ(hOwner, m_hMain);
    EXPECT_FALSE(bOwnerEnabled) << "the owner is blocked while the dialog runs";
    EXPECT_TRUE(IsWindowEnabled(m_hMain));
}

}  // namespace
