// CHoldDlg: a change of behaviour chosen in the tray menu, carried out by a worker thread
// while the wait dialog runs, and the tray icon that starts it.
#include "app/hold_dlg.h"
#include "ui/resource.h"
#include "ui/text.h"

namespace {

// Gives a menu item the round check mark of a choice among several and sets or clears it.
void SetRadioCheck(HMENU hMenu, UINT nId, bool bChecked) {
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STATE;
    if (!GetMenuItemInfoA(hMenu, nId, FALSE, &info)) {
        return;
    }
    info.fType |= MFT_RADIOCHECK;
    info.fState = (info.fState & ~static_cast<UINT>(MFS_CHECKED)) | (bChecked ? MFS_CHECKED : 0);
    SetMenuItemInfoA(hMenu, nId, FALSE, &info);
}

}  // namespace

CHoldTrayIcon::CHoldTrayIcon(CHoldDlg& owner) : CTrayIcon(IDR_TRAY), m_owner(owner) {}

LRESULT CHoldTrayIcon::OnIconMessage(WPARAM nIconId, LPARAM nMouseMessage) {
    const bool bClick = nMouseMessage == WM_RBUTTONUP || nMouseMessage == WM_LBUTTONDBLCLK;
    if (bClick && nIconId == GetIconData().uID && GetIconData().hWnd != nullptr &&
        m_owner.BringModalWindowForward()) {
        return 1;  // no command starts under a running one
    }
    return CTrayIcon::OnIconMessage(nIconId, nMouseMessage);
}

void CHoldTrayIcon::OnPrepareMenu(HMENU hPopup) {
    const int nMode = m_owner.GetCurrentMode();
    SetRadioCheck(hPopup, ID_TRAY_STAY_CONNECTED, nMode == 2);
    SetRadioCheck(hPopup, ID_TRAY_CUT_THE_LINE, nMode == 1);
}

void CHoldDlg::OnModeCommand(int nMode) {
    if (m_bApplying || m_pCallWaiting == nullptr) {
        return;  // one change at a time, on one port
    }
    ApplyMode(nMode);
    if (m_bEndAfterApply || m_bEnding) {
        m_bEndAfterApply = false;
        EndProgram();
        return;
    }
    RefreshMode();
    ShowBox(IDS_NEXT_CONNECTION, IDS_INFO_TITLE, MB_ICONINFORMATION);
}

bool CHoldDlg::ApplyMode(int nMode) {
    m_nApplyResult = kApplyDone;
    m_nRequestedMode = nMode;
    m_bApplying = true;
    m_waitDlg.PrepareRun();
    m_hApplyThread.Reset(CreateThread(nullptr, 0, &CHoldDlg::ApplyThreadProc, this, 0, nullptr));
    if (m_hApplyThread) {
        m_waitDlg.DoModal();
        // The worker's last act was ending the wait dialog; it may still be returning.
        WaitHandlingSentMessages(m_hApplyThread.Get());
    } else {
        m_nApplyResult = kApplyRegistryError;  // nothing was written
    }
    m_hApplyThread.Reset();
    m_bApplying = false;
    if (m_bEndAfterApply || m_bEnding) {
        return m_nApplyResult == kApplyDone;
    }
    if (m_nApplyResult != kApplyDone) {
        ShowBox(m_nApplyResult == kApplyRegistryError ? IDS_REGISTRY_ERROR : IDS_PROVIDER_ERROR,
                IDS_INFO_CAPTION, MB_ICONEXCLAMATION);
        return false;
    }
    return true;
}

HWND CHoldDlg::GetPromptOwner() {
    constexpr DWORD kWaitWindowMs = 3000;
    return m_waitDlg.WaitForWindow(kWaitWindowMs);
}

DWORD WINAPI CHoldDlg::ApplyThreadProc(void* pParam) {
    auto* pThis = static_cast<CHoldDlg*>(pParam);
    pThis->m_nApplyResult = pThis->RunApply();
    // Always, whatever happened: the wait dialog ends only at this request.
    pThis->m_waitDlg.RequestClose();
    return 0;
}

int CHoldDlg::RunApply() {
    // The two steps of Apply, each with its own outcome should it throw: the user is told
    // whether the value was written (147 when not) or only the provider call failed (148).
    int nResult = kApplyRegistryError;
    try {
        const std::uint32_t nCallOut = m_settings.ReadCallOut();
        nResult = m_pCallWaiting->WriteUserInit(m_nRequestedMode);
        if (nResult != kApplyDone || nCallOut != 1) {
            return nResult;
        }
    } catch (...) {
        OutputDebugStringA("*** Apply \n");
        return kApplyRegistryError;
    }
    try {
        return m_pCallWaiting->DialServiceCode(m_nRequestedMode, m_bSound);
    } catch (...) {
        OutputDebugStringA("*** Apply \n");
        return kApplyProviderError;
    }
}

void CHoldDlg::RefreshMode() {
    m_nCurrentMode = m_pCallWaiting != nullptr ? m_pCallWaiting->GetMode() : -1;
}

int CHoldDlg::ShowBox(UINT nTextId, UINT nCaptionId, UINT nIcon) {
    return ShowBox(LoadText(nTextId), nCaptionId, nIcon);
}

int CHoldDlg::ShowBox(const std::string& text, UINT nCaptionId, UINT nIcon) {
    // Owned by a hidden window, the box has no taskbar button of its own: it must come to the
    // front, or the user would not find it (after a tray command, during the scan).
    const UINT nFront = IsWindowVisible(m_hWnd) ? 0 : MB_SETFOREGROUND;
    return MessageBoxA(m_hWnd, text.c_str(), LoadText(nCaptionId).c_str(), MB_OK | nIcon | nFront);
}
