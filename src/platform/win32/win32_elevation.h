// CWin32Elevation: the one write below HKEY_LOCAL_MACHINE done by the tool's own executable,
// started with administrator rights through the consent prompt of Windows.
#pragma once

#include <string>

#include "platform/services.h"

class CWin32Elevation : public IElevation {
public:
    // exePath: the program to start; empty for this process's own executable.
    explicit CWin32Elevation(std::string exePath = std::string());

    // ShellExecuteExA with the verb "runas" on the write-only command line, then waits for the
    // process and takes its exit code: 0 done, anything else failed. The user declining the
    // prompt gives kDeclined.
    Result WriteUserInit(int nKeyIndex, int nMode) override;

private:
    std::string m_strExePath;
};
