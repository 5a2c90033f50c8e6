#include "modem-sim/terminal_line.h"

#include <termios.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

namespace {

unsigned long BaudOf(speed_t speed) {
    static const std::pair<speed_t, unsigned long> kSpeeds[] = {
        {B0, 0},           {B50, 50},         {B75, 75},         {B110, 110},
        {B134, 134},       {B150, 150},       {B200, 200},       {B300, 300},
        {B600, 600},       {B1200, 1200},     {B1800, 1800},     {B2400, 2400},
        {B4800, 4800},     {B9600, 9600},     {B19200, 19200},   {B38400, 38400},
        {B57600, 57600},   {B115200, 115200}, {B230400, 230400}, {B460800, 460800},
        {B500000, 500000}, {B576000, 576000}, {B921600, 921600}, {B1000000, 1000000},
    };
    for (const auto& [code, baud] : kSpeeds) {
        if (code == speed) {
            return baud;
        }
    }
    return static_cast<unsigned long>(speed);
}

}  // namespace

std::string DescribeTermios(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        return std::string("termios error=") + std::strerror(errno);
    }
    const tcflag_t size = tio.c_cflag & CSIZE;
    const int nBits = size == CS5 ? 5 : size == CS6 ? 6 : size == CS7 ? 7 : 8;
    const char* parity = "none";
    if (tio.c_cflag & PARENB) {
        const bool bOdd = (tio.c_cflag & PARODD) != 0;
        if (tio.c_cflag & CMSPAR) {
            parity = bOdd ? "mark" : "space";
        } else {
            parity = bOdd ? "odd" : "even";
        }
    }
    char line[160];
    std::snprintf(line, sizeof line,
                  "termios baud=%lu csize=%d parity=%s stop=%d crtscts=%d ixon=%d ixoff=%d",
                  BaudOf(cfgetospeed(&tio)), nBits, parity, (tio.c_cflag & CSTOPB) ? 2 : 1,
                  (tio.c_cflag & CRTSCTS) ? 1 : 0, (tio.c_iflag & IXON) ? 1 : 0,
                  (tio.c_iflag & IXOFF) ? 1 : 0);
    return line;
}

bool MakeRaw(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        return false;
    }
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}
