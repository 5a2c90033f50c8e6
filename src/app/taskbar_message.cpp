#include "app/taskbar_message.h"

#include "platform/win32/system_library.h"

namespace {

// Windows 7 and later; declared here because the build targets older versions too.
using ChangeWindowMessageFilterExFn = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
constexpr DWORD kMsgFltAllow = 1;  // MSGFLT_ALLOW

}  // namespace

void AllowMessageFromOtherProcesses(HWND hWnd, UINT nMsg) {
    // user32 is loaded already: the program imports it.
    const auto pfnChangeFilter = GetFunction<ChangeWindowMessageFilterExFn>(
        ::GetModuleHandleA("user32.dll"), "ChangeWindowMessageFilterEx");
    if (pfnChangeFilter == nullptr) {
        return;
    }
    pfnChangeFilter(hWnd, nMsg, kMsgFltAllow, nullptr);
}
