// CHoldApp: starts the program once per session, prepares the common controls, runs the main
// dialog for the whole life of the program, turns Escape in the program's dialogs into hiding
// the main dialog, and opens the help file.
#pragma once

#include <windows.h>

#include <string>

#include "app/help_file.h"
#include "app/hold_dlg.h"
#include "app/single_instance.h"
#include "ui/msg_filter.h"

class CHoldApp : public IHelpRequests, private IHelpViewer {
public:
    CHoldApp() = default;
    ~CHoldApp() override;
    CHoldApp(const CHoldApp&) = delete;
    CHoldApp& operator=(const CHoldApp&) = delete;

    // Runs the program; returns when it ends (false: no further message loop is wanted).
    bool InitInstance();
    // The Escape rule for every message the dialog loops of this thread handle: a key-down of
    // Escape in one of the program's dialogs asks the main dialog to close (which hides it)
    // and never reaches the dialog. Message boxes keep their own Escape. True when consumed.
    bool PreTranslateMessage(const MSG& msg);
    // Opens the help file's default topic: "help\Mavris.chm" beside the program, wherever the
    // working directory is (autorun at log-on starts the program in another one), once its
    // mark of the web is gone. Both arguments are ignored.
    void WinHelp(DWORD dwData, UINT nCmd) override;

private:
    using HtmlHelpProc = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);

    bool ShowHelp(HWND hOwner, const std::wstring& path) override;
    void TellBlocked(HWND hOwner) override;

    HANDLE m_hMutex = nullptr;        // kept open until the process ends
    HANDLE m_hGlobalMutex = nullptr;  // likewise
    CDialogMessageFilter m_filter;
    HtmlHelpProc m_pfnHtmlHelp = nullptr;  // its library stays loaded with the program
    bool m_bHtmlHelpLooked = false;
};
