#include "modem/serial_port.h"

#include "modem/replies.h"
#include "platform/user_exception.h"

namespace {

// ERROR_INVALID_HANDLE: what Win32 reports for I/O on a closed handle.
constexpr std::uint32_t kErrorInvalidHandle = 6;

// The pause between a command and the read of its reply.
constexpr std::uint32_t kReplyPauseMs = 200;
constexpr int kExpectReplyBufferSize = 256;
constexpr int kReplyBufferSize = 1024;

// Of the DCB flag word, keep fParity, fDsrSensitivity, fTXContinueOnXoff, fErrorChar, fNull,
// fAbortOnError and the reserved bits; set fBinary, fOutxCtsFlow and RTS handshake. This
// clears fOutxDsrFlow, DTR control (DTR held off), fOutX and fInX.
constexpr std::uint32_t kKeptFlags = 0xFFFFECC7u;
constexpr std::uint32_t kSetFlags = 0x2005u;
static_assert(kSetFlags == (dcb::kBinary | dcb::kOutxCtsFlow |
                            (dcb::kRtsControlHandshake << dcb::kRtsControlShift)));
static_assert((~kKeptFlags & ~kSetFlags) == (dcb::kOutxDsrFlow | dcb::kDtrControlMask | dcb::kOutX |
                                             dcb::kInX | (1u << dcb::kRtsControlShift)));

constexpr SerialTimeouts kChannelTimeouts = {200, 100, 1000, 100, 1000};

}  // namespace

CSerialPort::CSerialPort(const Platform& platform, int nPort)
    : m_platform(platform), m_nPort(nPort) {}

CSerialPort::~CSerialPort() = default;

bool CSerialPort::Open() {
    ISerialPorts& ports = *m_platform.serial;
    ports.SetLastError(0);
    if (m_hComm) {
        // The port is ours already. Opening it again would fail against our own exclusive
        // handle and lose the settings saved for Close; the open channel serves as it is.
        return true;
    }
    const std::string name = "\\\\.\\COM" + std::to_string(m_nPort);
    m_hComm = ports.Open(name.c_str());
    if (!m_hComm) {
        const std::uint32_t error = ports.GetLastError();
        m_bHeldElsewhere = error == serial_error::kAccessDenied ||
                           error == serial_error::kSharingViolation ||
                           error == serial_error::kLockViolation;
        return false;
    }
    m_bHeldElsewhere = false;
    try {
        ApplyLineSettings();
        ApplyTimeouts();
    } catch (...) {
        m_hComm.reset();
        m_platform.log->Write("*** Open Port \n");
        throw;
    }
    return true;
}

void CSerialPort::ApplyLineSettings() {
    if (!m_hComm->GetState(&m_dcbSaved)) {
        throw CUserException();
    }
    SerialLineSettings dcb{};
    if (!m_hComm->GetState(&dcb)) {
        throw CUserException();
    }
    dcb.DCBlength = sizeof(SerialLineSettings);
    dcb.BaudRate = 115200;
    dcb.ByteSize = 8;
    dcb.Parity = dcb::kNoParity;
    dcb.StopBits = dcb::kOneStopBit;
    dcb.fFlags = (dcb.fFlags & kKeptFlags) | kSetFlags;
    if (!m_hComm->SetState(dcb)) {
        throw CUserException();
    }
}

void CSerialPort::ApplyTimeouts() {
    if (!m_hComm->GetTimeouts(&m_toSaved)) {
        throw CUserException();
    }
    SerialTimeouts timeouts{};
    if (!m_hComm->GetTimeouts(&timeouts)) {
        throw CUserException();
    }
    timeouts = kChannelTimeouts;
    if (!m_hComm->SetTimeouts(timeouts)) {
        throw CUserException();
    }
}

void CSerialPort::Close() {
    if (!m_hComm) {
        return;
    }
    // Time-outs first, then the line settings: the order in which they were taken over.
    if (!m_hComm->SetTimeouts(m_toSaved)) {
        throw CUserException();
    }
    if (!m_hComm->SetState(m_dcbSaved)) {
        throw CUserException();
    }
    m_hComm.reset();
}

bool CSerialPort::CloseOrAbandon() {
    try {
        Close();
        return true;
    } catch (...) {
        Abandon();
        return false;
    }
}

bool CSerialPort::Write(const void* data, int length) {
    ISerialPorts& ports = *m_platform.serial;
    ports.SetLastError(0);
    if (!m_hComm) {
        // As WriteFile on a closed handle.
        ports.SetLastError(kErrorInvalidHandle);
        return false;
    }
    std::uint32_t written = 0;
    std::uint32_t size = length > 0 ? static_cast<std::uint32_t>(length) : 0;
    if (m_hComm->Write(data, size, &written)) {
        return true;
    }
    // A failure without a last error is taken as a write that went through.
    return ports.GetLastError() == 0;
}

int CSerialPort::Read(void* buffer, int size) {
    std::uint32_t received = 0;
    if (m_hComm && size > 0) {
        // A failing read is not reported here; the count is what the call stored.
        m_hComm->Read(buffer, static_cast<std::uint32_t>(size), &received);
    }
    int count = static_cast<int>(received);
    if (count < size - 1) {
        static_cast<char*>(buffer)[count] = '\0';
    }
    return count;
}

std::uint32_t CSerialPort::ReadChecked(char* buffer, std::uint32_t size) {
    ISerialPorts& ports = *m_platform.serial;
    std::uint32_t received = 0;
    if (!m_hComm) {
        // As ReadFile on a closed handle.
        ports.SetLastError(kErrorInvalidHandle);
        throw CUserException();
    }
    if (!m_hComm->Read(buffer, size, &received) && ports.GetLastError() != 0) {
        throw CUserException();
    }
    return received;
}

bool CSerialPort::SendExpectReply(const char* command, int maxReply) {
    if (!Write(command, static_cast<int>(std::char_traits<char>::length(command)))) {
        return false;
    }
    m_platform.sleeper->Sleep(kReplyPauseMs);
    char buffer[kExpectReplyBufferSize] = {};
    // The read never asks for more than the buffer holds.
    if (maxReply > kExpectReplyBufferSize) {
        maxReply = kExpectReplyBufferSize;
    }
    if (maxReply < 0) {
        maxReply = 0;
    }
    std::uint32_t received = ReadChecked(buffer, static_cast<std::uint32_t>(maxReply));
    return received >= 3;
}

std::string CSerialPort::Exchange(const char* command) {
    Write(command, static_cast<int>(std::char_traits<char>::length(command)));
    m_platform.sleeper->Sleep(kReplyPauseMs);
    char buffer[kReplyBufferSize];
    std::uint32_t received = ReadChecked(buffer, sizeof(buffer));
    return std::string(buffer, received);
}

std::string CSerialPort::Query(const char* command) {
    std::optional<std::string> value = ExtractQueryValue(Exchange(command));
    if (!value) {
        throw CUserException();
    }
    return *value;
}

std::string CSerialPort::ReadResponse() {
    char buffer[kReplyBufferSize];
    int received = Read(buffer, sizeof(buffer));
    return std::string(buffer, static_cast<std::size_t>(received));
}

bool CSerialPort::ResetAndCheckMaker() {
    if (!SendExpectReply("at&f\r", 8)) {
        return false;
    }
    return IsMakerValue(Query("at+gmi?\r"));
}

std::string CSerialPort::QueryModel() {
    return StripEnclosingQuotes(Query("at+gmm?\r"));
}
