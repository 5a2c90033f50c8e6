#include "modem/userinit_write_request.h"

#include "modem/call_waiting_control.h"
#include "modem/modem_info.h"

int RunUserInitWriteRequest(const Platform& platform, int argc, char** argv) {
    UserInitWriteRequest request;
    if (!ParseUserInitWriteRequest(argc, argv, &request)) {
        return kWriteExitUsage;
    }
    // Without elevation: a write denied even here must not start yet another process.
    Platform elevated = platform;
    elevated.elevation = nullptr;
    try {
        // The record reads the subkey as the scan does, so the value is found in the same
        // layout; the control rewrites it by the tool's own rule and limits.
        ModemInfo modem(elevated, request.nKeyIndex);
        CCallWaitingControl control(elevated, &modem);
        return control.WriteUserInit(request.behaviour) == kApplyDone ? kWriteExitDone
                                                                      : kWriteExitNotWritten;
    } catch (...) {
        return kWriteExitFailed;
    }
}
