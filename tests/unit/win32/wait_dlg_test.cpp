// The wait dialog on an in-memory layout with the real control ids: a worker ends it whether
// its request comes before or after the window exists, the bar runs and wraps, and no timer
// outlives the window.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/win32/win32_elevation.h"
#include "ui/msg_filter.h"
#include "ui/resource.h"
#include "ui/wait_dlg.h"
#include "unit/win32/dialog_template.h"

namespace {

constexpr const char kTitle[] = "Mavris wait test";
constexpr INT_PTR kWatchdogResult = 4242;

CWaitDlg* g_pRunning = nullptr;
bool g_bShown = false;

// Ends a run that nobody else ends, so that a fault fails the test instead of hanging it.
void CALLBACK WatchdogProc(HWND, UINT, UINT_PTR, DWORD) {
    if (g_pRunning != nullptr && g_pRunning->GetSafeHwnd() != nullptr) {
        EndDialog(g_pRunning->GetSafeHwnd(), kWatchdogResult);
    }
}

// Notes whether the dialog window was ever shown.
LRESULT CALLBACK ShowHookProc(int nCode, WPARAM wParam, LPARAM lParam) {
    const CWPSTRUCT* pMsg = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (nCode == HC_ACTION && pMsg->message == WM_SHOWWINDOW && pMsg->wParam != FALSE) {
        char szTitle[64] = {};
        GetWindowTextA(pMsg->hwnd, szTitle, sizeof szTitle);
        if (lstrcmpA(szTitle, kTitle) == 0) {
            g_bShown = true;
        }
    }
    return CallNextHookEx(nullptr, nCode, wParam, lParam);
}

// The shell's part of an elevated write: notes the prompt's owner and whether it was up in
// front; the user declines.
char g_szPromptOwner[64];
bool g_bOwnerUpInFront = false;
BOOL DeclinePrompt(SHELLEXECUTEINFOW* pInfo) {
    g_szPromptOwner[0] = '\0';
    GetWindowTextA(pInfo->hwnd, g_szPromptOwner, sizeof g_szPromptOwner);
    g_bOwnerUpInFront = IsWindowVisible(pInfo->hwnd) && GetForegroundWindow() == pInfo->hwnd;
    SetLastError(ERROR_CANCELLED);
    return FALSE;
}

// A window of the dialog's thread that is busy for a while on one message and counts another.
constexpr UINT kBusyMessage = WM_APP + 1;
constexpr UINT kProbeMessage = WM_APP + 2;
std::atomic<int> g_nProbes{0};

LRESULT CALLBACK HelperProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    if (nMsg == kBusyMessage) {
        Sleep(300);
        return 0;
    }
    if (nMsg == kProbeMessage) {
        ++g_nProbes;
        return 0;
    }
    return DefWindowProcA(hWnd, nMsg, wParam, lParam);
}

// The worker's view of the dialog: its window once it is visible.
HWND WaitForVisibleWindow(int nTimeoutMs = 5000) {
    for (int i = 0; i < nTimeoutMs / 5; ++i) {
        HWND hWnd = FindWindowA("#32770", kTitle);
        if (hWnd != nullptr && IsWindowVisible(hWnd)) {
            return hWnd;
        }
        Sleep(5);
    }
    return nullptr;
}

class WaitDlgTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX init{sizeof init, ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&init);
    }

    WaitDlgTest() : m_template(DS_MODALFRAME | WS_POPUP, 0, 0, 222, 47, kTitle) {
        m_template.Add(PROGRESS_CLASSA, IDC_WAIT_PROGRESS, PBS_VERTICAL | WS_BORDER, 10, 10, 10, 29)
            .Add(CDialogTemplate::kStatic, IDC_WAIT_TEXT, SS_LEFT, 25, 30, 160, 8);
        m_dialog.InitIndirect(m_template.Get());
    }

    void SetUp() override {
        g_bShown = false;
        m_hShowHook =
            SetWindowsHookExA(WH_CALLWNDPROC, ShowHookProc, nullptr, GetCurrentThreadId());
    }
    void TearDown() override {
        UnhookWindowsHookEx(m_hShowHook);
        if (m_worker.joinable()) {
            m_worker.join();
        }
    }

    // One modal run with the watchdog armed; the worker has been started by the caller.
    INT_PTR RunModal() {
        g_pRunning = &m_dialog;
        const UINT_PTR nWatchdog = SetTimer(nullptr, 0, 5000, WatchdogProc);
        const INT_PTR nResult = m_dialog.DoModal();
        KillTimer(nullptr, nWatchdog);
        g_pRunning = nullptr;
        if (m_worker.joinable()) {
            m_worker.join();
        }
        return nResult;
    }

    CDialogTemplate m_template;
    CWaitDlg m_dialog;
    std::thread m_worker;
    HHOOK m_hShowHook = nullptr;
};

