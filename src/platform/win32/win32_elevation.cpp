#include "platform/win32/win32_elevation.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <mutex>  // std::lock_guard
#include <utility>

#include "platform/win32/late_bound_shell.h"

namespace {

// The shell may hand the start to extensions that need COM on the calling thread.
class CComApartment {
public:
    CComApartment()
        : m_bInitialised(SUCCEEDED(late_bound::CoInitializeEx(
              nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
    ~CComApartment() {
        if (m_bInitialised) {
            late_bound::CoUninitialize();
        }
    }
    CComApartment(const CComApartment&) = delete;
    CComApartment& operator=(const CComApartment&) = delete;

private:
    bool m_bInitialised;
};

std::string OwnExecutablePath() {
    char path[MAX_PATH + 1] = {};
    DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return std::string();
    }
    return std::string(path, length);
}

}  // namespace

CWin32Elevation::CWin32Elevation(std::string exePath, ShellExecuteExFn pfnShellExecuteEx)
    : m_strExePath(std::move(exePath)),
      m_pfnShellExecuteEx(pfnShellExecuteEx != nullptr ? pfnShellExecuteEx
                                                       : &late_bound::ShellExecuteEx) {}

void CWin32Elevation::SetOwnerSource(OwnerSource source) {
    std::lock_guard lock(m_lock);
    m_ownerSource = std::move(source);
}

IElevation::Result CWin32Elevation::RunOwnProgram(const std::string& arguments) {
    const std::string exePath = m_strExePath.empty() ? OwnExecutablePath() : m_strExePath;
    if (exePath.empty()) {
        return Result::kFailed;
    }
    OwnerSource ownerSource;
    {
        std::lock_guard lock(m_lock);
        ownerSource = m_ownerSource;
    }
    CComApartment apartment;

    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof(info);
    info.hwnd = ownerSource ? ownerSource() : nullptr;
    // The process handle is needed for its exit code; the shell shows no error box of its own,
    // the tool reports the failure with its own text.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.lpVerb = "runas";
    info.lpFile = exePath.c_str();
    info.lpParameters = arguments.c_str();
    info.nShow = SW_HIDE;
    if (!m_pfnShellExecuteEx(&info)) {
        return ::GetLastError() == ERROR_CANCELLED ? Result::kDeclined : Result::kFailed;
    }
    if (info.hProcess == nullptr) {
        return Result::kFailed;
    }
    ::WaitForSingleObject(info.hProcess, INFINITE);
    DWORD exitCode = 1;
    const BOOL bGotCode = ::GetExitCodeProcess(info.hProcess, &exitCode);
    ::CloseHandle(info.hProcess);
    return bGotCode && exitCode == 0 ? Result::kDone : Result::kFailed;
}
