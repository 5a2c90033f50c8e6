#include "ui/dialog.h"

#include "ui/text.h"

namespace {

HWND g_hDefaultOwner = nullptr;
constexpr const char kReflectProp[] = "Mavris.Reflect";
// Posted by a modal dialog to itself: end the run now (wParam: the result).
constexpr UINT kEndModalRun = WM_USER + 0x1BFF;

// A child that asked for reflection answers the reflected message itself; 0 means "not taken".
LRESULT ReflectToChild(HWND hChild, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    if (hChild == nullptr || GetPropA(hChild, kReflectProp) == nullptr) {
        return 0;
    }
    return SendMessageA(hChild, kReflectBase + nMsg, wParam, lParam);
}

}  // namespace

CDialog::CDialog(UINT nIDTemplate, HWND hParent) : m_hParent(hParent), m_nIDTemplate(nIDTemplate) {}

CDialog::~CDialog() {
    // A modeless window must not call into a destroyed object.
    if (m_hWnd != nullptr) {
        SetWindowLongPtrA(m_hWnd, DWLP_USER, 0);
        if (!m_bModal) {
            ::DestroyWindow(m_hWnd);
        }
        m_hWnd = nullptr;
    }
}

void CDialog::SetDefaultOwner(HWND hOwner) {
    g_hDefaultOwner = hOwner;
}

HWND CDialog::GetDefaultOwner() {
    return g_hDefaultOwner;
}

CDialog* CDialog::FromHandle(HWND hWnd) {
    if (hWnd == nullptr ||
        GetWindowLongPtrA(hWnd, DWLP_DLGPROC) != reinterpret_cast<LONG_PTR>(&DialogProc)) {
        return nullptr;
    }
    return reinterpret_cast<CDialog*>(GetWindowLongPtrA(hWnd, DWLP_USER));
}

void CDialog::EnableReflection(HWND hControl, bool bEnable) {
    if (bEnable) {
        SetPropA(hControl, kReflectProp, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(1)));
    } else {
        RemovePropA(hControl, kReflectProp);
    }
}

INT_PTR CDialog::DoModal() {
    HWND hOwner = m_hParent;
    if (hOwner == nullptr && g_hDefaultOwner != nullptr && IsWindow(g_hDefaultOwner) &&
        GetWindowThreadProcessId(g_hDefaultOwner, nullptr) == GetCurrentThreadId()) {
        hOwner = g_hDefaultOwner;
    }
    m_bModal = true;
    const LPARAM lParam = reinterpret_cast<LPARAM>(this);
    const std::vector<DWORD> copy = LayoutWithoutPictureBitmaps(GetTemplate());
    const DLGTEMPLATE* pLayout = LayoutToMake(copy);
    const INT_PTR nResult =
        pLayout != nullptr
            ? DialogBoxIndirectParamA(GetResourceInstance(), pLayout, hOwner, DialogProc, lParam)
            : DialogBoxParamA(GetResourceInstance(), MAKEINTRESOURCEA(m_nIDTemplate), hOwner,
                              DialogProc, lParam);
    m_bModal = false;
    return nResult;
}

bool CDialog::Create(HWND hParent) {
    if (hParent != nullptr) {
        m_hParent = hParent;
    }
    m_bModal = false;
    const LPARAM lParam = reinterpret_cast<LPARAM>(this);
    // The dialog manager reads the layout only while it makes the dialog.
    const std::vector<DWORD> copy = LayoutWithoutPictureBitmaps(GetTemplate());
    const DLGTEMPLATE* pLayout = LayoutToMake(copy);
    HWND hWnd = pLayout != nullptr
                    ? CreateDialogIndirectParamA(GetResourceInstance(), pLayout, m_hParent,
                                                 DialogProc, lParam)
                    : CreateDialogParamA(GetResourceInstance(), MAKEINTRESOURCEA(m_nIDTemplate),
                                         m_hParent, DialogProc, lParam);
    return hWnd != nullptr;
}

