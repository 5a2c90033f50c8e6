// CSubclassWnd: lets any number of objects watch the messages of a window whose procedure
// belongs to other code. The first watcher of a window replaces its procedure with one shared
// routing procedure; every watcher of that window then sees each message, newest first, and
// passes it on to the next older one and finally to the window's own procedure.
#pragma once

#include <windows.h>

#include "ui/object.h"

class CSubclassWnd : public CObject {
    DECLARE_RUNTIME_CLASS(CSubclassWnd, CObject)

public:
    CSubclassWnd() = default;
    // A watcher that goes away stops watching first.
    ~CSubclassWnd() override;
    CSubclassWnd(const CSubclassWnd&) = delete;
    CSubclassWnd& operator=(const CSubclassWnd&) = delete;

    // A window makes this object the newest watcher of that window (leaving the window it
    // watched before, if any); null stops watching. Always true.
    bool HookTo(HWND hWnd);
    // Hands the message to the next older watcher of the window, or to the window's own
    // procedure when there is none.
    LRESULT PassOn(UINT nMsg, WPARAM wParam, LPARAM lParam);
    // Sees every message of the watched window; the base only passes it on.
    virtual LRESULT HandleMessage(UINT nMsg, WPARAM wParam, LPARAM lParam);

    HWND GetTarget() const { return m_hTarget; }
    bool IsHooked() const { return m_hTarget != nullptr; }

    // The newest watcher of a window, or null when nobody watches it.
    static CSubclassWnd* FindNewestWatcher(HWND hWnd);
    // The procedure installed on every watched window.
    static LRESULT CALLBACK RoutingWindowProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam);

protected:
    HWND m_hTarget = nullptr;             // the watched window; null while not hooked
    WNDPROC m_pfnPrevProc = nullptr;      // the window's procedure before its first watcher came
    CSubclassWnd* m_pNextHook = nullptr;  // the watcher installed before this one, or null

private:
    friend class CHookRegistry;
};
