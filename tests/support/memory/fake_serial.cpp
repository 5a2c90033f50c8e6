// CFakeSerialPort: its script, faults and state, and the scripted modem. The arrival of
// bytes and the read rules are in fake_serial_timeline.cpp, the devices and the port list
// in fake_serial_ports.cpp.
#include "support/memory/fake_serial.h"

CFakeSerialPort::CFakeSerialPort(int nPort, CVirtualClock& clock)
    : m_nPort(nPort),
      m_clock(clock),
      m_settings(InitialSettings()),
      m_timeouts(InitialTimeouts()) {}

SerialLineSettings CFakeSerialPort::InitialSettings() {
    SerialLineSettings s{};
    s.DCBlength = 0x33;
    s.BaudRate = 9600;
    // Every flag that the channel must change starts at another value than the channel's
    // (fBinary and fOutxCtsFlow off, DSR flow on, DTR enabled, XON/XOFF on, RTS enabled),
    // and every flag that it must keep is set, the reserved high bits included.
    s.fFlags = dcb::kParity | dcb::kOutxDsrFlow | (1u << dcb::kDtrControlShift) |
               dcb::kDsrSensitivity | dcb::kTXContinueOnXoff | dcb::kOutX | dcb::kInX |
               dcb::kErrorChar | dcb::kNull | (1u << dcb::kRtsControlShift) | dcb::kAbortOnError |
               (0x1ABCDu << 15);
    s.wReserved = 0x1234;
    s.XonLim = 0x0BAD;
    s.XoffLim = 0x0DAD;
    s.ByteSize = 7;
    s.Parity = 2;
    s.StopBits = 2;
    s.XonChar = 'x';
    s.XoffChar = 'y';
    s.ErrorChar = '?';
    s.EofChar = 0x1A;
    s.EvtChar = '~';
    s.wReserved1 = 0x4321;
    return s;
}

SerialTimeouts CFakeSerialPort::InitialTimeouts() {
    return SerialTimeouts{11, 22, 33, 44, 55};
}

void CFakeSerialPort::Respond(const std::string& command, FakeReply reply) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_replies[command] = std::move(reply);
}

void CFakeSerialPort::QueueReply(const std::string& command, FakeReply reply) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_queuedReplies[command].push_back(std::move(reply));
}

void CFakeSerialPort::SetResponder(std::function<FakeReply(const std::string&)> responder) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_responder = std::move(responder);
}

void CFakeSerialPort::Inject(std::uint32_t nDelayMs, const std::string& bytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    Schedule(m_clock.Now(), FakeReply{{nDelayMs, bytes}});
}

void CFakeSerialPort::FailOpen(std::uint32_t error) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nOpenError = error;
}

void CFakeSerialPort::Fail(FakeCall call, std::uint32_t error, int nPassFirst, int nTimes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults[call] = Fault{error, nPassFirst, nTimes, true};
}

void CFakeSerialPort::ClearFaults() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.clear();
    m_nOpenError = 0;
}

bool CFakeSerialPort::IsOpen() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bOpen;
}

int CFakeSerialPort::GetOpenCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nOpenCount;
}

SerialLineSettings CFakeSerialPort::GetSettings() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_settings;
}

SerialTimeouts CFakeSerialPort::GetTimeouts() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_timeouts;
}

void CFakeSerialPort::SetSettings(const SerialLineSettings& settings) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_settings = settings;
}

void CFakeSerialPort::SetTimeouts(const SerialTimeouts& timeouts) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_timeouts = timeouts;
}

std::vector<std::string> CFakeSerialPort::GetWrites() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_writes;
}

std::string CFakeSerialPort::GetWrittenText() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string text;
    for (const std::string& write : m_writes) {
        text += write;
    }
    return text;
}

void CFakeSerialPort::ClearWrites() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_writes.clear();
}

std::vector<FakeCall> CFakeSerialPort::GetCallLog() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls;
}

void CFakeSerialPort::ClearCallLog() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.clear();
}

std::string CFakeSerialPort::GetPendingInput() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string text;
    for (const Pending& pending : m_input) {
        text += pending.strBytes;
    }
    return text;
}

std::uint64_t CFakeSerialPort::GetLastReadStart() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nLastReadStart;
}

std::uint64_t CFakeSerialPort::GetLastReadEnd() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nLastReadEnd;
}

bool CFakeSerialPort::TakeFault(FakeCall call, std::uint32_t* error) {
    auto it = m_faults.find(call);
    if (it == m_faults.end() || !it->second.bActive) {
        return false;
    }
    Fault& fault = it->second;
    if (fault.nPassFirst > 0) {
        --fault.nPassFirst;
        return false;
    }
    if (fault.nTimes == 0) {
        return false;
    }
    if (fault.nTimes > 0) {
        --fault.nTimes;
    }
    *error = fault.nError;
    return true;
}

void ScriptModem(CFakeSerialPort& port, const FakeModemAnswers& answers) {
    auto reply = [&](const std::string& command, const std::string& answer) {
        return FakeReply{{0, command}, {answers.nAnswerDelayMs, "\r\n" + answer + "\r\n"}};
    };
    auto query = [&](const std::string& command, const std::string& name,
                     const std::optional<std::string>& value) {
        port.Respond(command, value ? reply(command, name + ": " + *value + "\r\n\r\nOK")
                                    : reply(command, "ERROR"));
    };
    port.Respond("at&f\r", answers.bReset ? reply("at&f\r", "OK") : FakeReply{});
    query("at+gmi?\r", "+GMI", answers.strMaker);
    query("at+gmm?\r", "+GMM", answers.strModel);
    port.Respond("at+pcw?\r", answers.bCallWaiting ? reply("at+pcw?\r", "+PCW: 0\r\n\r\nOK")
                                                   : reply("at+pcw?\r", "ERROR"));
    query("at+gci?\r", "+GCI", answers.strCountry);
    const std::uint32_t delay = answers.nAnswerDelayMs;
    port.SetResponder([delay](const std::string& command) {
        return FakeReply{{0, command}, {delay, "\r\nERROR\r\n"}};
    });
}
