// The stand-in main window of mavris-uitest, the time-out that ends a mode and the loop.
#include "ui/dialog.h"
#include "ui/resource.h"

#include "uitest.h"

namespace uitest {

HWND g_hMain = nullptr;
bool g_bTimedOut = false;
CDialog* g_pCurrentDialog = nullptr;
HWND g_hScan = nullptr;

namespace {

constexpr const char kMainClass[] = "MavrisUiTestMain";

LRESULT CALLBACK MainProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    switch (nMsg) {
        case WM_CLOSE:
            // As the main dialog: a close request only hides it.
            g_out.Line("main.close=1");
            return 0;
        case WM_APP_SHUTDOWN:
            g_out.Line("main.shutdown=1");
            g_out.Line("main.shutdown.params=%llu,%lld", static_cast<unsigned long long>(wParam),
                       static_cast<long long>(lParam));
            if (g_hScan != nullptr) {
                // The program ends: the scan window goes, and its object with it.
                DestroyWindow(g_hScan);
                g_hScan = nullptr;
                PostQuitMessage(kExitOk);
            }
            return 0;
        default:
            break;
    }
    LRESULT nResult = 0;
    if (HandleTrayMessage(hWnd, nMsg, wParam, lParam, &nResult)) {
        return nResult;
    }
    return DefWindowProcA(hWnd, nMsg, wParam, lParam);
}

}  // namespace

bool CreateMainWindow() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = MainProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
    wc.lpszClassName = kMainClass;
    if (RegisterClassA(&wc) == 0) {
        return false;
    }
    g_hMain = CreateWindowExA(0, kMainClass, "Mavris UI test", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                              CW_USEDEFAULT, 300, 200, nullptr, nullptr, GetModuleHandleA(nullptr),
                              nullptr);
    return g_hMain != nullptr;
}

void CALLBACK TimeoutProc(HWND, UINT, UINT_PTR nId, DWORD) {
    KillTimer(nullptr, nId);
    g_bTimedOut = true;
    g_out.Line("timeout=1");
    if (g_pCurrentDialog != nullptr && g_pCurrentDialog->GetSafeHwnd() != nullptr) {
        g_pCurrentDialog->EndDialog(IDCANCEL);
    } else if (g_pTray != nullptr) {
        PostMessageA(g_hMain, kEndTray, 0, 0);
    } else {
        if (g_hScan != nullptr) {
            DestroyWindow(g_hScan);
            g_hScan = nullptr;
        }
        PostQuitMessage(kExitCheckFailed);
    }
}

int RunMessageLoop() {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (g_hScan != nullptr && IsDialogMessageA(g_hScan, &msg)) {
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}

}  // namespace uitest
