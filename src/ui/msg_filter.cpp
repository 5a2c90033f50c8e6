#include "ui/msg_filter.h"

namespace {
thread_local CDialogMessageFilter* t_pFilter = nullptr;
}

bool CDialogMessageFilter::Install(Handler handler) {
    if (t_pFilter != nullptr || m_hHook != nullptr) {
        return false;
    }
    m_hHook = SetWindowsHookExA(WH_MSGFILTER, FilterProc, nullptr, GetCurrentThreadId());
    if (m_hHook == nullptr) {
        return false;
    }
    m_handler = std::move(handler);
    t_pFilter = this;
    return true;
}

void CDialogMessageFilter::Remove() {
    if (m_hHook != nullptr) {
        UnhookWindowsHookEx(m_hHook);
        m_hHook = nullptr;
        if (t_pFilter == this) {
            t_pFilter = nullptr;
        }
    }
}

LRESULT CALLBACK CDialogMessageFilter::FilterProc(int nCode, WPARAM wParam, LPARAM lParam) {
    CDialogMessageFilter* pFilter = t_pFilter;
    if (nCode == MSGF_DIALOGBOX && pFilter != nullptr && pFilter->m_handler) {
        try {
            if (pFilter->m_handler(*reinterpret_cast<const MSG*>(lParam))) {
                return 1;
            }
        } catch (...) {
            OutputDebugStringA("*** Message filter \n");
        }
    }
    return CallNextHookEx(pFilter != nullptr ? pFilter->m_hHook : nullptr, nCode, wParam, lParam);
}

bool IsEscapeKeyDown(const MSG& msg) {
    return msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE;
}
