// CDialogMessageFilter: a look at every message that the dialog manager's loops of this thread
// are about to handle (the modal loop of every dialog, and IsDialogMessage for modeless ones),
// before any dialog sees it. Without a framework loop of our own this is the one place where
// an application can take a key away from all its dialogs, as the Escape rule does.
#pragma once

#include <windows.h>

#include <functional>

class CDialogMessageFilter {
public:
    // Returns true when the message is consumed: the dialog loop then drops it.
    using Handler = std::function<bool(const MSG&)>;

    CDialogMessageFilter() = default;
    ~CDialogMessageFilter() { Remove(); }
    CDialogMessageFilter(const CDialogMessageFilter&) = delete;
    CDialogMessageFilter& operator=(const CDialogMessageFilter&) = delete;

    // Installs the filter for the calling thread; one filter per thread. False when the hook
    // could not be set or the thread already has a filter.
    bool Install(Handler handler);
    void Remove();
    bool IsInstalled() const { return m_hHook != nullptr; }

private:
    static LRESULT CALLBACK FilterProc(int nCode, WPARAM wParam, LPARAM lParam);

    HHOOK m_hHook = nullptr;
    Handler m_handler;
};

// The message of the application's Escape rule: a key-down of Escape, which the application
// takes away from every dialog and turns into a close request to its main window.
bool IsEscapeKeyDown(const MSG& msg);
