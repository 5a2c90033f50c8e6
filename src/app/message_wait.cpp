#include "app/message_wait.h"

namespace {

// Answers the messages other threads have sent to this thread; touches nothing posted.
void HandleSentMessages() {
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

}  // namespace

bool WaitHandlingSentMessages(HANDLE hObject, DWORD nTimeoutMs) {
    if (hObject == nullptr) {
        return false;
    }
    const DWORD nStart = GetTickCount();
    for (;;) {
        // A message sent before the wait began does not wake it: answer those first.
        HandleSentMessages();
        DWORD nLeft = INFINITE;
        if (nTimeoutMs != INFINITE) {
            const DWORD nSpent = GetTickCount() - nStart;
            nLeft = nSpent >= nTimeoutMs ? 0 : nTimeoutMs - nSpent;
        }
        const DWORD nResult = MsgWaitForMultipleObjects(1, &hObject, FALSE, nLeft, QS_SENDMESSAGE);
        if (nResult == WAIT_OBJECT_0) {
            return true;
        }
        if (nResult != WAIT_OBJECT_0 + 1) {
            return false;  // time-out, or a handle that cannot be waited for
        }
    }
}
