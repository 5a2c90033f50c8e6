// wait: the progress dialog closed by a worker thread, early or late.
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <thread>

#include "ui/resource.h"
#include "ui/wait_dlg.h"

#include "uitest.h"

namespace uitest {

namespace {

class CProbeWaitDlg : public CWaitDlg {
public:
    std::atomic<HWND> m_hOpen{nullptr};
    bool m_bTimerLeft = false;

protected:
    bool OnInitDialog() override {
        const bool bResult = CWaitDlg::OnInitDialog();
        // A run whose work had already ended was closed during the initialisation: its timer
        // is stopped and its window never shows.
        if (IsTimerRunning()) {
            m_hOpen = m_hWnd;
        }
        return bResult;
    }
    void OnDestroy() override {
        // Whether the close left the progress timer running: KillTimer finds it or not.
        m_bTimerLeft = KillTimer(m_hWnd, 1) != FALSE;
        m_hOpen = nullptr;
        CWaitDlg::OnDestroy();
    }
};

}  // namespace

int RunWait(const Options& options) {
    CProbeWaitDlg dialog;
    for (int nRun = 1; nRun <= options.nRepeat && !g_bTimedOut; ++nRun) {
        g_out.Line("run=%d", nRun);
        const DWORD nStart = GetTickCount();
        dialog.PrepareRun();
        dialog.m_bTimerLeft = false;

        std::thread worker;
        if (options.nCloseAfterMs == 0) {
            // The work ends before the window exists.
            worker = std::thread([&] { dialog.RequestClose(); });
            worker.join();
        } else {
            worker = std::thread([&, nDelay = options.nCloseAfterMs] {
                Sleep(nDelay);
                dialog.RequestClose();
            });
        }

        std::atomic<bool> bStop{false};
        std::thread poller([&] {
            HWND hShown = nullptr;
            int nLast = -1;
            while (!bStop) {
                HWND hWnd = dialog.m_hOpen;
                if (hWnd != nullptr) {
                    if (hWnd != hShown) {
                        hShown = hWnd;
                        g_out.Line("wait.hwnd=%s", Hwnd(hWnd).c_str());
                    }
                    DWORD_PTR nPos = 0;
                    if (SendMessageTimeoutA(GetDlgItem(hWnd, IDC_WAIT_PROGRESS), PBM_GETPOS, 0, 0,
                                            SMTO_ABORTIFHUNG, 200, &nPos) != 0 &&
                        static_cast<int>(nPos) != nLast) {
                        nLast = static_cast<int>(nPos);
                        g_out.Line("wait.pos=%d t=%lu", nLast, GetTickCount() - nStart);
                    }
                }
                Sleep(25);
            }
        });

        g_pCurrentDialog = &dialog;
        const INT_PTR nResult = dialog.DoModal();
        g_pCurrentDialog = nullptr;
        const DWORD nElapsed = GetTickCount() - nStart;
        bStop = true;
        poller.join();
        if (worker.joinable()) {
            worker.join();
        }
        if (nResult == -1) {
            g_out.Line("error=wait dialog not created");
            return kExitNoWindow;
        }
        g_out.Line("wait.ended=1 elapsed=%lu", nElapsed);
        g_out.Line("wait.timer_left=%d", dialog.m_bTimerLeft || dialog.IsTimerRunning() ? 1 : 0);
    }
    return g_bTimedOut ? kExitCheckFailed : kExitOk;
}

}  // namespace uitest
