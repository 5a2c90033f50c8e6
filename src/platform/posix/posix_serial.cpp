#include "platform/posix/posix_serial.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <optional>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint32_t kMaxDword = 0xFFFFFFFFu;

// Like the Win32 last error: one value per thread, shared by every port object.
thread_local std::uint32_t t_nLastError = 0;

std::uint32_t ErrorFromErrno(int error) {
    switch (error) {
        case ENOENT:
        case ENXIO:
        case ENODEV:
        case ENOTDIR:
            return posix_error::kFileNotFound;
        case EACCES:
        case EPERM:
        case EBUSY:
        case EWOULDBLOCK:
            return posix_error::kAccessDenied;
        case EBADF:
            return posix_error::kInvalidHandle;
        case EINVAL:
            return posix_error::kInvalidParameter;
        case EIO:
        case EPIPE:
            return posix_error::kDeviceGone;
        default:
            return posix_error::kErrnoBase | static_cast<std::uint32_t>(error);
    }
}

void FailWith(std::uint32_t error) {
    t_nLastError = error;
}
void FailWithErrno() {
    FailWith(ErrorFromErrno(errno));
}

// "\\.\COMn" (any case of "com") gives n; anything else is not a COM name.
std::optional<int> ParseComName(const char* name) {
    if (std::strncmp(name, "\\\\.\\", 4) != 0 || strncasecmp(name + 4, "com", 3) != 0) {
        return std::nullopt;
    }
    const char* digits = name + 7;
    if (*digits < '0' || *digits > '9') {
        return std::nullopt;
    }
    char* end = nullptr;
    errno = 0;
    const long number = std::strtol(digits, &end, 10);
    if (*end != '\0' || errno != 0 || number > std::numeric_limits<int>::max()) {
        return std::nullopt;
    }
    return static_cast<int>(number);
}

struct BaudCode {
    std::uint32_t nBaud;
    speed_t code;
};
// The Win32 CBR_ rates that a terminal can run at, and the faster ones of today's adapters.
// 14400, 128000 and 256000 have no termios code and are refused.
constexpr BaudCode kBauds[] = {
    {110, B110},       {300, B300},       {600, B600},         {1200, B1200},     {2400, B2400},
    {4800, B4800},     {9600, B9600},     {19200, B19200},     {38400, B38400},   {57600, B57600},
    {115200, B115200}, {230400, B230400}, {460800, B460800},   {921600, B921600}, {50, B50},
    {75, B75},         {134, B134},       {150, B150},         {200, B200},       {1800, B1800},
    {500000, B500000}, {576000, B576000}, {1000000, B1000000},
};

std::optional<speed_t> SpeedCode(std::uint32_t nBaud) {
    for (const BaudCode& entry : kBauds) {
        if (entry.nBaud == nBaud) {
            return entry.code;
        }
    }
    return std::nullopt;
}

std::optional<std::uint32_t> BaudOf(speed_t code) {
    for (const BaudCode& entry : kBauds) {
        if (entry.code == code) {
            return entry.nBaud;
        }
    }
    return std::nullopt;
}

constexpr std::uint8_t kOddParity = 1;
constexpr std::uint8_t kEvenParity = 2;
constexpr std::uint8_t kMarkParity = 3;
constexpr std::uint8_t kSpaceParity = 4;
constexpr std::uint8_t kOne5StopBits = 1;
constexpr std::uint8_t kTwoStopBits = 2;
constexpr std::uint32_t kDtrControlEnable = 1;
constexpr std::uint32_t kRtsControlEnable = 1;

std::uint32_t RtsControl(const SerialLineSettings& s) {
    return (s.fFlags & dcb::kRtsControlMask) >> dcb::kRtsControlShift;
}
std::uint32_t DtrControl(const SerialLineSettings& s) {
    return (s.fFlags & dcb::kDtrControlMask) >> dcb::kDtrControlShift;
}
void SetFlag(SerialLineSettings& s, std::uint32_t flag, bool bOn) {
    s.fFlags = bOn ? (s.fFlags | flag) : (s.fFlags & ~flag);
}
bool UsesHardwareFlow(const SerialLineSettings& s) {
    return (s.fFlags & dcb::kOutxCtsFlow) || RtsControl(s) == dcb::kRtsControlHandshake;
}

