// Lets the taskbar's "TaskbarCreated" broadcast through to a window of a process that runs
// with administrator rights, which Windows would otherwise filter out as coming from the
// user's Explorer at a lower integrity level; without it the tray icon would not come back
// after Explorer restarts.
#pragma once

#include <windows.h>

// ChangeWindowMessageFilterEx(hWnd, "TaskbarCreated", MSGFLT_ALLOW), looked up at run time so
// that Windows versions without it still start; there it does nothing.
void AllowTaskbarCreatedMessage(HWND hWnd);
