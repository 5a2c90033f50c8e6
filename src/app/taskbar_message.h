// Lets messages of the user's other processes through to a window of a process that runs with
// administrator rights, which Windows would otherwise filter out as coming from a lower
// integrity level: the taskbar's "TaskbarCreated" (without it the tray icon would not come
// back after Explorer restarts) and a second start's request to show the main dialog.
#pragma once

#include <windows.h>

// The two ways Windows offers, declared here because the build targets Vista: the window's own
// filter (Windows 7 and later) and the process-wide one (Vista, which has only that).
struct MessageFilterFunctions {
    BOOL(WINAPI* pfnChangeWindowMessageFilterEx)(HWND, UINT, DWORD, void*) = nullptr;
    BOOL(WINAPI* pfnChangeWindowMessageFilter)(UINT, DWORD) = nullptr;
};

// Both, looked up in user32 at run time; null where this Windows lacks them.
MessageFilterFunctions LookUpMessageFilterFunctions();

// Lets nMsg through to hWnd: with the window's own filter where there is one, else with the
// process-wide filter. Without either (before Vista there is no such filtering) it does
// nothing.
void AllowMessageFromOtherProcesses(
    HWND hWnd, UINT nMsg, const MessageFilterFunctions& functions = LookUpMessageFilterFunctions());

inline void AllowTaskbarCreatedMessage(HWND hWnd) {
    AllowMessageFromOtherProcesses(hWnd, RegisterWindowMessageA("TaskbarCreated"));
}