TEST_F(WaitDlgTest, ACloseRequestBeforeTheWindowExistsEndsTheRunWithoutShowingIt) {
    m_dialog.PrepareRun();
    m_dialog.RequestClose();  // the work ended before the modal run began
    EXPECT_EQ(RunModal(), IDCANCEL);
    EXPECT_FALSE(g_bShown);
    EXPECT_FALSE(m_dialog.IsTimerRunning());
}

TEST_F(WaitDlgTest, AWorkerEndsTheOpenWindowAndWaitsUntilItIsHandled) {
    std::atomic<bool> bFound{false};
    std::atomic<bool> bEndedWhenReturned{false};
    m_dialog.PrepareRun();
    m_worker = std::thread([&] {
        HWND hWnd = WaitForVisibleWindow();
        bFound = hWnd != nullptr;
        m_dialog.RequestClose();
        // The close was handled before RequestClose returned: the window is hidden already.
        bEndedWhenReturned = hWnd != nullptr && !IsWindowVisible(hWnd);
    });
    EXPECT_EQ(RunModal(), IDCANCEL);
    EXPECT_TRUE(bFound);
    EXPECT_TRUE(bEndedWhenReturned);
    EXPECT_TRUE(g_bShown);
    EXPECT_FALSE(m_dialog.IsTimerRunning());
}

// A run owned by a hidden window, as the main dialog mostly is: an elevated write's consent
// prompt, asked for before the wait dialog exists, belongs to it; the worker's end leaves the
// owner enabled and active, as Windows' own end of a dialog does, so that the program keeps the
// foreground for its next box.
TEST_F(WaitDlgTest, ThePromptAndTheActivationStayWithTheProgram) {
    HWND hOwner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  nullptr, nullptr);
    CDialog::SetDefaultOwner(hOwner);
    CWin32Elevation elevation("C:\\Mavris.exe", &DeclinePrompt);
    elevation.SetOwnerSource([this] { return m_dialog.WaitForWindow(5000); });
    IElevation::Result result = IElevation::Result::kDone;
    m_dialog.PrepareRun();
    m_worker = std::thread([&] {
        result = elevation.RunOwnProgram("--write-userinit 1 1");
        WaitForVisibleWindow();
        m_dialog.RequestClose();
    });
    EXPECT_EQ(RunModal(), IDCANCEL);
    CDialog::SetDefaultOwner(nullptr);
    EXPECT_EQ(result, IElevation::Result::kDeclined);
    EXPECT_STREQ(g_szPromptOwner, kTitle);
    EXPECT_TRUE(g_bOwnerUpInFront) << "the prompt's owner was not shown in front yet";
    EXPECT_EQ(GetActiveWindow(), hOwner);
    DestroyWindow(hOwner);
}

TEST_F(WaitDlgTest, CloseRequestsRacingTheWindowAlwaysEndTheRun) {
    const int kDelaysUs[] = {0, 50, 200, 1000, 3000, 10000};
    for (int nRun = 0; nRun < 36; ++nRun) {
        const int nDelayUs = kDelaysUs[nRun % 6];
        m_dialog.PrepareRun();
        m_worker = std::thread([this, nDelayUs] {
            if (nDelayUs > 0) {
                std::this_thread::sleep_for(std::chrono::microseconds(nDelayUs));
            }
            m_dialog.RequestClose();
        });
        ASSERT_EQ(RunModal(), IDCANCEL)
            << "run " << nRun << ", request after " << nDelayUs << " us";
        ASSERT_FALSE(m_dialog.IsTimerRunning());
    }
}

