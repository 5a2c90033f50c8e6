// CCallWaitingControl: how the current modem treats a call that comes in during a data
// connection, carried into its "UserInit" value and, on request, to the provider.
#pragma once

#include <cstddef>
#include <string>

#include "modem/behaviours.h"
#include "platform/registry.h"
#include "platform/services.h"

class ModemInfo;
class CSerialPort;

// Result codes of a change of behaviour.
inline constexpr int kApplyDone = 0;
inline constexpr int kApplyRegistryError = -1;
inline constexpr int kApplyProviderError = -2;

// The longest "UserInit" text that is written: stored with its terminating NUL, it has to fit
// the 255 bytes that the modem's record reads back.
inline constexpr std::size_t kMaxUserInitLength = 254;

// Where the autorun value lives, below HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE.
inline constexpr const char* kAutorunKeyPath =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Run\\";
inline constexpr const char* kAutorunValueName = "ORVA_ModemOnHold";
// The telephony locations, below HKEY_LOCAL_MACHINE.
inline constexpr const char* kLocationsKeyPath =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Telephony\\Locations";

// The user-init text with its first "+PCW" setting replaced by "+PCW=<mode>;" in front, and
// without the "AT" that the rest may begin with.
std::string BuildUserInit(const std::string& userInit, int nMode);
// The provider dial command for the behaviour and speaker setting; prefix must already hold
// only outside-line characters (FilterOutsideLine).
std::string BuildDialCommand(Behaviour behaviour, int nSound, const std::string& prefix);

class CCallWaitingControl {
public:
    CCallWaitingControl(const Platform& platform, ModemInfo* pModem);
    ~CCallWaitingControl() = default;
    CCallWaitingControl(const CCallWaitingControl&) = delete;
    CCallWaitingControl& operator=(const CCallWaitingControl&) = delete;

    int GetMode();
    int WriteUserInit(Behaviour behaviour);
    // The value, then, when nCallOut is 1, the provider call. A step that throws is logged and
    // says what was done: nothing (kApplyRegistryError) or the value (kApplyProviderError).
    int Apply(Behaviour behaviour, int nSound, int nCallOut);
    int DialServiceCode(Behaviour behaviour, int nSound);
    // The user's own prefix when one was set, otherwise the current telephony location's,
    // read at this moment.
    std::string GetOutsideAccess();
    // Makes the text the user's own prefix; an empty text gives the choice back to the
    // location.
    void SetOutsideAccess(const std::string& prefix);
    void SetAutorun(bool bOn);
    bool IsAutorun();

private:
    // Has the platform's elevation write the value; -1 when there is none or it did not write.
    int WriteUserInitElevated(Behaviour behaviour);
    RegRoot GetAutorunRoot() const;

    Platform m_platform;
    ModemInfo* m_pModem;
    CSerialPort* m_pSerial;
    char m_szOutsideAccess[1024] = {};  // the user's own prefix; empty: the location's
};
