#include "ui/dlg_tooltip.h"

#include <commctrl.h>

#include "ui/text.h"

CDlgToolTip::~CDlgToolTip() {
    // The owner's destruction takes the tip window with it; only a tip window that is still
    // there (owner alive, object going) is destroyed here.
    if (m_hWnd != nullptr && IsWindow(m_hWnd)) {
        DestroyWindow(m_hWnd);
    }
}

bool CDlgToolTip::Create(HWND hOwner) {
    if (m_hWnd != nullptr && IsWindow(m_hWnd)) {
        DestroyWindow(m_hWnd);
    }
    m_hWnd = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, hOwner, nullptr, GetResourceInstance(),
                             nullptr);
    return m_hWnd != nullptr;
}

LRESULT CDlgToolTip::AddControlTip(HWND hControl, UINT nTextId) {
    if (m_hWnd == nullptr || hControl == nullptr) {
        return 0;
    }
    TTTOOLINFOA info{};
    // The first form of the record: every version of the common controls takes it, and it
    // holds all this tip needs.
    info.cbSize = TTTOOLINFOA_V1_SIZE;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = GetParent(hControl);
    info.uId = reinterpret_cast<UINT_PTR>(hControl);
    info.hinst = GetResourceInstance();
    info.lpszText = MAKEINTRESOURCEA(nTextId);
    return SendMessageA(m_hWnd, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info));
}