// What a freshly opened Win32 port reports for the fields a terminal has no notion of.
SerialLineSettings DefaultShadow() {
    SerialLineSettings s{};
    s.DCBlength = sizeof(SerialLineSettings);
    s.BaudRate = 9600;
    s.fFlags = dcb::kBinary | (kDtrControlEnable << dcb::kDtrControlShift) |
               (kRtsControlEnable << dcb::kRtsControlShift);
    s.XonLim = 2048;
    s.XoffLim = 512;
    s.ByteSize = 8;
    s.XonChar = 0x11;
    s.XoffChar = 0x13;
    return s;
}

// The line settings as the terminal has them. Each group of termios fields that still holds
// what the last SetState left there (reference) is reported from the shadow, which is what
// that SetState stored: termios may have no way to say it (1.5 stop bits, DTR held off), or
// the driver may have bent it (a pseudo-terminal always runs 8 bits without parity). A group
// changed since, by someone else, is reported as it now is.
SerialLineSettings MergeTermios(const termios& tio, SerialLineSettings s,
                                const termios* reference) {
    const auto changed = [&](tcflag_t termios::*field, tcflag_t mask) {
        return !reference || (tio.*field & mask) != (reference->*field & mask);
    };
    if (const auto baud = BaudOf(cfgetospeed(&tio));
        baud && (!reference || cfgetospeed(&tio) != cfgetospeed(reference))) {
        s.BaudRate = *baud;
    }
    if (changed(&termios::c_cflag, CSIZE)) {
        static const std::pair<tcflag_t, std::uint8_t> kSizes[] = {
            {CS5, 5}, {CS6, 6}, {CS7, 7}, {CS8, 8}};
        for (const auto& [size, nBits] : kSizes) {
            if ((tio.c_cflag & CSIZE) == size) {
                s.ByteSize = nBits;
            }
        }
    }
    if (changed(&termios::c_cflag, PARENB | PARODD | CMSPAR)) {
        if (!(tio.c_cflag & PARENB)) {
            s.Parity = dcb::kNoParity;
        } else if (tio.c_cflag & CMSPAR) {
            s.Parity = (tio.c_cflag & PARODD) ? kMarkParity : kSpaceParity;
        } else {
            s.Parity = (tio.c_cflag & PARODD) ? kOddParity : kEvenParity;
        }
    }
    if (changed(&termios::c_cflag, CSTOPB)) {
        s.StopBits = (tio.c_cflag & CSTOPB) ? kTwoStopBits : dcb::kOneStopBit;
    }
    if (changed(&termios::c_iflag, INPCK)) {
        SetFlag(s, dcb::kParity, (tio.c_iflag & INPCK) != 0);
    }
    const bool bHardware = (tio.c_cflag & CRTSCTS) != 0;
    if (changed(&termios::c_cflag, CRTSCTS) && bHardware != UsesHardwareFlow(s)) {
        SetFlag(s, dcb::kOutxCtsFlow, bHardware);
        std::uint32_t rts = RtsControl(s);
        if (bHardware) {
            rts = dcb::kRtsControlHandshake;
        } else if (rts == dcb::kRtsControlHandshake) {
            rts = kRtsControlEnable;
        }
        s.fFlags = (s.fFlags & ~dcb::kRtsControlMask) | (rts << dcb::kRtsControlShift);
    }
    if (changed(&termios::c_iflag, IXON)) {
        SetFlag(s, dcb::kOutX, (tio.c_iflag & IXON) != 0);
    }
    if (changed(&termios::c_iflag, IXOFF)) {
        SetFlag(s, dcb::kInX, (tio.c_iflag & IXOFF) != 0);
    }
    if (!reference || tio.c_cc[VSTART] != reference->c_cc[VSTART] ||
        tio.c_cc[VSTOP] != reference->c_cc[VSTOP]) {
        s.XonChar = static_cast<char>(tio.c_cc[VSTART]);
        s.XoffChar = static_cast<char>(tio.c_cc[VSTOP]);
    }
    return s;
}

