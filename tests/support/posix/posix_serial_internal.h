// Internals shared by the files of CPosixSerialPorts: the Win32-style last error, the
// mapping between DCB line settings and termios, and the device that one Open hands out.
#pragma once

#include <atomic>
#include <termios.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "support/posix/posix_serial.h"

namespace posix_serial {

// The thread's last error, as GetLastError reports it.
std::uint32_t& LastError();
std::uint32_t ErrorFromErrno(int error);
void FailWith(std::uint32_t error);
void FailWithErrno();

// --- Line settings (posix_line_settings.cpp) ---
constexpr std::uint32_t kDtrControlEnable = 1;
constexpr std::uint32_t kRtsControlEnable = 1;
std::uint32_t RtsControl(const SerialLineSettings& s);
std::uint32_t DtrControl(const SerialLineSettings& s);
// What a freshly opened Win32 port reports for the fields a terminal has no notion of.
SerialLineSettings DefaultShadow();
// The line settings as the terminal has them, the shadow standing in for every group of
// fields that still holds what the last SetState (reference) left there.
SerialLineSettings MergeTermios(const termios& tio, SerialLineSettings s, const termios* reference);
// The part of the DCB that termios expresses, applied to tio. False for values no Win32
// driver accepts either.
bool ApplyToTermios(const SerialLineSettings& s, termios* tio);
// Bytes pass unchanged, as through a Win32 handle; the line settings stay as found.
void MakeRaw(termios* tio);

}  // namespace posix_serial

// What a Win32 driver keeps per device beyond one handle: the DCB fields termios cannot hold
// and the time-outs, so that the next Open of the same device sees them again.
struct CPosixSerialPorts::Shared {
    struct DeviceState {
        std::optional<SerialLineSettings> shadow;
        termios reference{};  // the terminal right after the shadow was set
        SerialTimeouts timeouts{};
    };
    std::mutex mutex;
    std::atomic<bool> cancelled{false};  // CancelAll was called
    std::map<int, std::string> comPaths;
    std::map<std::string, DeviceState> devices;
};

namespace posix_serial {

// The device over an open, locked terminal fd (posix_serial_device.cpp); it closes the fd.
std::unique_ptr<ISerialDevice> MakeDevice(int fd, std::string path,
                                          std::shared_ptr<CPosixSerialPorts::Shared> shared);

}  // namespace posix_serial
