#include "app/subclass_wnd.h"

#include <unordered_map>

// One map for the whole process from a watched window to its newest watcher. A window is in
// the map exactly while at least one watcher is hooked to it, and exactly then its procedure
// is RoutingWindowProc. The chain of a window runs from its entry along m_pNextHook. All of it
// is used by the thread that owns the watched windows only, so it takes no lock.
class CHookRegistry {
public:
    static CHookRegistry& Get() {
        // Never destroyed: watchers with static storage may still unhook while the process
        // ends, after function-local statics would already be gone.
        static CHookRegistry* const s_pRegistry = new CHookRegistry;
        return *s_pRegistry;
    }

    CSubclassWnd* Lookup(HWND hWnd) const {
        const auto it = m_map.find(hWnd);
        return it != m_map.end() ? it->second : nullptr;
    }

    void Insert(HWND hWnd, CSubclassWnd* pWatcher) {
        CSubclassWnd*& pFirst = m_map[hWnd];
        pWatcher->m_pNextHook = pFirst;
        pFirst = pWatcher;
        if (pWatcher->m_pNextHook != nullptr) {
            pWatcher->m_pfnPrevProc = pWatcher->m_pNextHook->m_pfnPrevProc;
        } else {
            pWatcher->m_pfnPrevProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
                hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CSubclassWnd::RoutingWindowProc)));
        }
    }

    void Erase(CSubclassWnd* pWatcher) {
        HWND hWnd = pWatcher->m_hTarget;
        const auto it = m_map.find(hWnd);
        if (it == m_map.end()) {
            return;
        }
        CSubclassWnd* pFirst = it->second;
        if (pFirst == pWatcher) {
            if (pWatcher->m_pNextHook != nullptr) {
                it->second = pWatcher->m_pNextHook;
            } else {
                m_map.erase(it);
                SetWindowLongPtrA(hWnd, GWLP_WNDPROC,
                                  reinterpret_cast<LONG_PTR>(pWatcher->m_pfnPrevProc));
            }
        } else {
            for (CSubclassWnd* p = pFirst; p != nullptr; p = p->m_pNextHook) {
                if (p->m_pNextHook == pWatcher) {
                    p->m_pNextHook = pWatcher->m_pNextHook;
                    break;
                }
            }
        }
        pWatcher->m_pNextHook = nullptr;
    }

    void EraseAll(HWND hWnd) {
        while (CSubclassWnd* pWatcher = Lookup(hWnd)) {
            pWatcher->HookTo(nullptr);
        }
    }

private:
    CHookRegistry() { m_map.reserve(10); }

    std::unordered_map<HWND, CSubclassWnd*> m_map;
};

CSubclassWnd::~CSubclassWnd() {
    if (m_hTarget != nullptr) {
        HookTo(nullptr);
    }
}

bool CSubclassWnd::HookTo(HWND hWnd) {
    CHookRegistry& registry = CHookRegistry::Get();
    if (m_hTarget != nullptr) {
        // Leave the current window first: a watcher in two chains, or twice in one, would tie
        // the chains together or into a loop.
        registry.Erase(this);
        m_pfnPrevProc = nullptr;
        m_hTarget = nullptr;
    }
    if (hWnd != nullptr) {
        registry.Insert(hWnd, this);
        m_hTarget = hWnd;
    }
    return true;
}

LRESULT CSubclassWnd::PassOn(UINT nMsg, WPARAM wParam, LPARAM lParam) {
    if (m_pNextHook != nullptr) {
        return m_pNextHook->HandleMessage(nMsg, wParam, lParam);
    }
    return CallWindowProcA(m_pfnPrevProc, m_hTarget, nMsg, wParam, lParam);
}

LRESULT CSubclassWnd::HandleMessage(UINT nMsg, WPARAM wParam, LPARAM lParam) {
    return PassOn(nMsg, wParam, lParam);
}

CSubclassWnd* CSubclassWnd::FindNewestWatcher(HWND hWnd) {
    return CHookRegistry::Get().Lookup(hWnd);
}

LRESULT CALLBACK CSubclassWnd::RoutingWindowProc(HWND hWnd, UINT nMsg, WPARAM wParam,
                                                 LPARAM lParam) {
    CHookRegistry& registry = CHookRegistry::Get();
    CSubclassWnd* pWatcher = registry.Lookup(hWnd);
    if (pWatcher == nullptr) {
        return DefWindowProcA(hWnd, nMsg, wParam, lParam);
    }
    if (nMsg == WM_NCDESTROY) {
        // The window goes: every watcher lets go of it, and its own procedure sees the last
        // message as if nobody had ever watched.
        WNDPROC pfnOwnProc = pWatcher->m_pfnPrevProc;
        registry.EraseAll(hWnd);
        return CallWindowProcA(pfnOwnProc, hWnd, nMsg, wParam, lParam);
    }
    try {
        return pWatcher->HandleMessage(nMsg, wParam, lParam);
    } catch (...) {
        // Windows cannot unwind through its own frames.
        OutputDebugStringA("*** Window hook \n");
        return 0;
    }
}
