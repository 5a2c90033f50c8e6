// ModemInfo: one installed modem as the registry describes it, and the probes
// that connect to it and identify it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "modem/serial_port.h"
#include "platform/services.h"

// Base paths of the modem class key (under HKEY_LOCAL_MACHINE) in its two layouts.
inline constexpr const char* kModemClassKeyPath =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96D-E325-11CE-BFC1-08002BE10318}\\";
inline constexpr const char* kModemLegacyKeyPath =
    "System\\CurrentControlSet\\Services\\Class\\Modem\\";

// Subkey numbers 0 to 254 describe modems; 255 and above are never looked at.
inline constexpr int kMaxModemKeys = 255;

// Path of modem subkey n: the base path of the chosen layout followed by "%.4d".
std::string BuildModemKeyPath(int nKeyIndex, bool bLegacy);
// A copy of the text with every blank (0x20) removed; tabs and other white space stay.
std::string StripSpaces(std::string_view text);
// "UserInit" as the record keeps it: blanks removed, a to z upper-cased.
std::string NormaliseUserInit(std::string_view text);
// The COM port number of an "AttachedTo" text: the decimal number that stands after its first
// three characters (not compared). 0 when there is none, when it does not fit an int, or when
// it is -1, which stands for a subkey that does not exist.
int PortFromAttachedTo(std::string_view attachedTo);

// What a read of one value found; for "UserInit", what the latest ReadUserInit found.
enum class ValueRead { kAbsent, kPresent, kTooLong };
using UserInitStatus = ValueRead;

// Value name of modem subkey n in the layout, read as text up to its first NUL into *text,
// which keeps its content unless the value is found. A value of more than nCapacity bytes is
// kTooLong; a missing subkey or value is kAbsent.
ValueRead ReadModemValue(IRegistry& registry, int nKeyIndex, bool bLegacy, const char* name,
                         std::string* text, std::uint32_t nCapacity = 255);

class ModemInfo {
public:
    ModemInfo(const Platform& platform, int nKeyIndex);
    ~ModemInfo();
    ModemInfo(const ModemInfo&) = delete;
    ModemInfo& operator=(const ModemInfo&) = delete;

    const std::string& GetName() const { return m_strName; }
    int GetComPort() const { return m_nComPort; }
    int GetKeyIndex() const { return m_nKeyIndex; }
    bool IsLegacyKey() const { return m_bLegacyKey; }
    CSerialPort* GetSerialPort() const { return m_pPort.get(); }

    // Re-reads "UserInit" of the record's own subkey, normalised (blanks removed, upper case);
    // empty when the key or the value is absent or the value is too long to be read.
    const std::string& ReadUserInit();
    // Whether the latest ReadUserInit found the value, found none, or found one too long.
    UserInitStatus GetUserInitStatus() const { return m_userInitStatus; }
    // Stores the text as it is, without normalising it.
    void SetUserInit(const std::string& userInit) { m_strUserInit = userInit; }
    const std::string& GetUserInit() const { return m_strUserInit; }
    // Takes "Model" of the record's own subkey as the name, when present.
    void ReloadModel();
    // Looks for a subkey on the same port whose "Model" (blanks removed) occurs in the
    // reported model (blanks removed); on a match the record moves to that subkey.
    bool FindKeyByModel(const std::string& reportedModel);

    // Opens the port, checks the maker and settles the record's subkey and display name.
    bool ConnectToModem();
    // The latest ConnectToModem could not open the port: another program holds it.
    bool IsPortHeldElsewhere() const { return m_bPortHeldElsewhere; }
    // Closes the port, if open, with its earlier settings put back (or, where they cannot be,
    // releases it as it is), and forgets it. Never throws.
    void ReleasePort();
    bool ProbeCallWaiting();
    bool ProbeCountry();

private:
    void ReadFromRegistry();

    Platform m_platform;
    std::string m_strName = "unknown";
    std::string m_strUserInit;
    int m_nKeyIndex;
    int m_nComPort = -1;
    std::unique_ptr<CSerialPort> m_pPort;
    bool m_bLegacyKey = false;
    UserInitStatus m_userInitStatus = UserInitStatus::kAbsent;
    bool m_bPortHeldElsewhere = false;
};
