#include "modem/modem_info.h"

#include <limits>

#include "modem/modem_keys.h"
#include "modem/replies.h"
#include "platform/registry.h"

namespace {

// A value is read into a buffer one byte larger than its declared capacity (255 bytes for the
// record's values), so that whatever is read stays zero-terminated; a longer value does not
// fit and counts as absent.
ValueRead ReadText(IRegistry& registry, RegKey key, const char* name, std::string* text,
                   std::uint32_t nCapacity = 255) {
    std::string buffer(nCapacity + 1, '\0');
    std::uint32_t size = nCapacity;
    long result = registry.QueryValue(key, name, buffer.data(), &size);
    if (result == reg::kSuccess) {
        // The text ends at its NUL or with the bytes stored, whichever comes first: a value of
        // 255 bytes without a NUL is read to its end and never past it.
        const std::string_view stored(buffer.data(), size);
        *text = stored.substr(0, stored.find('\0'));
        return ValueRead::kPresent;
    }
    return result == reg::kMoreData ? ValueRead::kTooLong : ValueRead::kAbsent;
}

int ReadPort(IRegistry& registry, RegKey key) {
    std::string attachedTo;
    if (ReadText(registry, key, "AttachedTo", &attachedTo) != ValueRead::kPresent) {
        return 0;
    }
    return PortFromAttachedTo(attachedTo);
}

char ToUpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (ToUpperAscii(a[i]) != ToUpperAscii(b[i])) {
            return false;
        }
    }
    return true;
}

bool IsWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

std::string BuildModemKeyPath(int nKeyIndex, bool bLegacy) {
    // At least four digits, as "%.4d" writes them; no printf: its formatting code would be a
    // tenth of the program.
    const long long nMagnitude = nKeyIndex < 0 ? -static_cast<long long>(nKeyIndex) : nKeyIndex;
    std::string number = std::to_string(nMagnitude);
    number.insert(0, number.size() < 4 ? 4 - number.size() : 0, '0');
    return std::string(bLegacy ? kModemLegacyKeyPath : kModemClassKeyPath) +
           (nKeyIndex < 0 ? "-" : "") + number;
}

ValueRead ReadModemValue(IRegistry& registry, int nKeyIndex, bool bLegacy, const char* name,
                         std::string* text, std::uint32_t nCapacity) {
    CRegKey key(registry);
    if (key.Open(RegRoot::kLocalMachine, BuildModemKeyPath(nKeyIndex, bLegacy).c_str(),
                 reg::kQueryValue) != reg::kSuccess) {
        return ValueRead::kAbsent;
    }
    return ReadText(registry, key.Get(), name, text, nCapacity);
}

std::string StripSpaces(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (char c : text) {
        if (c != ' ') {
            result += c;
        }
    }
    return result;
}

std::string NormaliseUserInit(std::string_view text) {
    std::string result = StripSpaces(text);
    for (char& c : result) {
        c = ToUpperAscii(c);
    }
    return result;
}

int PortFromAttachedTo(std::string_view attachedTo) {
    if (attachedTo.size() < 4) {
        return 0;
    }
    std::string_view rest = attachedTo.substr(3);
    std::size_t i = 0;
    while (i < rest.size() && IsWhiteSpace(rest[i])) {
        ++i;
    }
    bool bNegative = false;
    if (i < rest.size() && (rest[i] == '+' || rest[i] == '-')) {
        bNegative = rest[i] == '-';
        ++i;
    }
    long long number = 0;
    bool bDigits = false;
    for (; i < rest.size() && rest[i] >= '0' && rest[i] <= '9'; ++i) {
        bDigits = true;
        number = number * 10 + (rest[i] - '0');
        if (number > std::numeric_limits<int>::max()) {
            // A port name that no device can have; reading it on would overflow.
            return 0;
        }
    }
    if (!bDigits) {
        return 0;
    }
    int port = static_cast<int>(bNegative ? -number : number);
    return port == -1 ? 0 : port;
}

ModemInfo::ModemInfo(const Platform& platform, int nKeyIndex)
    : m_platform(platform), m_nKeyIndex(nKeyIndex) {
    try {
        ReadFromRegistry();
    } catch (...) {
        m_platform.log->Write("*** ModemInfo \n");
        throw;
    }
}

