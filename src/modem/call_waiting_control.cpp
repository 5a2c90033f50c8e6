#include "modem/call_waiting_control.h"

#include <algorithm>
#include <cstring>

#include "modem/dial_prefix.h"
#include "modem/modem_info.h"
#include "modem/serial_port.h"
#include "modem/userinit_write_command.h"
#include "platform/user_exception.h"
#include "platform/utf8_text.h"

namespace {

const char* const kUserInitValue = "UserInit";
// The longest autorun value that counts: a path of 254 characters in quotes, with its NUL.
constexpr std::uint32_t kMaxAutorunValueSize = 257;
constexpr std::size_t kMaxAutorunPathLength = 255;  // refused from this length on
// The longest location prefix that is read, in bytes.
constexpr std::uint32_t kMaxLocationPrefixSize = 255;

// The current telephony location's outside-line prefix; empty when it cannot be read.
std::string ReadLocationOutsideAccess(IRegistry& registry) {
    // Read afresh each time: a laptop moved from the office location to home dials home's
    // prefix at the next call, not the one that was current when the tool started. The
    // locations are shared between the 32- and 64-bit views of the registry; asking for the
    // 64-bit view, which the Dialing Rules control panel writes, costs nothing where they are
    // and is ignored on 32-bit Windows.
    CRegKey key(registry);
    const std::uint32_t access = reg::kQueryValue | reg::kWow64_64Key;
    if (key.Open(RegRoot::kLocalMachine, kLocationsKeyPath, access) != reg::kSuccess) {
        return std::string();
    }
    std::uint32_t currentId = 0;
    if (RegQueryDword(registry, key.Get(), "CurrentID", &currentId) != reg::kSuccess) {
        return std::string();
    }
    const std::string path =
        std::string(kLocationsKeyPath) + "\\Location" + std::to_string(static_cast<int>(currentId));
    if (key.Open(RegRoot::kLocalMachine, path.c_str(), access) != reg::kSuccess) {
        return std::string();
    }
    // Zero-filled, one byte beyond what is read: a value stored without its NUL still ends.
    char prefix[kMaxLocationPrefixSize + 1] = {};
    if (RegQueryText(registry, key.Get(), "OutsideAccess", prefix, kMaxLocationPrefixSize) !=
        reg::kSuccess) {
        return std::string();
    }
    return std::string(prefix);
}

}  // namespace

std::string BuildUserInit(const std::string& userInit, int nMode) {
    std::string rest = userInit;
    // Only the first setting goes, and only the setting itself: "+PCW", its '=' and its digits,
    // and the ';' right after them when there is one. What the user wrote behind a setting
    // without its own ';' stays, in its order.
    const std::size_t begin = rest.find("+PCW");
    if (begin != std::string::npos) {
        std::size_t end = begin + 4;
        if (end < rest.size() && rest[end] == '=') {
            ++end;
        }
        while (end < rest.size() && rest[end] >= '0' && rest[end] <= '9') {
            ++end;
        }
        if (end < rest.size() && rest[end] == ';') {
            ++end;
        }
        rest.erase(begin, end - begin);
    }
    // The modem driver sends the value behind an "AT" of its own. A leading "AT" of the user's
    // was harmless there, but behind "+PCW=N;" the modem would take its 'A' for the answer
    // command; an "AT" further on is the user's business and stays.
    if (rest.compare(0, 2, "AT") == 0) {
        rest.erase(0, 2);
    }
    return "+PCW=" + std::to_string(nMode) + ";" + rest;
}

std::string BuildDialCommand(Behaviour behaviour, int nSound, const std::string& prefix) {
    std::string command = nSound == 1 ? "atm2l3" : "atm0";
    // With a prefix the modem dials at once (X3); without one it waits for the dial tone (X4).
    command += prefix.empty() ? "x4d" : "x3d" + prefix;
    command += GetBehaviourInfo(behaviour).szServiceCode;
    command += ",,;h\r";
    return command;
}

CCallWaitingControl::CCallWaitingControl(const Platform& platform, ModemInfo* pModem)
    : m_platform(platform),
      m_pModem(pModem),
      m_pSerial(pModem != nullptr ? pModem->GetSerialPort() : nullptr) {}

