// Waiting on the user-interface thread for a worker without blocking the worker: a worker
// that sends this thread a message (a country warning, the end of the wait dialog) would
// otherwise wait for an answer that never comes, and both threads would stand still.
#pragma once

#include <windows.h>

// Waits until the handle is signalled, answering every message that another thread sends to
// this thread's windows meanwhile; posted messages stay queued. True when the handle was
// signalled; false on the time-out, or at once for a null or invalid handle.
bool WaitHandlingSentMessages(HANDLE hObject, DWORD nTimeoutMs = INFINITE);
