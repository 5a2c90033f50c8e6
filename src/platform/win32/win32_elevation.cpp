#include "platform/win32/win32_elevation.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <mutex>  // std::lock_guard
#include <utility>

#include "platform/win32/late_bound_shell.h"
#include "platform/win32/wide_text.h"

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
    // Wide from end to end: a program unpacked under a folder that the ANSI code page cannot
    // write (C:\Users\Łukasz) must still find itself.
    const std::wstring exePath =
        m_strExePath.empty() ? GetOwnExecutablePath() : Utf8ToWide(m_strExePath);
    if (exePath.empty()) {
        return Result::kFailed;
    }
    OwnerSource ownerSource;
    {
        std::lock_guard lock(m_lock);
        ownerSource = m_ownerSource;
    }
    CComApartment apartment;

    const std::wstring parameters = Utf8ToWide(arguments);
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.hwnd = ownerSource ? ownerSource() : nullptr;
    // The process handle is needed for its exit code; the shell shows no error box of its own,
    // the tool reports the failure with its own text.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.lpVerb = L"runas";
    info.lpFile = exePath.c_str();
    info.lpParameters = parameters.c_str();
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