int CCallWaitingControl::GetMode() {
    const std::string& userInit = m_pModem->ReadUserInit();
    // The order of the searches decides, not the position in the text.
    for (int mode : {0, 1, 2}) {
        if (userInit.find("+PCW=" + std::to_string(mode)) != std::string::npos) {
            return mode;
        }
    }
    return -1;
}

int CCallWaitingControl::WriteUserInit(Behaviour behaviour) {
    const std::string userInit = m_pModem->ReadUserInit();
    // A value that exists but could not be read must not be replaced by the setting alone:
    // everything else the user keeps in it would be lost.
    if (m_pModem->GetUserInitStatus() == UserInitStatus::kTooLong) {
        return kApplyRegistryError;
    }
    const std::string newUserInit = BuildUserInit(userInit, static_cast<int>(behaviour));
    // Nothing is cut: a value the record could not read back is not written at all.
    if (newUserInit.size() > kMaxUserInitLength) {
        return kApplyRegistryError;
    }

    // Both layouts in this order, whatever layout the record was read from. A standard user
    // may read the modem class key but not write it: a denied open goes to the elevation (the
    // rights are checked when the key is opened, so the write itself is not denied).
    CRegKey key(*m_platform.registry);
    const int nKeyIndex = m_pModem->GetKeyIndex();
    long result = key.Open(RegRoot::kLocalMachine, BuildModemKeyPath(nKeyIndex, false).c_str(),
                           reg::kSetValue);
    bool bDenied = result == reg::kAccessDenied;
    if (result != reg::kSuccess) {
        result = key.Open(RegRoot::kLocalMachine, BuildModemKeyPath(nKeyIndex, true).c_str(),
                          reg::kSetValue);
        bDenied = bDenied || result == reg::kAccessDenied;
    }
    if (result != reg::kSuccess) {
        return bDenied ? WriteUserInitElevated(behaviour) : kApplyRegistryError;
    }
    char buffer[kMaxUserInitLength + 1] = {};
    std::memcpy(buffer, newUserInit.c_str(), newUserInit.size());
    // Stored with its NUL: Windows' modem driver reads the value too, and a reader whose
    // buffer is not zero-filled would send whatever follows the text to the modem.
    result = m_platform.registry->SetValue(key.Get(), kUserInitValue, reg::kSz, buffer,
                                           static_cast<std::uint32_t>(newUserInit.size() + 1));
    if (result != reg::kSuccess) {
        key.Close();
        m_platform.log->Write("*** ModemInfo \n");
        throw CUserException();
    }
    m_pModem->SetUserInit(newUserInit);
    return kApplyDone;
}

int CCallWaitingControl::WriteUserInitElevated(Behaviour behaviour) {
    static_assert(kWriteExitDone == 0, "the elevation takes exit code 0 for done");
    if (m_platform.elevation == nullptr ||
        m_platform.elevation->RunOwnProgram(BuildUserInitWriteParameters(
            m_pModem->GetKeyIndex(), static_cast<int>(behaviour))) != IElevation::Result::kDone) {
        return kApplyRegistryError;
    }
    // The elevated process rewrote the value as it read it; the record takes it from there.
    m_pModem->ReadUserInit();
    return kApplyDone;
}

int CCallWaitingControl::Apply(Behaviour behaviour, int nSound, int nCallOut) {
    try {
        const int nResult = WriteUserInit(behaviour);
        if (nResult != kApplyDone || nCallOut != 1) {
            return nResult;
        }
    } catch (...) {
        m_platform.log->Write("*** Apply \n");
        return kApplyRegistryError;
    }
    try {
        return DialServiceCode(behaviour, nSound);
    } catch (...) {
        m_platform.log->Write("*** Apply \n");
        return kApplyProviderError;
    }
}

