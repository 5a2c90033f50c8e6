// CCallWaitingControl: how the current modem treats a call that comes in during a data
// connection, carried into its "UserInit" value and, on request, to the provider.
#pragma once

#include <string>

#include "platform/services.h"

class ModemInfo;
class CSerialPort;

// Result codes of a change of behaviour.
inline constexpr int kApplyDone = 0;
inline constexpr int kApplyRegistryError = -1;
inline constexpr int kApplyProviderError = -2;

class CCallWaitingControl {
public:
    CCallWaitingControl(const Platform& platform, ModemInfo* pModem);
    ~CCallWaitingControl() = default;
    CCallWaitingControl(const CCallWaitingControl&) = delete;
    CCallWaitingControl& operator=(const CCallWaitingControl&) = delete;

    int GetMode();
    int WriteUserInit(int nMode);
    int Apply(int nMode, int nSound, int nCallOut);
    int DialServiceCode(int nMode, int nSound);
    std::string GetOutsideAccess();
    void SetOutsideAccess(const std::string& prefix);
    void SetAutorun(bool bOn);
    bool IsAutorun();

private:
    Platform m_platform;
    ModemInfo* m_pModem;
    CSerialPort* m_pSerial;
    char m_szOutsideAccess[1024] = {};
};