const DLGTEMPLATE* CDialog::GetTemplate() const {
    return m_pTemplate != nullptr ? m_pTemplate : FindDialogTemplate(m_nIDTemplate);
}

const DLGTEMPLATE* CDialog::LayoutToMake(const std::vector<DWORD>& copy) const {
    // The copy without the pictures' bitmaps where there is one: the dialog manager would load
    // each bitmap at its full size only for the dialog to draw it anew at its frame's size.
    return !copy.empty() ? reinterpret_cast<const DLGTEMPLATE*>(copy.data()) : m_pTemplate;
}

bool CDialog::DestroyWindow() {
    return m_hWnd != nullptr && ::DestroyWindow(m_hWnd) != FALSE;
}

void CDialog::EndDialog(INT_PTR nResult) {
    if (m_hWnd == nullptr) {
        return;
    }
    if (m_bModal) {
        if (InSendMessage()) {
            // Sent from another thread (a worker's close request), this runs inside the modal
            // loop's look at its queue. Ended here, the loop would take the next posted
            // message (the tray's Exit, say) and drop it, as it dispatches nothing once the
            // run has ended. The window goes now; the run ends when the loop comes to this
            // request, behind whatever was posted before it.
            HandBackToOwner();
            ShowWindow(m_hWnd, SW_HIDE);
            PostMessageA(m_hWnd, kEndModalRun, static_cast<WPARAM>(nResult), 0);
            return;
        }
        ::EndDialog(m_hWnd, nResult);
        // Ended outside the loop's own dispatch (a hook, the set-up), the loop looks at the
        // end flag only once another message comes.
        PostMessageA(m_hWnd, WM_NULL, 0, 0);
    } else {
        ShowWindow(m_hWnd, SW_HIDE);
    }
}

void CDialog::HandBackToOwner() {
    // As Windows' own end of a dialog does: the owner is enabled again before the window goes
    // and takes the activation if the window had it. Hidden while its owner is still
    // disabled, the window would hand the foreground to another program, and the program's
    // next window (a message box owned by the hidden main dialog) could open behind it.
    HWND hOwner = GetWindow(m_hWnd, GW_OWNER);
    if (hOwner == nullptr) {
        return;
    }
    EnableWindow(hOwner, TRUE);
    if (GetActiveWindow() == m_hWnd) {
        SetForegroundWindow(hOwner);
    }
}

std::string CDialog::GetDlgItemText(int nId) const {
    return GetWindowTextString(GetDlgItem(nId));
}

void CDialog::CenterWindow() {
    RECT rcWindow;
    if (m_hWnd == nullptr || !GetWindowRect(m_hWnd, &rcWindow)) {
        return;
    }
    RECT rcArea;
    HWND hOwner = GetWindow(m_hWnd, GW_OWNER);
    if (hOwner == nullptr) {
        hOwner = GetParent(m_hWnd);
    }
    if (hOwner != nullptr && IsWindowVisible(hOwner) && !IsIconic(hOwner)) {
        GetWindowRect(hOwner, &rcArea);
    } else {
        MONITORINFO info{};
        info.cbSize = sizeof info;
        if (GetMonitorInfoA(MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTOPRIMARY), &info)) {
            rcArea = info.rcWork;
        } else {
            SystemParametersInfoA(SPI_GETWORKAREA, 0, &rcArea, 0);
        }
    }
    const int nWidth = rcWindow.right - rcWindow.left;
    const int nHeight = rcWindow.bottom - rcWindow.top;
    const int x = rcArea.left + (rcArea.right - rcArea.left - nWidth) / 2;
    const int y = rcArea.top + (rcArea.bottom - rcArea.top - nHeight) / 2;
    SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CDialog::OnInitDialog() {
    return true;
}

bool CDialog::OnCommand(WORD nId, WORD nCode, HWND /*hControl*/) {
    if (nCode != BN_CLICKED && nCode != 1) {  // 1: from an accelerator
        return false;
    }
    if (nId == IDOK) {
        OnOK();
        return true;
    }
    if (nId == IDCANCEL) {
        OnCancel();
        return true;
    }
    return false;
}

