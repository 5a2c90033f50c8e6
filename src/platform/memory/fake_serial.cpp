#include "platform/memory/fake_serial.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace {

constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();

}  // namespace

// One open device of a fake port. Destroying it closes the port, leaving its settings as
// they are, like CloseHandle.
class CFakeSerialDevice : public ISerialDevice {
public:
    CFakeSerialDevice(CFakeSerialPorts& ports, CFakeSerialPort& port)
        : m_ports(ports), m_port(port) {}

    ~CFakeSerialDevice() override {
        std::lock_guard<std::mutex> lock(m_port.m_mutex);
        m_port.m_calls.push_back(FakeCall::kClose);
        m_port.m_bOpen = false;
    }

    bool GetState(SerialLineSettings* settings) override {
        std::lock_guard<std::mutex> lock(m_port.m_mutex);
        if (Failed(FakeCall::kGetState)) {
            return false;
        }
        *settings = m_port.m_settings;
        return true;
    }

    bool SetState(const SerialLineSettings& settings) override {
        std::lock_guard<std::mutex> lock(m_port.m_mutex);
        if (Failed(FakeCall::kSetState)) {
            return false;
        }
        m_port.m_settings = settings;
        return true;
    }

    bool GetTimeouts(SerialTimeouts* timeouts) override {
        std::lock_guard<std::mutex> lock(m_port.m_mutex);
        if (Failed(FakeCall::kGetTimeouts)) {
            return false;
        }
        *timeouts = m_port.m_timeouts;
        return true;
    }

    bool SetTimeouts(const SerialTimeouts& timeouts) override {
        std::lock_guard<std::mutex> lock(m_port.m_mutex);
        if (Failed(FakeCall::kSetTimeouts)) {
            return false;
        }
        m_port.m_timeouts = timeouts;
        return true;
    }

    bool Read(void* buffer, std::uint32_t size, std::uint32_t* received) override {
        std::lock_guard<std::mutex> lock(m_port.m_mutex);
        *received = 0;
        if (Failed(FakeCall::kRead)) {
            return false;
        }
        std::uint32_t error = 0;
        bool bFailAfter = m_port.TakeFault(FakeCall::kReadAfterData, &error);
        *received = m_port.ReadLocked(static_cast<char*>(buffer), size);
        if (bFailAfter) {
            m_ports.SetLastError(error);
            return false;
        }
        return true;
    }

    bool Write(const void* data, std::uint32_t size, std::uint32_t* written) override {
        std::lock_guard<std::mutex> lock(m_port.m_mutex);
        *written = 0;
        if (Failed(FakeCall::kWrite)) {
            return false;
        }
        std::string command(static_cast<const char*>(data), size);
        m_port.m_writes.push_back(command);
        *written = size;
        m_port.Schedule(m_port.m_clock.Now(), m_port.AnswerFor(command));
        return true;
    }

private:
    // Logs the call and applies an injected fault to it.
    bool Failed(FakeCall call) {
        m_port.m_calls.push_back(call);
        std::uint32_t error = 0;
        if (m_port.TakeFault(call, &error)) {
            m_ports.SetLastError(error);
            return true;
        }
        return false;
    }

    CFakeSerialPorts& m_ports;
    CFakeSerialPort& m_port;
};

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

void CFakeSerialPort::Schedule(std::uint64_t start, const FakeReply& reply) {
    std::uint64_t arrival = start;
    for (const FakeBurst& burst : reply) {
        arrival += burst.nDelayMs;
        if (burst.strBytes.empty()) {
            continue;
        }
        // Keep the input ordered by arrival; bursts of the same instant keep their order.
        auto pos = std::upper_bound(
            m_input.begin(), m_input.end(), arrival,
            [](std::uint64_t time, const Pending& pending) { return time < pending.nArrival; });
        m_input.insert(pos, Pending{arrival, burst.strBytes});
    }
}

FakeReply CFakeSerialPort::AnswerFor(const std::string& command) {
    auto queued = m_queuedReplies.find(command);
    if (queued != m_queuedReplies.end() && !queued->second.empty()) {
        FakeReply reply = std::move(queued->second.front());
        queued->second.pop_front();
        return reply;
    }
    auto standing = m_replies.find(command);
    if (standing != m_replies.end()) {
        return standing->second;
    }
    if (m_responder) {
        return m_responder(command);
    }
    return {};
}

