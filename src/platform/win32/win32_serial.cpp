#include "platform/win32/win32_serial.h"

#include <windows.h>

#include <cstring>

static_assert(sizeof(DCB) == sizeof(SerialLineSettings), "SerialLineSettings mirrors DCB");
static_assert(sizeof(COMMTIMEOUTS) == sizeof(SerialTimeouts),
              "SerialTimeouts mirrors COMMTIMEOUTS");

namespace {

// One open COM device; the handle is closed with the object.
class CWin32SerialDevice : public ISerialDevice {
public:
    explicit CWin32SerialDevice(HANDLE hComm) : m_hComm(hComm) {}
    ~CWin32SerialDevice() override { ::CloseHandle(m_hComm); }
    CWin32SerialDevice(const CWin32SerialDevice&) = delete;
    CWin32SerialDevice& operator=(const CWin32SerialDevice&) = delete;

    bool GetState(SerialLineSettings* settings) override {
        DCB dcb;
        std::memset(&dcb, 0, sizeof(dcb));
        dcb.DCBlength = sizeof(dcb);
        if (!::GetCommState(m_hComm, &dcb)) {
            return false;
        }
        std::memcpy(settings, &dcb, sizeof(dcb));
        return true;
    }

    bool SetState(const SerialLineSettings& settings) override {
        DCB dcb;
        std::memcpy(&dcb, &settings, sizeof(dcb));
        return ::SetCommState(m_hComm, &dcb) != FALSE;
    }

    bool GetTimeouts(SerialTimeouts* timeouts) override {
        COMMTIMEOUTS to;
        if (!::GetCommTimeouts(m_hComm, &to)) {
            return false;
        }
        std::memcpy(timeouts, &to, sizeof(to));
        return true;
    }

    bool SetTimeouts(const SerialTimeouts& timeouts) override {
        COMMTIMEOUTS to;
        std::memcpy(&to, &timeouts, sizeof(to));
        return ::SetCommTimeouts(m_hComm, &to) != FALSE;
    }

    bool Read(void* buffer, std::uint32_t size, std::uint32_t* received) override {
        DWORD count = 0;
        BOOL ok = ::ReadFile(m_hComm, buffer, size, &count, nullptr);
        *received = count;
        return ok != FALSE;
    }

    bool Write(const void* data, std::uint32_t size, std::uint32_t* written) override {
        DWORD count = 0;
        BOOL ok = ::WriteFile(m_hComm, data, size, &count, nullptr);
        *written = count;
        return ok != FALSE;
    }

private:
    HANDLE m_hComm;
};

}  // namespace

std::unique_ptr<ISerialDevice> CWin32SerialPorts::Open(const char* deviceName) {
    HANDLE hComm = ::CreateFileA(deviceName, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hComm == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    return std::make_unique<CWin32SerialDevice>(hComm);
}

std::uint32_t CWin32SerialPorts::GetLastError() {
    return ::GetLastError();
}

void CWin32SerialPorts::SetLastError(std::uint32_t error) {
    ::SetLastError(error);
}
