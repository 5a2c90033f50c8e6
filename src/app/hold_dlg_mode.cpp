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

LRESULT CHoldTrayIcon::OnIconMessage(WPARAM nIconId, LPARAM nEvent) {
    if (IsActivation(nIconId, nEvent) && GetIconData().hWnd != nullptr &&
        m_owner.BringModalWindowForward()) {
        return 1;  // no command starts under a running one
    }
    return CTrayIcon::OnIconMessage(nIconId, nEvent);
}

void CHoldTrayIcon::OnPrepareMenu(HMENU hPopup) {
    // The modem's control panel, or the tool in another user's session, may have changed the
    // value since this tool's own last change: the mark shows what the modem has now.
    const int nMode = m_owner.ReadCurrentMode();
    for (const BehaviourInfo& info : kBehaviours) {
        SetRadioCheck(hPopup, info.nTrayCommand, nMode == static_cast<int>(info.behaviour));
    }
}

void CHoldDlg::OnModeCommand(Behaviour behaviour) {
    if (m_pCallWaiting == nullptr || !m_state.StartApply()) {
        return;  // one change at a time, on one port
    }
    const int nResult = ApplyMode(behaviour);
    if (m_state.FinishApply()) {
        EndProgram();  // asked for during the change
        return;
    }
    if (nResult != kApplyDone) {
        ShowBox(nResult == kApplyRegistryError ? IDS_REGISTRY_ERROR : IDS_PROVIDER_ERROR,
                IDS_INFO_CAPTION, MB_ICONEXCLAMATION);
    }
    if (m_state.Is(CHoldState::kEnding)) {
        return;  // the session ended while the box was up
    }
    RefreshMode();
    ShowBox(IDS_NEXT_CONNECTION, IDS_INFO_TITLE, MB_ICONINFORMATION);
}

int CHoldDlg::ApplyMode(Behaviour behaviour) {
    m_nApplyResult = kApplyDone;
    m_requested = behaviour;
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
    return m_nApplyResult;
}

HWND CHoldDlg::GetPromptOwner() {
    constexpr DWORD kWaitWindowMs = 3000;
    return m_waitDlg.WaitForWindow(kWaitWindowMs);
}

DWORD WINAPI CHoldDlg::ApplyThreadProc(void* pParam) {
    auto* pThis = static_cast<CHoldDlg*>(pParam);
    // "CallOut" as it is now, read here before the value is written.
    const int nCallOut = static_cast<int>(pThis->m_settings.ReadCallOut());
    pThis->m_nApplyResult =
        pThis->m_pCallWaiting->Apply(pThis->m_requested, pThis->m_bSound, nCallOut);
    // Always, whatever happened: the wait dialog ends only at this request.
    pThis->m_waitDlg.RequestClose();
    return 0;
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
