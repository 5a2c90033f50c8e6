#include "app/hold_app.h"

#include <commctrl.h>

#include <memory>

#include "platform/win32/system_library.h"
#include "platform/win32/win32_elevation.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/wide_text.h"
#include "ui/resource.h"
#include "ui/scan_dlg.h"
#include "ui/text.h"

namespace {

constexpr UINT kHhDisplayTopic = 0x0000;
constexpr UINT kHhCloseAll = 0x0012;

}  // namespace

CHoldApp::~CHoldApp() {
    // Help windows run on this thread inside the help component; they go before the program.
    if (m_pfnHtmlHelp != nullptr) {
        m_pfnHtmlHelp(nullptr, nullptr, kHhCloseAll, 0);
    }
}

bool CHoldApp::InitInstance() {
    if (ClaimSingleInstance(kSingleInstanceMutexName, &m_hMutex)) {
        // Another instance runs: this start ends at once without a window of its own, and
        // the running one shows its main dialog (unless it is still scanning), so that a
        // user who starts the tool again from the Start menu sees it.
        AskRunningInstanceToShow();
        return false;
    }
    INITCOMMONCONTROLSEX init{sizeof init,
                              ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
    if (!InitCommonControlsEx(&init)) {
        InitCommonControls();
    }
    // The scan window is what the user waits to see: it comes up before the main dialog,
    // with its fifteen controls and pictures, is built (hidden) behind it. Nothing can close
    // it before the main dialog takes it over: no message is handled until then.
    auto* pScanDlg = new CScanDlg(nullptr);
    if (pScanDlg->Create()) {
        ShowWindow(pScanDlg->GetSafeHwnd(), SW_SHOW);
        UpdateWindow(pScanDlg->GetSafeHwnd());
    } else {
        pScanDlg = nullptr;  // the main dialog tries once more itself
    }
    // What the scan window need not wait for: the Escape rule (no dialog loop runs before the
    // main dialog's) and the mark that setup sees from other sessions.
    m_filter.Install([this](const MSG& msg) { return PreTranslateMessage(msg); });
    m_hGlobalMutex = HoldGlobalInstanceMark(kGlobalInstanceMutexName);
    // The main dialog's set-up registers its window as the owner of the program's other
    // dialogs; the Escape rule finds it there.
    auto pDialog = std::make_unique<CHoldDlg>(GetWin32Platform(), this, pScanDlg);
    // The consent prompt of an elevated write comes up over the wait dialog the user watches.
    CWin32Elevation& elevation = GetWin32Elevation();
    elevation.SetOwnerSource([pOwner = pDialog.get()] { return pOwner->GetPromptOwner(); });
    pDialog->DoModal();
    elevation.SetOwnerSource(nullptr);
    pDialog.reset();
    CDialog::SetDefaultOwner(nullptr);
    m_filter.Remove();
    return false;
}

bool CHoldApp::PreTranslateMessage(const MSG& msg) {
    if (!IsEscapeKeyDown(msg)) {
        return false;
    }
    HWND hMain = CDialog::GetDefaultOwner();
    HWND hRoot = msg.hwnd != nullptr ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (hMain == nullptr || !IsWindow(hMain) || CDialog::FromHandle(hRoot) == nullptr) {
        return false;  // a message box, or a window that is not one of the program's dialogs
    }
    PostMessageA(hMain, WM_CLOSE, 0, 0);
    return true;
}

void CHoldApp::WinHelp(DWORD /*dwData*/, UINT /*nCmd*/) {
    OpenHelpFile(GetWin32ZoneMarks(), *this, CDialog::GetDefaultOwner(),
                 HelpFileBeside(GetOwnExecutablePath()));
}

bool CHoldApp::ShowHelp(HWND hOwner, const std::wstring& path) {
    if (!m_bHtmlHelpLooked) {
        // Loaded at run time: a system without the HTML Help component still runs the tool,
        // and its help requests then do nothing.
        m_bHtmlHelpLooked = true;
        m_pfnHtmlHelp = GetSystemFunction<HtmlHelpProc>("hhctrl.ocx", "HtmlHelpW");
    }
    return m_pfnHtmlHelp != nullptr &&
           m_pfnHtmlHelp(hOwner, path.c_str(), kHhDisplayTopic, 0) != nullptr;
}

void CHoldApp::TellBlocked(HWND hOwner) {
    MessageBoxA(hOwner, LoadText(IDS_HELP_BLOCKED).c_str(), LoadText(IDS_INFO_CAPTION).c_str(),
                MB_OK | MB_ICONEXCLAMATION);
}