TEST_F(WaitDlgTest, TheBarStartsEmptyStepsByOneAndStartsAgainAfterNine) {
    std::vector<int> positions;
    PBRANGE range{-1, -1};
    std::atomic<bool> bFound{false};
    auto stepThrough = [&] {
        HWND hWnd = WaitForVisibleWindow();
        bFound = hWnd != nullptr;
        if (hWnd != nullptr) {
            HWND hBar = GetDlgItem(hWnd, IDC_WAIT_PROGRESS);
            SendMessageA(hBar, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
            positions.push_back(static_cast<int>(SendMessageA(hBar, PBM_GETPOS, 0, 0)));
            for (int i = 0; i < 10; ++i) {
                SendMessageA(hWnd, WM_TIMER, 1, 0);  // a tick of the progress timer
                positions.push_back(static_cast<int>(SendMessageA(hBar, PBM_GETPOS, 0, 0)));
            }
        }
        m_dialog.RequestClose();
    };

    m_dialog.PrepareRun();
    m_worker = std::thread(stepThrough);
    ASSERT_EQ(RunModal(), IDCANCEL);
    ASSERT_TRUE(bFound);
    EXPECT_EQ(range.iLow, 0);
    EXPECT_EQ(range.iHigh, 9);
    ASSERT_EQ(positions.size(), 11u);
    EXPECT_EQ(std::vector<int>(positions.begin(), positions.begin() + 10),
              (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_LE(positions[10], 1) << "the tenth step starts the bar again";

    // The next run starts from the empty bar again.
    positions.clear();
    m_dialog.PrepareRun();
    m_worker = std::thread(stepThrough);
    ASSERT_EQ(RunModal(), IDCANCEL);
    ASSERT_FALSE(positions.empty());
    EXPECT_EQ(positions[0], 0);
    EXPECT_EQ(positions[1], 1);
}

TEST_F(WaitDlgTest, ARunAfterOneThatWasEndedEarlyWaitsForItsOwnRequest) {
    m_dialog.PrepareRun();
    m_dialog.RequestClose();
    ASSERT_EQ(RunModal(), IDCANCEL);

    std::atomic<bool> bFound{false};
    m_dialog.PrepareRun();
    m_worker = std::thread([&] {
        bFound = WaitForVisibleWindow() != nullptr;
        m_dialog.RequestClose();
    });
    EXPECT_EQ(RunModal(), IDCANCEL);
    EXPECT_TRUE(bFound) << "the second run ended before its work did";
}

// A message posted just before the worker's request (the tray's Exit, say) is still handled:
// the request is handled first when the thread next looks at its queue, and a run ended right
// there makes the dialog manager's loop take that message and drop it.
TEST_F(WaitDlgTest, AMessagePostedJustBeforeTheRequestIsNotLost) {
    HWND hHelper =
        CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(hHelper, nullptr);
    SetWindowLongPtrA(hHelper, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HelperProc));
    g_nProbes = 0;
    m_dialog.PrepareRun();
    m_worker = std::thread([&] {
        WaitForVisibleWindow();
        PostMessageA(hHelper, kBusyMessage, 0, 0);
        Sleep(100);  // the dialog's thread is in the busy handler now
        PostMessageA(hHelper, kProbeMessage, 0, 0);
        m_dialog.RequestClose();
    });
    EXPECT_EQ(RunModal(), IDCANCEL);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageA(&msg);  // whatever the run left queued
    }
    EXPECT_EQ(g_nProbes, 1);
    DestroyWindow(hHelper);
}

// Escape, posted as the key press a user makes: without the application's filter the dialog
// manager cancels the dialog; with it the dialog stays and the main window is asked to close.
TEST_F(WaitDlgTest, EscapeDoesNotEndTheDialogUnderTheApplicationsFilter) {
    std::atomic<int> nMainCloseRequests{0};
    CDialogMessageFilter filter;
    ASSERT_TRUE(filter.Install([&](const MSG& msg) {
        if (IsEscapeKeyDown(msg)) {
            ++nMainCloseRequests;  // the application posts WM_CLOSE to its main window here
            return true;
        }
        return false;
    }));

    std::atomic<bool> bStillOpen{false};
    m_dialog.PrepareRun();
    m_worker = std::thread([&] {
        HWND hWnd = WaitForVisibleWindow();
        if (hWnd != nullptr) {
            PostMessageA(hWnd, WM_KEYDOWN, VK_ESCAPE, 0);
            for (int i = 0; i < 200 && nMainCloseRequests == 0; ++i) {
                Sleep(5);
            }
            bStillOpen = IsWindowVisible(hWnd) != FALSE;
        }
        m_dialog.RequestClose();
    });
    EXPECT_EQ(RunModal(), IDCANCEL);
    EXPECT_EQ(nMainCloseRequests, 1);
    EXPECT_TRUE(bStillOpen);
}

// Escape without the application's filter, Alt+F4 and a WM_CLOSE of somebody else: the
// worker is still busy, so the run goes on until its own request comes.
TEST_F(WaitDlgTest, NothingButTheWorkersRequestEndsTheRun) {
    std::atomic<bool> bStillOpen{false};
    m_dialog.PrepareRun();
    m_worker = std::thread([&] {
        HWND hWnd = WaitForVisibleWindow();
        if (hWnd != nullptr) {
            PostMessageA(hWnd, WM_KEYDOWN, VK_ESCAPE, 0);
            PostMessageA(hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
            SendMessageA(hWnd, WM_CLOSE, 0, 0);
            Sleep(300);
            bStillOpen = IsWindow(hWnd) && IsWindowVisible(hWnd);
        }
        m_dialog.RequestClose();
    });
    EXPECT_EQ(RunModal(), IDCANCEL);
    EXPECT_TRUE(bStillOpen);
    EXPECT_FALSE(m_dialog.IsTimerRunning());
}

}  // namespace
