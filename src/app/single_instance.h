// One tool per session: the named mutex that tells a start that the tool runs already, and the
// way such a second start asks the running instance to show itself.
#pragma once

#include <windows.h>

// While a process holds this name, every further start ends at once.
inline constexpr const char kSingleInstanceMutexName[] =
    "Modem-On-Hold-2CBC76AC-E836-48a1-8376-06E6760B924F";

// Creates or opens the mutex pszName and keeps the handle (null when none came back) in
// *phMutex for the life of the process. True when another instance holds the name: it exists
// already, or it exists and this start may not open it (the running instance has
// administrator rights and CreateMutexA fails with ERROR_ACCESS_DENIED). Any other failure
// lets the start go on without the protection.
bool ClaimSingleInstance(const char* pszName, HANDLE* phMutex);

// Held by every running instance in the global namespace, where setup and the uninstaller see
// it from any session (another user's, fast user switching, Remote Desktop); any user may open
// it, for SYNCHRONIZE only. One instance per session is still the session mutex's rule.
inline constexpr const wchar_t kGlobalInstanceMutexName[] =
    L"Global\\Mavris-Running-2CBC76AC-E836-48a1-8376-06E6760B924F";

// Creates the global mutex pszName, or opens it for SYNCHRONIZE where an instance of another
// session created it first; the handle (null when neither worked) is kept until the process
// ends, which is all the mutex is for.
HANDLE HoldGlobalInstanceMark(const wchar_t* pszName);

// What a second start posts to the running instance's main window: show the main dialog, as
// "Open" in the tray menu does.
UINT GetShowInstanceMessage();
// Marks (or, before the window goes, unmarks) the window that a second start looks for; the
// main dialog is marked once its scan is done, so that a start during the scan finds nothing.
void MarkInstanceWindow(HWND hWnd, bool bMark);
// A second start: posts GetShowInstanceMessage to the marked window of the running instance
// and lets that process take the foreground. False when no window is marked.
bool AskRunningInstanceToShow();
