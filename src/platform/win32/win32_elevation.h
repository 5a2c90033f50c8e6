// CWin32Elevation: the one write below HKEY_LOCAL_MACHINE done by the tool's own executable,
// started with administrator rights through the consent prompt of Windows.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>

#include "platform/services.h"
#include "platform/win32/win_handles.h"

class CWin32Elevation : public IElevation {
public:
    using ShellExecuteExFn = BOOL (*)(SHELLEXECUTEINFOW*);
    // The window the user is looking at while the write runs, asked for on the writing thread.
    using OwnerSource = std::function<HWND()>;

    // exePath: the program to start (UTF-8); empty for this process's own executable.
    // pfnShellExecuteEx: the shell's ShellExecuteExW unless a test observes the call.
    explicit CWin32Elevation(std::string exePath = std::string(),
                             ShellExecuteExFn pfnShellExecuteEx = nullptr);

    // Where the consent prompt belongs (the wait dialog of a change of behaviour); without an
    // owner Windows may show the prompt only as a flashing taskbar button behind the window
    // the user works in. Null for none.
    void SetOwnerSource(OwnerSource source);

    // ShellExecuteExW with the verb "runas", owned by the window of the owner source, then
    // waits for the process and takes its exit code: 0 done, anything else failed. The user
    // declining the prompt gives kDeclined.
    Result RunOwnProgram(const std::string& arguments) override;

private:
    std::string m_strExePath;
    ShellExecuteExFn m_pfnShellExecuteEx;
    CCriticalSection m_lock;  // guards m_ownerSource: set on the user-interface thread
    OwnerSource m_ownerSource;
};
