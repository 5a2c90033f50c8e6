#include "app/single_instance.h"

#include <sddl.h>

namespace {

// A property rather than the window's class or title: the main dialog's class is every
// dialog's, and its title depends on the language.
constexpr const char kInstanceProp[] = "Mavris.Instance-2CBC76AC-E836-48a1-8376-06E6760B924F";

BOOL CALLBACK FindMarkedWindow(HWND hWnd, LPARAM lParam) {
    if (GetPropA(hWnd, kInstanceProp) == nullptr) {
        return TRUE;
    }
    *reinterpret_cast<HWND*>(lParam) = hWnd;
    return FALSE;
}

}  // namespace

bool ClaimSingleInstance(const char* pszName, HANDLE* phMutex) {
    *phMutex = CreateMutexA(nullptr, TRUE, pszName);
    const DWORD nError = GetLastError();
    if (*phMutex != nullptr) {
        ReleaseMutex(*phMutex);
        return nError == ERROR_ALREADY_EXISTS;
    }
    return nError == ERROR_ACCESS_DENIED;
}

HANDLE HoldGlobalInstanceMark(const wchar_t* pszName) {
    // Everyone may wait on it, which is all a look from setup needs; the creator's own handle
    // has full access whatever the list says.
    PSECURITY_DESCRIPTOR pDescriptor = nullptr;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, FALSE};
    if (ConvertStringSecurityDescriptorToSecurityDescriptorW(
            L"D:(A;;0x00100000;;;WD)", SDDL_REVISION_1, &pDescriptor, nullptr)) {
        attributes.lpSecurityDescriptor = pDescriptor;
    }
    HANDLE hMutex = CreateMutexW(&attributes, FALSE, pszName);
    if (pDescriptor != nullptr) {
        LocalFree(pDescriptor);
    }
    if (hMutex == nullptr && GetLastError() == ERROR_ACCESS_DENIED) {
        // An instance in another session made it: holding it open keeps it for as long as
        // this instance runs too.
        hMutex = OpenMutexW(SYNCHRONIZE, FALSE, pszName);
    }
    return hMutex;
}

UINT GetShowInstanceMessage() {
    static const UINT s_nMessage =
        RegisterWindowMessageA("Mavris.ShowMainDialog-2CBC76AC-E836-48a1-8376-06E6760B924F");
    return s_nMessage;
}

void MarkInstanceWindow(HWND hWnd, bool bMark) {
    if (bMark) {
        SetPropA(hWnd, kInstanceProp, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(1)));
    } else {
        RemovePropA(hWnd, kInstanceProp);
    }
}

bool AskRunningInstanceToShow() {
    HWND hWnd = nullptr;
    EnumWindows(FindMarkedWindow, reinterpret_cast<LPARAM>(&hWnd));
    if (hWnd == nullptr) {
        return false;
    }
    // The user started this process, so it may hand the foreground on; without that the
    // running instance's dialog would open behind the window the user works in.
    DWORD nProcessId = 0;
    GetWindowThreadProcessId(hWnd, &nProcessId);
    AllowSetForegroundWindow(nProcessId);
    return PostMessageA(hWnd, GetShowInstanceMessage(), 0, 0) != FALSE;
}