// The part of the DCB that termios expresses, applied to tio. False for values no Win32
// driver accepts either.
bool ApplyToTermios(const SerialLineSettings& s, termios* tio) {
    const auto code = SpeedCode(s.BaudRate);
    if (!code || s.ByteSize < 5 || s.ByteSize > 8 || s.Parity > kSpaceParity ||
        s.StopBits > kTwoStopBits) {
        return false;
    }
    cfsetispeed(tio, *code);
    cfsetospeed(tio, *code);
    static const tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    tio->c_cflag = (tio->c_cflag & ~CSIZE) | kSizes[s.ByteSize - 5];
    tio->c_cflag &= ~(PARENB | PARODD | CMSPAR);
    switch (s.Parity) {
        case kOddParity:
            tio->c_cflag |= PARENB | PARODD;
            break;
        case kEvenParity:
            tio->c_cflag |= PARENB;
            break;
        case kMarkParity:
            tio->c_cflag |= PARENB | PARODD | CMSPAR;
            break;
        case kSpaceParity:
            tio->c_cflag |= PARENB | CMSPAR;
            break;
        default:
            break;
    }
    if (s.StopBits == dcb::kOneStopBit) {
        tio->c_cflag &= ~CSTOPB;
    } else {
        tio->c_cflag |= CSTOPB;  // 1.5 stop bits only exist as "more than one"
    }
    tio->c_iflag = (s.fFlags & dcb::kParity) ? (tio->c_iflag | INPCK) : (tio->c_iflag & ~INPCK);
    tio->c_cflag = UsesHardwareFlow(s) ? (tio->c_cflag | CRTSCTS) : (tio->c_cflag & ~CRTSCTS);
    tio->c_iflag = (s.fFlags & dcb::kOutX) ? (tio->c_iflag | IXON) : (tio->c_iflag & ~IXON);
    tio->c_iflag = (s.fFlags & dcb::kInX) ? (tio->c_iflag | IXOFF) : (tio->c_iflag & ~IXOFF);
    tio->c_cc[VSTART] = static_cast<cc_t>(s.XonChar);
    tio->c_cc[VSTOP] = static_cast<cc_t>(s.XoffChar);
    return true;
}

// A Win32 handle moves bytes unchanged: no echo, no line editing, no CR/LF translation, no
// signals. The line settings themselves (speed, size, parity, flow control) stay as found.
void MakeRaw(termios* tio) {
    tio->c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXANY);
    tio->c_oflag &= ~OPOST;
    tio->c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio->c_cflag |= CREAD | CLOCAL;
    tio->c_cc[VMIN] = 1;
    tio->c_cc[VTIME] = 0;
}

int PollMs(Clock::time_point now, Clock::time_point deadline) {
    if (deadline <= now) {
        return 0;
    }
    // Round up, so that a wake-up never comes before the deadline.
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
    return static_cast<int>(std::min<long long>(ms, std::numeric_limits<int>::max()));
}

}  // namespace

// What a Win32 driver keeps per device beyond one handle: the DCB fields termios cannot hold
// and the time-outs, so that the next Open of the same device sees them again.
struct CPosixSerialPorts::Shared {
    struct DeviceState {
        std::optional<SerialLineSettings> shadow;
        termios reference{};  // the terminal right after the shadow was set
        SerialTimeouts timeouts{};
    };
    std::mutex mutex;
    std::map<int, std::string> comPaths;
    std::map<std::string, DeviceState> devices;
};

namespace {

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

CPosixSerialPorts::CPosixSerialPorts(std::map<int, std::string> comPaths)
    : m_shared(std::make_shared<Shared>()) {
    m_shared->comPaths = std::move(comPaths);
}

CPosixSerialPorts::~CPosixSerialPorts() = default;

void CPosixSerialPorts::MapComPort(int nPort, std::string path) {
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_shared->comPaths[nPort] = std::move(path);
}

std::unique_ptr<ISerialDevice> CPosixSerialPorts::Open(const char* deviceName) {
    if (!deviceName || !*deviceName) {
        FailWith(posix_error::kFileNotFound);
        return nullptr;
    }
    std::string path = deviceName;
    if (const auto nPort = ParseComName(deviceName)) {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        const auto found = m_shared->comPaths.find(*nPort);
        if (found == m_shared->comPaths.end()) {
            FailWith(posix_error::kFileNotFound);
            return nullptr;
        }
        path = found->second;
    }

    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        FailWithErrno();
        return nullptr;
    }
    // Share mode 0: the lock keeps out every other opener that asks for it (this program,
    // another instance), TIOCEXCL every other non-root opener of the terminal.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        FailWith(errno == EWOULDBLOCK ? posix_error::kAccessDenied : ErrorFromErrno(errno));
        close(fd);
        return nullptr;
    }
    termios tio{};
    if (isatty(fd) && tcgetattr(fd, &tio) == 0) {
        ioctl(fd, TIOCEXCL);
        MakeRaw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
        tcflush(fd, TCIOFLUSH);
    }
    return std::make_unique<CPosixSerialDevice>(fd, std::move(path), m_shared);
}

std::uint32_t CPosixSerialPorts::GetLastError() {
    return t_nLastError;
}

void CPosixSerialPorts::SetLastError(std::uint32_t error) {
    t_nLastError = error;
}