int CCallWaitingControl::DialServiceCode(Behaviour behaviour, int nSound) {
    // The dialing rules' prefix counts whether or not the Extra dialog was opened in this run:
    // behind a private exchange the code reaches the provider only with it. Without a prefix
    // of the user's own, the location current at this call gives it.
    // Only outside-line characters reach the modem: a CR, LF or ';' from the registry would
    // end the dial command early and have the rest run as commands. A prefix too long for the
    // command is refused rather than cut into another number.
    const std::string prefix = FilterOutsideLine(GetOutsideAccess());
    if (prefix.size() > kMaxOutsideLineLength) {
        return kApplyProviderError;
    }
    if (m_pSerial == nullptr || !m_pSerial->Open()) {
        return kApplyProviderError;
    }
    const std::string command = BuildDialCommand(behaviour, nSound, prefix);

    std::string reply;
    try {
        reply = m_pSerial->Exchange(command.c_str());
        // The echo alone: the modem was still dialling when the read ended.
        if (reply == command) {
            reply = m_pSerial->ReadResponse();
        }
    } catch (...) {
        // The port must not stay busy, or every later call would fail to open it. When its
        // settings cannot be put back either, it is released as it is; the failure passed on
        // is the one that ended the call.
        m_pSerial->CloseOrAbandon();
        throw;
    }
    if (!m_pSerial->CloseOrAbandon()) {
        throw CUserException();
    }
    return reply.find("OK") != std::string::npos ? kApplyDone : kApplyProviderError;
}

std::string CCallWaitingControl::GetOutsideAccess() {
    if (m_szOutsideAccess[0] != '\0') {
        return std::string(m_szOutsideAccess);
    }
    return ReadLocationOutsideAccess(*m_platform.registry);
}

void CCallWaitingControl::SetOutsideAccess(const std::string& prefix) {
    std::memset(m_szOutsideAccess, 0, sizeof(m_szOutsideAccess));
    // A text longer than the buffer keeps only the characters that could ever be dialled, so
    // that cutting it can never change the number.
    std::string text =
        prefix.size() < sizeof(m_szOutsideAccess) ? prefix : FilterOutsideLine(prefix);
    std::size_t length = std::min(text.size(), sizeof(m_szOutsideAccess) - 1);
    std::memcpy(m_szOutsideAccess, text.data(), length);
}

RegRoot CCallWaitingControl::GetAutorunRoot() const {
    // The class-GUID layout means the NT family: the value goes to the user's own Run key.
    return m_pModem->IsLegacyKey() ? RegRoot::kLocalMachine : RegRoot::kCurrentUser;
}

void CCallWaitingControl::SetAutorun(bool bOn) {
    IRegistry& registry = *m_platform.registry;
    CRegKey key(registry);
    if (key.Open(GetAutorunRoot(), kAutorunKeyPath, reg::kAllAccess) != reg::kSuccess) {
        return;
    }
    if (!bOn) {
        registry.DeleteValue(key.Get(), kAutorunValueName);
        return;
    }
    // Written through the wide-character API: under C:\Users\Łukasz\ on a Western European
    // system the ANSI path would name "Lukasz", a folder that does not exist.
    std::string command = m_platform.module != nullptr ? m_platform.module->GetFilePath() : "";
    if (command.empty() || Utf16Length(command) >= kMaxAutorunPathLength) {
        // No path, or one longer than the check box can read back (255 bytes with its NUL):
        // nothing is written rather than a value the tool would not know for its own.
        return;
    }
    // Windows reads a Run value as a command line: unquoted, "C:\Program Files\..." would have
    // it try "C:\Program.exe" first.
    if (command.find(' ') != std::string::npos) {
        command = '"' + command + '"';
    }
    registry.SetTextValue(key.Get(), kAutorunValueName, command);
}

bool CCallWaitingControl::IsAutorun() {
    IRegistry& registry = *m_platform.registry;
    CRegKey key(registry);
    if (key.Open(GetAutorunRoot(), kAutorunKeyPath, reg::kQueryValue) != reg::kSuccess) {
        return false;
    }
    // The value counts whatever it names, quoted as this version writes a path with blanks or
    // bare as earlier versions wrote every path: 255 bytes for the path and its NUL, and the
    // two quotes around it.
    char command[kMaxAutorunValueSize + 1] = {};
    std::uint32_t size = kMaxAutorunValueSize;
    if (registry.QueryValue(key.Get(), kAutorunValueName, command, &size) != reg::kSuccess) {
        return false;
    }
    return size <= kMaxAutorunValueSize - 2 || command[0] == '"';
}