// One ReadFile under the Win32 COMMTIMEOUTS rules:
// - ReadIntervalTimeout MAXDWORD with both totals 0: return at once with what has arrived;
// - ReadIntervalTimeout and ReadTotalTimeoutMultiplier MAXDWORD, constant between: return as
//   soon as anything has arrived, or with nothing after the constant;
// - otherwise the read ends when size bytes have arrived, or when at least one byte has
//   arrived and then more than ReadIntervalTimeout ms (0: no limit) pass without a further
//   byte, or when Multiplier * size + Constant ms (both 0: no limit) have passed.
std::uint32_t CFakeSerialPort::ReadLocked(char* buffer, std::uint32_t size) {
    const std::uint64_t start = m_clock.Now();
    const SerialTimeouts to = m_timeouts;
    m_nLastReadStart = start;
    std::uint32_t received = 0;

    auto take = [&](Pending& pending) {
        std::uint32_t count = static_cast<std::uint32_t>(
            std::min<std::uint64_t>(size - received, pending.strBytes.size()));
        std::memcpy(buffer + received, pending.strBytes.data(), count);
        received += count;
        pending.strBytes.erase(0, count);
        if (pending.strBytes.empty()) {
            m_input.pop_front();
        }
    };
    auto finish = [&](std::uint64_t end) {
        m_clock.AdvanceTo(end);
        m_nLastReadEnd = std::max(end, start);
        return received;
    };

    if (size == 0) {
        return finish(start);
    }

    using fake_serial::kMaxDword;
    if (to.ReadIntervalTimeout == kMaxDword && to.ReadTotalTimeoutMultiplier == 0 &&
        to.ReadTotalTimeoutConstant == 0) {
        while (received < size && !m_input.empty() && m_input.front().nArrival <= start) {
            take(m_input.front());
        }
        return finish(start);
    }
    if (to.ReadIntervalTimeout == kMaxDword && to.ReadTotalTimeoutMultiplier == kMaxDword &&
        to.ReadTotalTimeoutConstant > 0 && to.ReadTotalTimeoutConstant < kMaxDword) {
        const std::uint64_t deadline = start + to.ReadTotalTimeoutConstant;
        if (m_input.empty() || m_input.front().nArrival >= deadline) {
            return finish(deadline);
        }
        const std::uint64_t first = std::max(m_input.front().nArrival, start);
        while (received < size && !m_input.empty() &&
               std::max(m_input.front().nArrival, start) <= first) {
            take(m_input.front());
        }
        return finish(first);
    }

    const bool bTotal = to.ReadTotalTimeoutMultiplier != 0 || to.ReadTotalTimeoutConstant != 0;
    const std::uint64_t deadline =
        bTotal ? start + std::uint64_t{to.ReadTotalTimeoutMultiplier} * size +
                     to.ReadTotalTimeoutConstant
               : kNever;
    const bool bInterval = to.ReadIntervalTimeout != 0;
    std::uint64_t lastByte = 0;
    bool bAny = false;

    // The moment the read gives up if nothing more arrives: the total time-out, or the first
    // millisecond in which the gap after the last byte exceeds the interval time-out.
    auto giveUp = [&]() {
        std::uint64_t end = deadline;
        if (bAny && bInterval) {
            end = std::min(end, lastByte + to.ReadIntervalTimeout + 1);
        }
        return end;
    };

    while (received < size && !m_input.empty()) {
        const std::uint64_t arrival = std::max(m_input.front().nArrival, start);
        const std::uint64_t end = giveUp();
        if (arrival >= end) {
            return finish(end);
        }
        take(m_input.front());
        lastByte = arrival;
        bAny = true;
    }
    if (received == size) {
        return finish(bAny ? lastByte : start);
    }
    const std::uint64_t end = giveUp();
    if (end == kNever) {
        throw std::logic_error("fake serial read without time-outs would block forever");
    }
    return finish(end);
}

CFakeSerialPort& CFakeSerialPorts::AddPort(int nPort) {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::unique_ptr<CFakeSerialPort>& port = m_ports[nPort];
    if (!port) {
        port = std::make_unique<CFakeSerialPort>(nPort, m_clock);
    }
    return *port;
}

CFakeSerialPort* CFakeSerialPorts::GetPort(int nPort) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_ports.find(nPort);
    return it == m_ports.end() ? nullptr : it->second.get();
}

std::vector<std::string> CFakeSerialPorts::GetOpenedNames() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_openedNames;
}

std::unique_ptr<ISerialDevice> CFakeSerialPorts::Open(const char* deviceName) {
    static const std::string kPrefix = "\\\\.\\COM";
    std::string name = deviceName != nullptr ? deviceName : "";
    CFakeSerialPort* port = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_openedNames.push_back(name);
        if (name.compare(0, kPrefix.size(), kPrefix) == 0 && name.size() > kPrefix.size()) {
            std::string digits = name.substr(kPrefix.size());
            bool bDigits =
                digits.size() <= 9 && std::all_of(digits.begin(), digits.end(),
                                                  [](char c) { return c >= '0' && c <= '9'; });
            if (bDigits && digits[0] != '0') {
                auto it = m_ports.find(std::stoi(digits));
                if (it != m_ports.end()) {
                    port = it->second.get();
                }
            }
        }
    }
    if (port == nullptr) {
        SetLastError(fake_serial::kErrorFileNotFound);
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(port->m_mutex);
    port->m_calls.push_back(FakeCall::kOpen);
    if (port->m_nOpenError != 0 || port->m_bOpen) {
        SetLastError(port->m_bOpen ? fake_serial::kErrorAccessDenied : port->m_nOpenError);
        return nullptr;
    }
    port->m_bOpen = true;
    ++port->m_nOpenCount;
    return std::make_unique<CFakeSerialDevice>(*this, *port);
}

std::uint32_t CFakeSerialPorts::GetLastError() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nLastError;
}

void CFakeSerialPorts::SetLastError(std::uint32_t error) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nLastError = error;
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
