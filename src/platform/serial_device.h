// The serial device operations the tool needs, shaped after the Win32
// communications calls (CreateFileA, Get/SetCommState, Get/SetCommTimeouts,
// ReadFile, WriteFile, CloseHandle).
#pragma once

#include <cstdint>
#include <memory>

// Byte-for-byte the Win32 DCB (28 bytes), with its bit fields as one flag word, so that the
// rule "keep these bits, set those" can be stated and tested on any platform.
struct SerialLineSettings {
    std::uint32_t DCBlength;
    std::uint32_t BaudRate;
    std::uint32_t fFlags;
    std::uint16_t wReserved;
    std::uint16_t XonLim;
    std::uint16_t XoffLim;
    std::uint8_t ByteSize;
    std::uint8_t Parity;
    std::uint8_t StopBits;
    char XonChar;
    char XoffChar;
    char ErrorChar;
    char EofChar;
    char EvtChar;
    std::uint16_t wReserved1;
};
static_assert(sizeof(SerialLineSettings) == 28, "must match the Win32 DCB");

// Bits of SerialLineSettings::fFlags, in the DCB's bit-field order.
namespace dcb {
constexpr std::uint32_t kBinary = 1u << 0;
constexpr std::uint32_t kParity = 1u << 1;
constexpr std::uint32_t kOutxCtsFlow = 1u << 2;
constexpr std::uint32_t kOutxDsrFlow = 1u << 3;
constexpr std::uint32_t kDtrControlShift = 4;  // two bits
constexpr std::uint32_t kDtrControlMask = 3u << kDtrControlShift;
constexpr std::uint32_t kDsrSensitivity = 1u << 6;
constexpr std::uint32_t kTXContinueOnXoff = 1u << 7;
constexpr std::uint32_t kOutX = 1u << 8;
constexpr std::uint32_t kInX = 1u << 9;
constexpr std::uint32_t kErrorChar = 1u << 10;
constexpr std::uint32_t kNull = 1u << 11;
constexpr std::uint32_t kRtsControlShift = 12;  // two bits
constexpr std::uint32_t kRtsControlMask = 3u << kRtsControlShift;
constexpr std::uint32_t kAbortOnError = 1u << 14;

constexpr std::uint32_t kDtrControlDisable = 0;
constexpr std::uint32_t kRtsControlHandshake = 2;
constexpr std::uint8_t kNoParity = 0;
constexpr std::uint8_t kOneStopBit = 0;
}  // namespace dcb

// Byte-for-byte the Win32 COMMTIMEOUTS.
struct SerialTimeouts {
    std::uint32_t ReadIntervalTimeout;
    std::uint32_t ReadTotalTimeoutMultiplier;
    std::uint32_t ReadTotalTimeoutConstant;
    std::uint32_t WriteTotalTimeoutMultiplier;
    std::uint32_t WriteTotalTimeoutConstant;
};

// One open device. Destroying it closes the device (CloseHandle) without touching its
// settings. Failing calls set the thread's last error of the owning ISerialPorts.
class ISerialDevice {
public:
    virtual ~ISerialDevice() = default;
    virtual bool GetState(SerialLineSettings* settings) = 0;
    virtual bool SetState(const SerialLineSettings& settings) = 0;
    virtual bool GetTimeouts(SerialTimeouts* timeouts) = 0;
    virtual bool SetTimeouts(const SerialTimeouts& timeouts) = 0;
    // One blocking read governed by the device's time-outs; *received holds what arrived.
    virtual bool Read(void* buffer, std::uint32_t size, std::uint32_t* received) = 0;
    // One blocking write governed by the device's write time-outs.
    virtual bool Write(const void* data, std::uint32_t size, std::uint32_t* written) = 0;
};

// Win32 errors that the tool tells apart.
namespace serial_error {
// CreateFileA of a port that another program holds: Windows' serial driver answers with the
// first, other drivers with the second, a device locked by its holder (a terminal under Wine)
// with the third.
constexpr std::uint32_t kAccessDenied = 5;
constexpr std::uint32_t kSharingViolation = 32;
constexpr std::uint32_t kLockViolation = 33;
// A read or write ended by CancelAll.
constexpr std::uint32_t kOperationAborted = 995;
}  // namespace serial_error

// Opens devices by their Win32 name ("\\.\COM3") and keeps the thread's last-error value.
class ISerialPorts {
public:
    virtual ~ISerialPorts() = default;
    // CreateFileA, exclusive; reads and writes block their caller. Null when the device is
    // missing, busy or denied.
    virtual std::unique_ptr<ISerialDevice> Open(const char* deviceName) = 0;
    virtual std::uint32_t GetLastError() = 0;
    virtual void SetLastError(std::uint32_t error) = 0;
    // For a program that ends while another thread may still talk to a modem: from now on
    // Open opens nothing, and every read or write of a device, the one under way included,
    // ends at once failing with kOperationAborted. Line settings and time-outs can still be
    // put back. May be called from any thread; there is no way back.
    virtual void CancelAll() = 0;
};
