// The mapping between Win32 DCB line settings and termios.
#include <algorithm>
#include <optional>

#include "support/posix/posix_serial_internal.h"

namespace posix_serial {

namespace {

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
constexpr std::uint8_t kTwoStopBits = 2;

void SetFlag(SerialLineSettings& s, std::uint32_t flag, bool bOn) {
    s.fFlags = bOn ? (s.fFlags | flag) : (s.fFlags & ~flag);
}
bool UsesHardwareFlow(const SerialLineSettings& s) {
    return (s.fFlags & dcb::kOutxCtsFlow) || RtsControl(s) == dcb::kRtsControlHandshake;
}

}  // namespace

std::uint32_t RtsControl(const SerialLineSettings& s) {
    return (s.fFlags & dcb::kRtsControlMask) >> dcb::kRtsControlShift;
}
std::uint32_t DtrControl(const SerialLineSettings& s) {
    return (s.fFlags & dcb::kDtrControlMask) >> dcb::kDtrControlShift;
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
        tio->c_cflag |= CSTOPB;  // 1.5 stop bits (1) only exist as "more than one"
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

}  // namespace posix_serial
