// Serial devices on POSIX terminals (termios), behaving like a Win32 COM port handle: opened
// exclusively, line settings in DCB form, reads and writes ended by COMMTIMEOUTS-style rules.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "platform/serial_device.h"

// Last-error values. The Win32 codes the callers may meet on Windows too; any other failure
// is kErrnoBase | errno, so that it is never 0 and still tells what happened.
namespace posix_error {
constexpr std::uint32_t kFileNotFound = 2;       // ERROR_FILE_NOT_FOUND
constexpr std::uint32_t kAccessDenied = 5;       // ERROR_ACCESS_DENIED: in use or denied
constexpr std::uint32_t kInvalidHandle = 6;      // ERROR_INVALID_HANDLE
constexpr std::uint32_t kInvalidParameter = 87;  // ERROR_INVALID_PARAMETER
constexpr std::uint32_t kDeviceGone = 1167;      // ERROR_DEVICE_NOT_CONNECTED: hung up
constexpr std::uint32_t kErrnoBase = 0x20000000;
}  // namespace posix_error

class CPosixSerialPorts : public ISerialPorts {
public:
    // comPaths maps COM numbers to device paths ({3, "/dev/pts/7"} serves "\\.\COM3").
    // A name that is not of the form "\\.\COMn" is opened as a path itself.
    explicit CPosixSerialPorts(std::map<int, std::string> comPaths = {});
    ~CPosixSerialPorts() override;

    void MapComPort(int nPort, std::string path);

    // The device is opened read-write without becoming the controlling terminal, locked
    // (flock and TIOCEXCL) so that a second Open fails with kAccessDenied, put into raw mode
    // with its line settings kept, and its stale input and output discarded, as a Win32
    // port starts with empty buffers.
    std::unique_ptr<ISerialDevice> Open(const char* deviceName) override;
    std::uint32_t GetLastError() override;
    void SetLastError(std::uint32_t error) override;
    // Looked at when a call begins: a read or write already waiting runs to its time-out.
    void CancelAll() override;

    struct Shared;

private:
    std::shared_ptr<Shared> m_shared;
};
