#include "app/taskbar_message.h"

#include "platform/win32/system_library.h"

namespace {

constexpr DWORD kMsgFltAllow = 1;  // MSGFLT_ALLOW, for the window's own filter
constexpr DWORD kMsgFltAdd = 1;    // MSGFLT_ADD, for the process-wide filter

}  // namespace

MessageFilterFunctions LookUpMessageFilterFunctions() {
    // user32 is loaded already: the program imports it.
    const HMODULE hUser32 = ::GetModuleHandleA("user32.dll");
    MessageFilterFunctions functions;
    functions.pfnChangeWindowMessageFilterEx =
        GetFunction<decltype(functions.pfnChangeWindowMessageFilterEx)>(
            hUser32, "ChangeWindowMessageFilterEx");
    functions.pfnChangeWindowMessageFilter =
        GetFunction<decltype(functions.pfnChangeWindowMessageFilter)>(hUser32,
                                                                      "ChangeWindowMessageFilter");
    return functions;
}

void AllowMessageFromOtherProcesses(HWND hWnd, UINT nMsg, const MessageFilterFunctions& functions) {
    if (functions.pfnChangeWindowMessageFilterEx != nullptr) {
        functions.pfnChangeWindowMessageFilterEx(hWnd, nMsg, kMsgFltAllow, nullptr);
    } else if (functions.pfnChangeWindowMessageFilter != nullptr) {
        // Vista: the whole process takes the message, from every window of the desktop.
        functions.pfnChangeWindowMessageFilter(nMsg, kMsgFltAdd);
    }
}
