// mavris-uitest: opens one window of the tool on its own, with the real resources and the
// Win32 platform, and reports what happens inside as "key=value" lines for the external
// checks. See usage.h for the modes and their lines; uitest.h for how the files divide.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "ui/dialog.h"
#include "ui/msg_filter.h"
#include "uitest.h"
#include "usage.h"

using namespace uitest;

int main(int argc, char** argv) {
    if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsageText, stdout);
        return kExitOk;
    }
    Options options;
    std::string error;
    if (!ParseOptions(argc, argv, &options, &error)) {
        g_out.Line("error=%s", error.c_str());
        std::fputs(kUsageText, stderr);
        return kExitUsage;
    }
    static const char* const kModes[] = {"about", "extra", "scan", "info", "wait", "tray"};
    bool bKnown = false;
    for (const char* pszMode : kModes) {
        bKnown = bKnown || options.mode == pszMode;
    }
    if (!bKnown) {
        g_out.Line("error=unknown mode %s", options.mode.c_str());
        return kExitUsage;
    }

    INITCOMMONCONTROLSEX init{sizeof init,
                              ICC_PROGRESS_CLASS | ICC_BAR_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&init);
    g_out.Line("mode=%s", options.mode.c_str());
    if (!CreateMainWindow()) {
        g_out.Line("error=main window not created");
        return kExitNoWindow;
    }
    g_out.Line("main.hwnd=%s", Hwnd(g_hMain).c_str());
    // As in the tool: dialogs without a parent belong to the main window.
    CDialog::SetDefaultOwner(g_hMain);

    CDialogMessageFilter escapeFilter;
    if (options.bEscapeFilter) {
        escapeFilter.Install([](const MSG& msg) {
            if (IsEscapeKeyDown(msg)) {
                PostMessageA(g_hMain, WM_CLOSE, 0, 0);
                return true;
            }
            return false;
        });
    }
    SetTimer(nullptr, 0, options.nTimeoutMs, TimeoutProc);

    int nExit = kExitOk;
    if (options.mode == "about") {
        nExit = RunAbout(options);
    } else if (options.mode == "extra") {
        nExit = RunExtra(options);
    } else if (options.mode == "scan") {
        nExit = RunScan();
    } else if (options.mode == "info") {
        nExit = RunInfo();
    } else if (options.mode == "wait") {
        nExit = RunWait(options);
    } else if (options.mode == "tray") {
        nExit = RunTray(options);
    }
    DestroyWindow(g_hMain);
    return g_bTimedOut && nExit == kExitOk ? kExitCheckFailed : nExit;
}
