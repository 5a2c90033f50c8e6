// CWaitDlg: the small modal window with a running progress bar that is shown while a worker
// thread talks to the modem. It does not know what it waits for; the worker ends it.
#pragma once

#include <windows.h>

#include <mutex>  // std::lock_guard

#include "ui/dialog.h"
#include "platform/win32/win_handles.h"

class CWaitDlg : public CDialog {
public:
    CWaitDlg();

    // Call before the worker thread starts: forgets a close request of an earlier run.
    void PrepareRun();
    // Any thread: ends the current or the next modal run; nothing else does (no key, no
    // close box, no WM_CLOSE of anybody else). When the window exists it gets
    // WM_CLOSE and the call returns once that is handled; when the worker is faster than the
    // window, the request is kept and the window ends itself as soon as it is created.
    void RequestClose();

    // Any thread: the window of the current run, waiting up to nTimeoutMs for it to be up in
    // front (the worker starts before the window exists); null when it did not come.
    HWND WaitForWindow(DWORD nTimeoutMs);

    bool IsTimerRunning() const { return m_timer.IsRunning(); }

protected:
    bool OnInitDialog() override;
    void OnTimer(UINT_PTR nId) override;
    // Both end the run only once the worker has asked for it.
    void OnClose() override;
    void OnCancel() override;
    void OnDestroy() override;

private:
    HWND m_hProgress = nullptr;  // control 1041
    CWindowTimer m_timer;        // id 1, every 500 ms

    CCriticalSection m_lock;
    // Manual reset: set once the current run's window is shown in front. An event, not a
    // condition variable, whose timed wait would pull in clock functions Vista's runtime lacks.
    CKernelHandle m_hWindowOpened;
    bool m_bCloseRequested = false;  // guarded by m_lock
    HWND m_hWndOpen = nullptr;       // guarded by m_lock: the window while it takes requests
};
