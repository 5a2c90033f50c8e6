// The device one CPosixSerialPorts::Open hands out: line settings kept with a shadow of what
// termios cannot hold, and reads and writes ended by the Win32 COMMTIMEOUTS rules.
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <limits>
#include <utility>

#include "support/posix/posix_serial_internal.h"

namespace posix_serial {

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint32_t kMaxDword = 0xFFFFFFFFu;

int PollMs(Clock::time_point now, Clock::time_point deadline) {
    if (deadline <= now) {
        return 0;
    }
    // Round up, so that a wake-up never comes before the deadline.
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
    return static_cast<int>(std::min<long long>(ms, std::numeric_limits<int>::max()));
}

class CPosixSerialDevice : public ISerialDevice {
public:
    CPosixSerialDevice(int fd, std::string path, std::shared_ptr<CPosixSerialPorts::Shared> shared)
        : m_nFd(fd), m_strPath(std::move(path)), m_shared(std::move(shared)) {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        const auto& state = m_shared->devices[m_strPath];
        m_shadow = state.shadow.value_or(DefaultShadow());
        if (state.shadow) {
            m_reference = state.reference;
        }
        m_timeouts = state.timeouts;
    }

    ~CPosixSerialDevice() override {
        // The exclusive flag outlives the descriptor while anyone else keeps the terminal
        // open, so it is dropped explicitly; the flock goes with the descriptor.
        ioctl(m_nFd, TIOCNXCL);
        close(m_nFd);
    }

    bool GetState(SerialLineSettings* settings) override {
        termios tio{};
        if (tcgetattr(m_nFd, &tio) != 0) {
            FailWithErrno();
            return false;
        }
        *settings = MergeTermios(tio, m_shadow, m_reference ? &*m_reference : nullptr);
        return true;
    }

    bool SetState(const SerialLineSettings& settings) override {
        termios tio{};
        if (tcgetattr(m_nFd, &tio) != 0) {
            FailWithErrno();
            return false;
        }
        if (!ApplyToTermios(settings, &tio)) {
            FailWith(posix_error::kInvalidParameter);
            return false;
        }
        if (tcsetattr(m_nFd, TCSANOW, &tio) != 0) {
            FailWithErrno();
            return false;
        }
        // What the driver made of the request, so that GetState can tell our settings from
        // later changes by someone else.
        termios applied{};
        if (tcgetattr(m_nFd, &applied) != 0) {
            FailWithErrno();
            return false;
        }
        m_shadow = settings;
        m_reference = applied;
        ApplyModemLines(settings);
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        auto& state = m_shared->devices[m_strPath];
        state.shadow = settings;
        state.reference = applied;
        return true;
    }

    bool GetTimeouts(SerialTimeouts* timeouts) override {
        *timeouts = m_timeouts;
        return true;
    }

    bool SetTimeouts(const SerialTimeouts& timeouts) override {
        m_timeouts = timeouts;
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_shared->devices[m_strPath].timeouts = timeouts;
        return true;
    }

    bool Read(void* buffer, std::uint32_t size, std::uint32_t* received) override;
    bool Write(const void* data, std::uint32_t size, std::uint32_t* written) override;

private:
    // DTR and RTS follow their DCB controls where the device has such lines (a real port);
    // a pseudo-terminal has none, and that is no failure.
    void ApplyModemLines(const SerialLineSettings& s) {
        int line = TIOCM_DTR;
        if (DtrControl(s) == dcb::kDtrControlDisable) {
            ioctl(m_nFd, TIOCMBIC, &line);
        } else if (DtrControl(s) == kDtrControlEnable) {
            ioctl(m_nFd, TIOCMBIS, &line);
        }
        line = TIOCM_RTS;
        if (RtsControl(s) == 0) {
            ioctl(m_nFd, TIOCMBIC, &line);
        } else if (RtsControl(s) == kRtsControlEnable) {
            ioctl(m_nFd, TIOCMBIS, &line);
        }
    }

    // One non-blocking read into the rest of the buffer: bytes read, 0 when none is waiting,
    // -1 when the line is gone or failed (last error set).
    long ReadSome(char* into, std::uint32_t room) {
        for (;;) {
            const ssize_t got = read(m_nFd, into, room);
            if (got > 0) {
                return static_cast<long>(got);
            }
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                return 0;
            }
            // End of file on a terminal: the other side hung up.
            FailWith(got == 0 ? posix_error::kDeviceGone : ErrorFromErrno(errno));
            return -1;
        }
    }

    int m_nFd;
    std::string m_strPath;
    std::shared_ptr<CPosixSerialPorts::Shared> m_shared;
    SerialLineSettings m_shadow{};
    std::optional<termios> m_reference;  // unset until a SetState on this device path
    SerialTimeouts m_timeouts{};
};