void CDialog::OnOK() {
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::OnClose() {
    OnCancel();
}

void CDialog::OnTimer(UINT_PTR /*nId*/) {}

void CDialog::OnDestroy() {}

void CDialog::PostNcDestroy() {}

bool CDialog::OnMessage(UINT nMsg, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    switch (nMsg) {
        case WM_INITDIALOG:
            m_pictures.Fit(m_hWnd, GetTemplate());
            *pResult = OnInitDialog() ? TRUE : FALSE;
            return true;
        case WM_COMMAND: {
            HWND hControl = reinterpret_cast<HWND>(lParam);
            if (ReflectToChild(hControl, nMsg, wParam, lParam) != 0) {
                *pResult = 0;
                return true;
            }
            if (OnCommand(LOWORD(wParam), HIWORD(wParam), hControl)) {
                *pResult = 0;
                return true;
            }
            return false;
        }
        case WM_CTLCOLORSTATIC: {
            const LRESULT hBrush =
                ReflectToChild(reinterpret_cast<HWND>(lParam), nMsg, wParam, lParam);
            if (hBrush != 0) {
                *pResult = hBrush;
                return true;
            }
            return false;
        }
        case WM_CLOSE:
            OnClose();
            *pResult = 0;
            return true;
        case WM_TIMER:
            OnTimer(static_cast<UINT_PTR>(wParam));
            *pResult = 0;
            return true;
        case WM_DESTROY:
            OnDestroy();
            return false;
        default:
            return false;
    }
}

bool CDialog::ReturnsDirectly(UINT nMsg) {
    switch (nMsg) {
        case WM_INITDIALOG:
        case WM_CHARTOITEM:
        case WM_COMPAREITEM:
        case WM_VKEYTOITEM:
        case WM_QUERYDRAGICON:
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
            return true;
        default:
            return false;
    }
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    CDialog* pDialog;
    if (nMsg == WM_INITDIALOG) {
        pDialog = reinterpret_cast<CDialog*>(lParam);
        SetWindowLongPtrA(hWnd, DWLP_USER, reinterpret_cast<LONG_PTR>(pDialog));
        pDialog->m_hWnd = hWnd;
    } else {
        pDialog = reinterpret_cast<CDialog*>(GetWindowLongPtrA(hWnd, DWLP_USER));
    }
    if (pDialog == nullptr) {
        return FALSE;  // messages before WM_INITDIALOG: the dialog manager's defaults
    }
    if (nMsg == kEndModalRun) {
        ::EndDialog(hWnd, static_cast<INT_PTR>(wParam));
        return TRUE;
    }

    INT_PTR nReturn = FALSE;
    try {
        LRESULT result = 0;
        if (pDialog->OnMessage(nMsg, wParam, lParam, &result)) {
            if (ReturnsDirectly(nMsg)) {
                nReturn = static_cast<INT_PTR>(result);
            } else {
                SetWindowLongPtrA(hWnd, DWLP_MSGRESULT, result);
                nReturn = TRUE;
            }
        }
    } catch (...) {
        OutputDebugStringA("*** Dialog message \n");
        // A dialog that failed to set itself up is not left on the screen half filled.
        if (nMsg == WM_INITDIALOG) {
            if (pDialog->m_bModal) {
                ::EndDialog(hWnd, -1);
            } else {
                ShowWindow(hWnd, SW_HIDE);
            }
        }
        nReturn = FALSE;
    }

    if (nMsg == WM_NCDESTROY) {
        SetWindowLongPtrA(hWnd, DWLP_USER, 0);
        pDialog->m_hWnd = nullptr;
        pDialog->m_pictures.Release();  // the controls that showed them are gone
        try {
            pDialog->PostNcDestroy();  // may delete the object
        } catch (...) {
            OutputDebugStringA("*** Dialog message \n");
        }
    }
    return nReturn;
}
