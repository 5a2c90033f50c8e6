#include "scan/apply_mode.h"

#include <cstring>

#include "modem/call_waiting_control.h"
#include "modem/modem_info.h"
#include "modem/modem_list.h"
#include "modem/serial_port.h"
#include "scan/scan_output.h"

namespace {

// A whole-number argument within [low, high].
bool ParseNumber(const char* text, int low, int high, int* pValue) {
    if (text[0] == '\0' || std::strlen(text) > 3) {
        return false;
    }
    int value = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9') {
            return false;
        }
        value = value * 10 + (*p - '0');
    }
    if (value < low || value > high) {
        return false;
    }
    *pValue = value;
    return true;
}

// "UserInit" of the record's own subkey exactly as stored, as the modem driver will see it;
// empty when the key or the value is absent.
std::string ReadStoredUserInit(const Platform& platform, const ModemInfo& modem) {
    std::string userInit;
    ReadModemValue(*platform.registry, modem.GetKeyIndex(), modem.IsLegacyKey(), "UserInit",
                   &userInit, 1023);
    return userInit;
}

}  // namespace

int ParseApplyArg(int argc, char** argv, int i, ApplyArgs* pArgs, std::string* pError) {
    const char* arg = argv[i];
    const bool bApply = std::strcmp(arg, "--apply") == 0;
    const bool bSound = std::strcmp(arg, "--sound") == 0;
    const bool bCallOut = std::strcmp(arg, "--callout") == 0;
    const bool bPrefix = std::strcmp(arg, "--prefix") == 0;
    const bool bLocation = std::strcmp(arg, "--location") == 0;
    if (!bApply && !bSound && !bCallOut && !bPrefix && !bLocation) {
        return 0;
    }
    if (bPrefix || bLocation) {
        if (pArgs->prefix != ApplyArgs::Prefix::kNone) {
            *pError = "give one of --prefix and --location, once";
            return -1;
        }
        pArgs->bOptionSeen = true;
        if (bLocation) {
            pArgs->prefix = ApplyArgs::Prefix::kLocation;
            return 1;
        }
    }
    if (i + 1 >= argc) {
        *pError = std::string(arg) + " needs a value";
        return -1;
    }
    const char* value = argv[i + 1];
    if (bPrefix) {
        pArgs->prefix = ApplyArgs::Prefix::kText;
        pArgs->strPrefix = value;
        return 2;
    }
    if (bApply) {
        int nMode = 0;
        if (!ParseNumber(value, 0, 999, &nMode) || FindBehaviour(nMode) == nullptr) {
            *pError = std::string("--apply takes the mode of a behaviour, not: ") + value;
            return -1;
        }
        pArgs->behaviour = FindBehaviour(nMode)->behaviour;
        pArgs->bApply = true;
        return 2;
    }
    if (!ParseNumber(value, 0, 1, bSound ? &pArgs->nSound : &pArgs->nCallOut)) {
        *pError = std::string(arg) + " takes 0 or 1, not: " + value;
        return -1;
    }
    pArgs->bOptionSeen = true;
    return 2;
}

bool CheckApplyArgs(const ApplyArgs& args, std::string* pError) {
    if (args.bOptionSeen && !args.bApply) {
        *pError = "--sound, --callout, --prefix and --location need --apply";
        return false;
    }
    return true;
}

int RunApplyMode(const Platform& platform, CModemList& list, const ApplyArgs& args,
                 std::FILE* out) {
    if (list.GetCount() == 0) {
        std::fputs("mavris-scan: no supported modem to apply the mode to\n", stderr);
        return 1;
    }
    // Record 0 becomes the current modem and its port is closed, as the main dialog does
    // once the scan is over; the provider call opens it again.
    ModemInfo* pModem = list.GetAt(0);
    if (CSerialPort* pPort = pModem->GetSerialPort()) {
        pPort->CloseOrAbandon();
    }
    CCallWaitingControl control(platform, pModem);
    if (args.prefix == ApplyArgs::Prefix::kText) {
        control.SetOutsideAccess(args.strPrefix);
    } else if (args.prefix == ApplyArgs::Prefix::kLocation) {
        control.GetOutsideAccess();
    }
    const int result = control.Apply(args.behaviour, args.nSound, args.nCallOut);
    std::fprintf(out, "apply\t%d\n", result);
    std::fprintf(out, "userinit\t%s\n", EscapeField(ReadStoredUserInit(platform, *pModem)).c_str());
    std::fflush(out);
    return result == kApplyDone ? 0 : 1;
}
