#include "app/elevated_write.h"

#include "modem/userinit_write_request.h"
#include "platform/win32/win32_platform.h"

bool RunElevatedWriteIfRequested(int argc, char** argv, int* pnExitCode) {
    if (!IsUserInitWriteRequest(argc, argv)) {
        return false;
    }
    *pnExitCode = RunUserInitWriteRequest(GetWin32Platform(), argc, argv);
    return true;
}
