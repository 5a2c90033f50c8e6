#include "app/taskbar_message.h"

namespace {

// Windows 7 and later; declared here because the build targets older versions too.
using ChangeWindowMessageFilterExFn = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
constexpr DWORD kMsgFltAllow = 1;  // MSGFLT_ALLOW

}  // namespace

void AllowMessageFromOtherProcesses(HWND hWnd, UINT nMsg) {
    HMODULE hUser32 = ::GetModuleHandleA("user32.dll");
    if (hUser32 == nullptr) {
        return;
    }
    auto pfnChangeFilter = reinterpret_cast<ChangeWindowMessageFilterExFn>(
        reinterpret_cast<void*>(::GetProcAddress(hUser32, "ChangeWindowMessageFilterEx")));
    if (pfnChangeFilter == nullptr) {
        return;
    }
    pfnChangeFilter(hWnd, nMsg, kMsgFltAllow, nullptr);
}
