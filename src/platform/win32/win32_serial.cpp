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
    CWin32SerialDevice(HANDLE hComm, HANDLE hCancel)
        : m_hComm(hComm),
          m_hCancel(hCancel),
          m_hDone(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
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
        return Transfer(
            [&](OVERLAPPED* pOverlapped) {
                return ::ReadFile(m_hComm, buffer, size, nullptr, pOverlapped);
            },
            received);
    }

    bool Write(const void* data, std::uint32_t size, std::uint32_t* written) override {
        return Transfer(
            [&](OVERLAPPED* pOverlapped) {
                return ::WriteFile(m_hComm, data, size, nullptr, pOverlapped);
            },
            written);
    }

private:
    // One read or write, which the port's time-outs end as they end a blocking one. The
    // handle is overlapped only so that CancelAll can end the wait: the caller still blocks.
    template <typename Start>
    bool Transfer(Start start, std::uint32_t* transferred) {
        *transferred = 0;
        if (!m_hDone || ::WaitForSingleObject(m_hCancel, 0) == WAIT_OBJECT_0) {
            ::SetLastError(m_hDone ? ERROR_OPERATION_ABORTED : ERROR_NOT_ENOUGH_MEMORY);
            return false;
        }
        OVERLAPPED overlapped{};
        overlapped.hEvent = m_hDone.Get();
        if (!start(&overlapped) && ::GetLastError() != ERROR_IO_PENDING) {
            return false;
        }
        const HANDLE waits[] = {m_hDone.Get(), m_hCancel};
        if (::WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
            ::CancelIo(m_hComm);  // then the result below is ERROR_OPERATION_ABORTED
        }
        // Waits for the end of the transfer in every case: the buffer and the OVERLAPPED
        // must outlive it.
        DWORD count = 0;
        const BOOL ok = ::GetOverlappedResult(m_hComm, &overlapped, &count, TRUE);
        *transferred = count;
        return ok != FALSE;
    }

    HANDLE m_hComm;
    HANDLE m_hCancel;       // the ports' cancel event, which outlives the device
    CKernelHandle m_hDone;  // manual reset: the transfer under way is done
};

}  // namespace

CWin32SerialPorts::CWin32SerialPorts() : m_hCancel(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

std::unique_ptr<ISerialDevice> CWin32SerialPorts::Open(const char* deviceName) {
    if (::WaitForSingleObject(m_hCancel.Get(), 0) == WAIT_OBJECT_0) {
        ::SetLastError(ERROR_OPERATION_ABORTED);
        return nullptr;
    }
    HANDLE hComm =
        ::CreateFileA(deviceName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    if (hComm == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    return std::make_unique<CWin32SerialDevice>(hComm, m_hCancel.Get());
}

std::uint32_t CWin32SerialPorts::GetLastError() {
    return ::GetLastError();
}

void CWin32SerialPorts::SetLastError(std::uint32_t error) {
    ::SetLastError(error);
}

void CWin32SerialPorts::CancelAll() {
    ::SetEvent(m_hCancel.Get());
}
