#include "app/subclass_wnd.h"

#include <utility>
#include <vector>

// One map for the whole process from a watched window to its newest watcher. A window is in
// the map exactly while at least one watcher is hooked to it; its procedure is then
// RoutingWindowProc, or a procedure subclassed on top later (SetWindowSubclass of the tool
// tips and the link control) that passes messages on to it. The chain of a window runs from
// its entry along m_pNextHook. All of it is used by the thread that owns the watched windows
// only, so it takes no lock.
//
// When the last watcher leaves a window that was subclassed after it, the window's own
// procedure cannot be put back without cutting the later subclass off (and when that one
// removed itself, it would put RoutingWindowProc back with nobody left to pass messages on).
// The routing procedure then stays in the chain and passes everything to the window's own
// procedure, which it keeps in a second map until it is the window's procedure again.
// The few windows of the program, each with its value; looked up by a walk, which for a
// handful of entries is as fast as hashing and costs the program much less code.
template <typename Value>
class CWindowMap {
public:
    using Entry = std::pair<HWND, Value>;
    Entry* Find(HWND hWnd) {
        for (Entry& entry : m_entries) {
            if (entry.first == hWnd) {
                return &entry;
            }
        }
        return nullptr;
    }
    Value& operator[](HWND hWnd) {
        if (Entry* pEntry = Find(hWnd)) {
            return pEntry->second;
        }
        return m_entries.emplace_back(hWnd, Value{}).second;
    }
    void Erase(HWND hWnd) {
        if (Entry* pEntry = Find(hWnd)) {
            *pEntry = m_entries.back();
            m_entries.pop_back();
        }
    }

private:
    std::vector<Entry> m_entries;
};

class CHookRegistry {
public:
    static CHookRegistry& Get() {
        // Never destroyed: watchers with static storage may still unhook while the process
        // ends, after function-local statics would already be gone.
        static CHookRegistry* const s_pRegistry = new CHookRegistry;
        return *s_pRegistry;
    }

    CSubclassWnd* Lookup(HWND hWnd) {
        const auto* pEntry = m_map.Find(hWnd);
        return pEntry != nullptr ? pEntry->second : nullptr;
    }

    void Insert(HWND hWnd, CSubclassWnd* pWatcher) {
        CSubclassWnd*& pFirst = m_map[hWnd];
        pWatcher->m_pNextHook = pFirst;
        pFirst = pWatcher;
        if (pWatcher->m_pNextHook != nullptr) {
            pWatcher->m_pfnPrevProc = pWatcher->m_pNextHook->m_pfnPrevProc;
        } else if (const auto* pEntry = m_passThrough.Find(hWnd)) {
            // The routing procedure is still in the window's chain.
            pWatcher->m_pfnPrevProc = pEntry->second;
            m_passThrough.Erase(hWnd);
        } else {
            pWatcher->m_pfnPrevProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
                hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CSubclassWnd::RoutingWindowProc)));
        }
    }

    void Erase(CSubclassWnd* pWatcher) {
        HWND hWnd = pWatcher->m_hTarget;
        auto* pEntry = m_map.Find(hWnd);
        if (pEntry == nullptr) {
            return;
        }
        CSubclassWnd* pFirst = pEntry->second;
        if (pFirst == pWatcher) {
            if (pWatcher->m_pNextHook != nullptr) {
                pEntry->second = pWatcher->m_pNextHook;
            } else {
                m_map.Erase(hWnd);
                if (IsRoutingCurrent(hWnd)) {
                    SetWindowLongPtrA(hWnd, GWLP_WNDPROC,
                                      reinterpret_cast<LONG_PTR>(pWatcher->m_pfnPrevProc));
                } else if (IsWindow(hWnd)) {
                    m_passThrough[hWnd] = pWatcher->m_pfnPrevProc;
                }
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

    // The window goes: no watcher and no pass-through entry outlives it.
    void EraseAll(HWND hWnd) {
        while (CSubclassWnd* pWatcher = Lookup(hWnd)) {
            pWatcher->HookTo(nullptr);
        }
        m_passThrough.Erase(hWnd);
    }

    // A message for a window that nobody watches: to its own procedure when the routing
    // procedure stayed in its chain, which is put back as soon as nothing lies on top of it.
    LRESULT PassThrough(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
        const auto* pEntry = m_passThrough.Find(hWnd);
        if (pEntry == nullptr) {
            return DefWindowProcA(hWnd, nMsg, wParam, lParam);
        }
        const WNDPROC pfnOwnProc = pEntry->second;
        if (nMsg == WM_NCDESTROY) {
            m_passThrough.Erase(hWnd);
        } else if (IsRoutingCurrent(hWnd)) {
            SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(pfnOwnProc));
            m_passThrough.Erase(hWnd);
        }
        return CallWindowProcA(pfnOwnProc, hWnd, nMsg, wParam, lParam);
    }

private:
    CHookRegistry() = default;

    static bool IsRoutingCurrent(HWND hWnd) {
        return reinterpret_cast<WNDPROC>(GetWindowLongPtrA(hWnd, GWLP_WNDPROC)) ==
               &CSubclassWnd::RoutingWindowProc;
    }

    CWindowMap<CSubclassWnd*> m_map;
    // Windows without watchers whose chain still holds the routing procedure: their own one.
    CWindowMap<WNDPROC> m_passThrough;
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
        return registry.PassThrough(hWnd, nMsg, wParam, lParam);
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
