// The few shell32 and ole32 functions the program uses, looked up when first called instead
// of imported. The tool needs them only after its scan window is up (the tray icon, a link in
// About, the elevated write), and loading the two DLLs with everything they pull in was the
// largest part of what the tool's start cost beyond a plain dialog program.
//
// A function that cannot be found fails the way the real one reports a failure. The DLLs stay
// loaded for the life of the program; each look-up happens once (thread-safe statics: the
// elevated write runs on a worker thread).
#pragma once

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include "platform/win32/system_library.h"

namespace late_bound {

inline BOOL ShellNotifyIcon(DWORD nMessage, NOTIFYICONDATAA* pData) {
    static const auto pfn =
        GetSystemFunction<decltype(&::Shell_NotifyIconA)>("shell32.dll", "Shell_NotifyIconA");
    return pfn != nullptr ? pfn(nMessage, pData) : FALSE;
}

inline HINSTANCE ShellExecute(HWND hWnd, LPCSTR pszVerb, LPCSTR pszFile, LPCSTR pszParameters,
                              LPCSTR pszDirectory, INT nShowCmd) {
    static const auto pfn =
        GetSystemFunction<decltype(&::ShellExecuteA)>("shell32.dll", "ShellExecuteA");
    if (pfn == nullptr) {
        return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(SE_ERR_DLLNOTFOUND));
    }
    return pfn(hWnd, pszVerb, pszFile, pszParameters, pszDirectory, nShowCmd);
}

inline BOOL ShellExecuteEx(SHELLEXECUTEINFOW* pInfo) {
    static const auto pfn =
        GetSystemFunction<decltype(&::ShellExecuteExW)>("shell32.dll", "ShellExecuteExW");
    if (pfn == nullptr) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return FALSE;
    }
    return pfn(pInfo);
}

inline HRESULT CoInitializeEx(void* pReserved, DWORD nFlags) {
    static const auto pfn =
        GetSystemFunction<decltype(&::CoInitializeEx)>("ole32.dll", "CoInitializeEx");
    return pfn != nullptr ? pfn(pReserved, nFlags) : E_FAIL;
}

inline void CoUninitialize() {
    static const auto pfn =
        GetSystemFunction<decltype(&::CoUninitialize)>("ole32.dll", "CoUninitialize");
    if (pfn != nullptr) {
        pfn();
    }
}

}  // namespace late_bound