// The Win32 rules for a read of n bytes: done with n bytes; done once a byte has come and the
// gap after the latest byte exceeds ReadIntervalTimeout; done when Multiplier*n+Constant has
// passed since the start. Zero intervals and totals mean "no such limit". An interval of
// MAXDWORD with zero totals returns at once with what is waiting; with a MAXDWORD multiplier
// and a finite constant it waits up to the constant for the first byte and returns with it.
bool CPosixSerialDevice::Read(void* buffer, std::uint32_t size, std::uint32_t* received) {
    *received = 0;
    if (m_shared->cancelled) {
        FailWith(serial_error::kOperationAborted);
        return false;
    }
    if (size == 0) {
        return true;
    }
    const SerialTimeouts& to = m_timeouts;
    const auto start = Clock::now();
    bool bImmediate = false;
    bool bReturnOnFirstBytes = false;
    std::optional<Clock::time_point> totalDeadline;
    std::optional<std::chrono::milliseconds> interval;
    if (to.ReadIntervalTimeout == kMaxDword && to.ReadTotalTimeoutMultiplier == 0 &&
        to.ReadTotalTimeoutConstant == 0) {
        bImmediate = true;
    } else if (to.ReadIntervalTimeout == kMaxDword && to.ReadTotalTimeoutMultiplier == kMaxDword &&
               to.ReadTotalTimeoutConstant != 0 && to.ReadTotalTimeoutConstant != kMaxDword) {
        bReturnOnFirstBytes = true;
        totalDeadline = start + std::chrono::milliseconds(to.ReadTotalTimeoutConstant);
    } else {
        const std::uint64_t total =
            std::uint64_t{to.ReadTotalTimeoutMultiplier} * size + to.ReadTotalTimeoutConstant;
        if (total != 0) {
            totalDeadline = start + std::chrono::milliseconds(total);
        }
        if (to.ReadIntervalTimeout != 0) {
            interval = std::chrono::milliseconds(to.ReadIntervalTimeout);
        }
    }

    char* const bytes = static_cast<char*>(buffer);
    Clock::time_point lastByte{};
    for (;;) {
        const long got = ReadSome(bytes + *received, size - *received);
        if (got < 0) {
            // What arrived before the line went away is still handed over; the failure shows
            // at the next read.
            return *received > 0;
        }
        if (got > 0) {
            *received += static_cast<std::uint32_t>(got);
            lastByte = Clock::now();
        }
        if (*received == size || bImmediate || (bReturnOnFirstBytes && *received > 0)) {
            return true;
        }
        const auto now = Clock::now();
        std::optional<Clock::time_point> deadline = totalDeadline;
        if (interval && *received > 0) {
            const auto gapEnd = lastByte + *interval;
            deadline = deadline ? std::min(*deadline, gapEnd) : gapEnd;
        }
        if (deadline && now >= *deadline) {
            return true;
        }
        pollfd pfd{m_nFd, POLLIN, 0};
        const int ready = poll(&pfd, 1, deadline ? PollMs(now, *deadline) : -1);
        if (ready < 0 && errno != EINTR) {
            FailWithErrno();
            return *received > 0;
        }
        // On readiness, hang-up or error the next ReadSome tells which; on time-out the
        // deadline check above ends the read.
    }
}

bool CPosixSerialDevice::Write(const void* data, std::uint32_t size, std::uint32_t* written) {
    *written = 0;
    if (m_shared->cancelled) {
        FailWith(serial_error::kOperationAborted);
        return false;
    }
    const std::uint64_t total = std::uint64_t{m_timeouts.WriteTotalTimeoutMultiplier} * size +
                                m_timeouts.WriteTotalTimeoutConstant;
    std::optional<Clock::time_point> deadline;
    if (total != 0) {
        deadline = Clock::now() + std::chrono::milliseconds(total);
    }
    const char* const bytes = static_cast<const char*>(data);
    while (*written < size) {
        const ssize_t put = write(m_nFd, bytes + *written, size - *written);
        if (put > 0) {
            *written += static_cast<std::uint32_t>(put);
            continue;
        }
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            FailWithErrno();
            return false;
        }
        // The line is full: wait for room until the write time-out; what is left then is
        // dropped and the write still counts as done, as a timed-out WriteFile does.
        const auto now = Clock::now();
        if (deadline && now >= *deadline) {
            return true;
        }
        pollfd pfd{m_nFd, POLLOUT, 0};
        if (poll(&pfd, 1, deadline ? PollMs(now, *deadline) : -1) < 0 && errno != EINTR) {
            FailWithErrno();
            return false;
        }
    }
    return true;
}

}  // namespace

std::unique_ptr<ISerialDevice> MakeDevice(int fd, std::string path,
                                          std::shared_ptr<CPosixSerialPorts::Shared> shared) {
    return std::make_unique<CPosixSerialDevice>(fd, std::move(path), std::move(shared));
}

}  // namespace posix_serial
