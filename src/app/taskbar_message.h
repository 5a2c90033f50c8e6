// Lets messages of the user's other processes through to a window of a process that runs with
// administrator rights, which Windows would otherwise filter out as coming from a lower
// integrity level: the taskbar's "TaskbarCreated" (without it the tray icon would not come
// back after Explorer restarts) and a second start's request to show the main dialog.
#pragma once

#include <windows.h>

// ChangeWindowMessageFilterEx(hWnd, nMsg, MSGFLT_ALLOW), looked up at run time so that
// Windows versions without it still start; there it does nothing.
void AllowMessageFromOtherProcesses(HWND hWnd, UINT nMsg);

inline void AllowTaskbarCreatedMessage(HWND hWnd) {
    AllowMessageFromOtherProcesses(hWnd, RegisterWindowMessageA("TaskbarCreated"));
}
