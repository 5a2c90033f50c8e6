// CPosixSerialPorts: COM names, opening and locking the terminal, and the last error.
#include "support/posix/posix_serial.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <utility>

#include "support/posix/posix_serial_internal.h"

namespace posix_serial {

namespace {

// Like the Win32 last error: one value per thread, shared by every port object.
thread_local std::uint32_t t_nLastError = 0;

}  // namespace

std::uint32_t& LastError() {
    return t_nLastError;
}

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

}  // namespace posix_serial

using namespace posix_serial;

namespace {

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
    if (m_shared->cancelled) {
        FailWith(serial_error::kOperationAborted);
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
    return MakeDevice(fd, std::move(path), m_shared);
}

std::uint32_t CPosixSerialPorts::GetLastError() {
    return LastError();
}

void CPosixSerialPorts::SetLastError(std::uint32_t error) {
    LastError() = error;
}

void CPosixSerialPorts::CancelAll() {
    m_shared->cancelled = true;
}
