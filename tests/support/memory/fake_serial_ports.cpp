// The devices of the fake ports and the port list that opens them.
#include <algorithm>

#include "support/memory/fake_serial.h"

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
        if (Failed(FakeCall::kRead) || Cancelled()) {
            return false;
        }
        std::uint32_t error = 0;
        bool bFailAfter = m_port.TakeFault(FakeCall::kReadAfterData, &error);
        *received = m_port.ReadLocked(static_cast<char*>(buffer), size);
        if (bFailAfter) {
            SetLastError(error);
            return false;
        }
        return true;
    }

    bool Write(const void* data, std::uint32_t size, std::uint32_t* written) override {
        std::lock_guard<std::mutex> lock(m_port.m_mutex);
        *written = 0;
        if (Failed(FakeCall::kWrite) || Cancelled()) {
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
            SetLastError(error);
            return true;
        }
        return false;
    }

    bool Cancelled() {
        if (!m_ports.IsCancelled()) {
            return false;
        }
        SetLastError(serial_error::kOperationAborted);
        return true;
    }

    // A call that fails without an error of its own leaves the last error as it was, as a
    // Win32 call does that does not set one: only the caller's own reset can clear it.
    void SetLastError(std::uint32_t error) {
        if (error != 0) {
            m_ports.SetLastError(error);
        }
    }

    CFakeSerialPorts& m_ports;
    CFakeSerialPort& m_port;
};

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
    if (port == nullptr || m_bCancelled) {
        SetLastError(port == nullptr ? fake_serial::kErrorFileNotFound
                                     : serial_error::kOperationAborted);
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

void CFakeSerialPorts::CancelAll() {
    m_bCancelled = true;
}
