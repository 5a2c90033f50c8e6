#include "ui/extra_dlg.h"

#include <algorithm>

#include "modem/call_waiting_control.h"
#include "modem/dial_prefix.h"
#include "settings/settings_store.h"
#include "ui/resource.h"
#include "ui/text.h"

std::uint32_t CStoredCallOutSetting::ReadCallOut() {
    return m_store.ReadCallOut();
}

void CStoredCallOutSetting::WriteCallOut(std::uint32_t value) {
    m_store.WriteCallOut(value);
}

CExtraDlg::CExtraDlg(CCallWaitingControl* pCallWaiting, ICallOutSetting* pCallOut, HWND hParent)
    : CDialog(IDD_EXTRA, hParent), m_pCallWaiting(pCallWaiting), m_pCallOut(pCallOut) {}

bool CExtraDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    HWND hOutsideLine = GetDlgItem(IDC_OUTSIDE_LINE);
    // The dial command has room for no longer prefix; the field takes no more, typed or pasted.
    SendMessageA(hOutsideLine, EM_LIMITTEXT, kMaxOutsideLineLength, 0);
    SetDlgItemText(IDC_OUTSIDE_LINE, m_strOutsideLine);

    m_toolTip.Create(m_hWnd);
    SetWindowText(LoadText(IDS_EXTRA_TITLE).c_str());
    SetDlgItemText(IDC_OUTSIDE_LINE_LABEL, LoadText(IDS_EXTERNAL_LINE));

    const std::string prefix =
        m_pCallWaiting != nullptr ? m_pCallWaiting->GetOutsideAccess() : std::string();
    SetDlgItemText(IDC_OUTSIDE_LINE, prefix);
    // The edit reports the change itself; filtering once more here does not depend on that
    // (and a text set by the program is not held to the field's limit).
    FilterOutsideLine();
    m_toolTip.AddControlTip(hOutsideLine, IDS_TIP_OUTSIDE_LINE);

    // What the provider is dialled with for each behaviour, shown only.
    SetDlgItemText(IDC_ACTIVATE_CODE, GetBehaviourInfo(Behaviour::kCutTheLine).szServiceCode);
    m_toolTip.AddControlTip(GetDlgItem(IDC_ACTIVATE_CODE), IDS_TIP_ACTIVATE);
    SetDlgItemText(IDC_ACTIVATE_LABEL, LoadText(IDS_ACTIVATE));
    SetDlgItemText(IDC_DEACTIVATE_CODE, GetBehaviourInfo(Behaviour::kStayConnected).szServiceCode);
    m_toolTip.AddControlTip(GetDlgItem(IDC_DEACTIVATE_CODE), IDS_TIP_DEACTIVATE);
    SetDlgItemText(IDC_DEACTIVATE_LABEL, LoadText(IDS_DEACTIVATE));

    const std::uint32_t nCallOut = m_pCallOut != nullptr ? m_pCallOut->ReadCallOut() : 1;
    CheckDlgButton(m_hWnd, IDC_CALL_OUT, nCallOut == 1 ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemText(IDC_CALL_OUT, LoadText(IDS_CALL_OUT));
    m_toolTip.AddControlTip(GetDlgItem(IDC_CALL_OUT), IDS_TIP_CALL_OUT);
    m_bInitialised = true;
    return true;
}

bool CExtraDlg::OnCommand(WORD nId, WORD nCode, HWND hControl) {
    if (nId == IDC_OUTSIDE_LINE && nCode == EN_CHANGE) {
        // The text the dialog puts in while it opens is the location's, not the user's.
        m_bOutsideLineEdited = m_bOutsideLineEdited || m_bInitialised;
        FilterOutsideLine();
        return true;
    }
    if (nId == IDC_CALL_OUT && nCode == BN_CLICKED) {
        return true;  // the box is read at OK
    }
    return CDialog::OnCommand(nId, nCode, hControl);
}

void CExtraDlg::FilterOutsideLine() {
    HWND hEdit = GetDlgItem(IDC_OUTSIDE_LINE);
    m_strOutsideLine = GetWindowTextString(hEdit);

    // Where the caret goes: after the kept characters that stood before it.
    DWORD nSelStart = 0;
    DWORD nSelEnd = 0;
    SendMessageA(hEdit, EM_GETSEL, reinterpret_cast<WPARAM>(&nSelStart),
                 reinterpret_cast<LPARAM>(&nSelEnd));
    const std::size_t nCaret = std::min<std::size_t>(nSelEnd, m_strOutsideLine.size());
    const std::size_t nKeptBeforeCaret =
        ::FilterOutsideLine(std::string_view(m_strOutsideLine).substr(0, nCaret)).size();

    std::string filtered = ::FilterOutsideLine(m_strOutsideLine);
    if (filtered.size() > kMaxOutsideLineLength) {
        filtered.resize(kMaxOutsideLineLength);
    }
    if (filtered == m_strOutsideLine) {
        return;  // nothing to remove: also ends the notification the replacement raises
    }
    m_strOutsideLine = std::move(filtered);
    ::SetWindowTextA(hEdit, m_strOutsideLine.c_str());
    const WPARAM nNewCaret = std::min(nKeptBeforeCaret, m_strOutsideLine.size());
    SendMessageA(hEdit, EM_SETSEL, nNewCaret, static_cast<LPARAM>(nNewCaret));
}

void CExtraDlg::OnOK() {
    const std::string prefix = GetDlgItemText(IDC_OUTSIDE_LINE);
    // Only a prefix the user typed becomes theirs. One shown from the dialing rules and left
    // alone stays the location's: the next location's prefix applies when the user moves.
    if (m_pCallWaiting != nullptr && m_bOutsideLineEdited) {
        m_pCallWaiting->SetOutsideAccess(prefix);
    }
    if (m_pCallOut != nullptr) {
        m_pCallOut->WriteCallOut(IsDlgButtonChecked(m_hWnd, IDC_CALL_OUT) == BST_CHECKED ? 1 : 0);
    }
    m_strOutsideLine = prefix;
    CDialog::OnOK();
}