ModemInfo::~ModemInfo() = default;

void ModemInfo::ReadFromRegistry() {
    IRegistry& registry = *m_platform.registry;
    CRegKey key(registry);
    // The class-GUID layout first; the legacy layout only where that subkey is missing.
    if (key.Open(RegRoot::kLocalMachine, BuildModemKeyPath(m_nKeyIndex, false).c_str(),
                 reg::kQueryValue) != reg::kSuccess) {
        m_bLegacyKey = true;
        if (key.Open(RegRoot::kLocalMachine, BuildModemKeyPath(m_nKeyIndex, true).c_str(),
                     reg::kQueryValue) != reg::kSuccess) {
            return;
        }
    }
    m_nComPort = ReadPort(registry, key.Get());

    std::string userInit;
    m_userInitStatus = ReadText(registry, key.Get(), "UserInit", &userInit);
    m_strUserInit = NormaliseUserInit(userInit);
    ReadText(registry, key.Get(), "Model", &m_strName);
}

const std::string& ModemInfo::ReadUserInit() {
    std::string userInit;
    m_userInitStatus =
        ReadModemValue(*m_platform.registry, m_nKeyIndex, m_bLegacyKey, "UserInit", &userInit);
    m_strUserInit = NormaliseUserInit(userInit);
    return m_strUserInit;
}

void ModemInfo::ReloadModel() {
    ReadModemValue(*m_platform.registry, m_nKeyIndex, m_bLegacyKey, "Model", &m_strName);
}

bool ModemInfo::FindKeyByModel(const std::string& reportedModel) {
    IRegistry& registry = *m_platform.registry;
    const std::string reported = StripSpaces(reportedModel);
    // Every subkey of the record's own layout that exists: the one sought may lie behind a
    // hole in the numbers.
    for (int i : ListModemKeys(registry, m_bLegacyKey)) {
        CRegKey key(registry);
        if (key.Open(RegRoot::kLocalMachine, BuildModemKeyPath(i, m_bLegacyKey).c_str(),
                     reg::kQueryValue) != reg::kSuccess) {
            continue;
        }
        if (ReadPort(registry, key.Get()) != m_nComPort) {
            continue;
        }
        std::string model;
        if (ReadText(registry, key.Get(), "Model", &model) == ValueRead::kPresent &&
            reported.find(StripSpaces(model)) != std::string::npos) {
            m_nKeyIndex = i;
            return true;
        }
    }
    return false;
}

bool ModemInfo::ConnectToModem() {
    if (m_nComPort <= 0) {
        return false;
    }
    try {
        m_pPort = std::make_unique<CSerialPort>(m_platform, m_nComPort);
        if (!m_pPort->Open()) {
            m_bPortHeldElsewhere = m_pPort->IsHeldElsewhere();
            m_pPort.reset();
            return false;
        }
        if (!m_pPort->ResetAndCheckMaker()) {
            ReleasePort();
            return false;
        }
        std::string reported = m_pPort->QueryModel();
        // The record may stem from another subkey on the same port: find the one whose
        // installed model is the one that answers. Without it the port stays open; the
        // scan drops the record, and with it the port.
        if (!EqualsNoCase(reported, m_strName) && !FindKeyByModel(reported)) {
            return false;
        }
        ReloadModel();
        m_strName += " (COM" + std::to_string(m_nComPort) + ")";
        return true;
    } catch (...) {
        ReleasePort();
        m_platform.log->Write("*** Connect to modem \n");
        throw;
    }
}

void ModemInfo::ReleasePort() {
    // Another program may use the port after us, with the settings it had before; a device
    // that is not the modem sought (a mouse, a GPS receiver) needs them most.
    if (m_pPort) {
        m_pPort->CloseOrAbandon();
        m_pPort.reset();
    }
}

bool ModemInfo::ProbeCallWaiting() {
    if (!m_pPort) {
        return false;
    }
    return IsCallWaitingReplyOk(m_pPort->Exchange("at+pcw?\r"));
}

bool ModemInfo::ProbeCountry() {
    if (!m_pPort) {
        return false;
    }
    return IsGermanCountryValue(m_pPort->Query("at+gci?\r"));
}
