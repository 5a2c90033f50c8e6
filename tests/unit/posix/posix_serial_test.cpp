// The termios serial backend against a real pseudo-terminal: the test plays the modem on the
// master side. Timing is real; the bounds are wide because the machine may be busy, and each
// case is built so that the wrong rule would land far outside them.
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "support/posix/posix_serial.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
}

// A pseudo-terminal whose slave is served as a COM port. Like the simulator, the pair keeps
// one slave descriptor of its own, so the terminal outlives every device opened on it.
class PtyPair {
public:
    PtyPair() {
        m_nMaster = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_nMaster < 0 || grantpt(m_nMaster) != 0 || unlockpt(m_nMaster) != 0) {
            return;
        }
        m_strSlave = ptsname(m_nMaster);
        m_nKeeper = open(m_strSlave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios tio{};
        tcgetattr(m_nKeeper, &tio);
        cfmakeraw(&tio);
        tcsetattr(m_nKeeper, TCSANOW, &tio);
    }
    ~PtyPair() {
        CloseMaster();
        if (m_nKeeper >= 0) {
            close(m_nKeeper);
        }
    }
    bool Ok() const { return m_nMaster >= 0 && m_nKeeper >= 0; }
    const std::string& SlavePath() const { return m_strSlave; }
    int Master() const { return m_nMaster; }

    void Send(const std::string& bytes) const {
        ASSERT_EQ(write(m_nMaster, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    std::string Receive() const {
        char buffer[256];
        const ssize_t got = read(m_nMaster, buffer, sizeof buffer);
        return got > 0 ? std::string(buffer, static_cast<std::size_t>(got)) : std::string();
    }
    // The slave's line settings as seen from outside the device under test.
    termios Settings() const {
        termios tio{};
        tcgetattr(m_nKeeper, &tio);
        return tio;
    }
    void SetSettings(const termios& tio) const { tcsetattr(m_nKeeper, TCSANOW, &tio); }
    void CloseMaster() {
        if (m_nMaster >= 0) {
            close(m_nMaster);
            m_nMaster = -1;
        }
    }

private:
    int m_nMaster = -1;
    int m_nKeeper = -1;
    std::string m_strSlave;
};

class PosixSerialTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_pty.Ok());
        m_ports.MapComPort(3, m_pty.SlavePath());
        m_ports.SetLastError(0);
    }

    std::unique_ptr<ISerialDevice> OpenCom3(const SerialTimeouts& timeouts) {
        auto device = m_ports.Open("\\\\.\\COM3");
        EXPECT_TRUE(device) << "last error " << m_ports.GetLastError();
        if (device) {
            EXPECT_TRUE(device->SetTimeouts(timeouts));
        }
        return device;
    }

    // Sends each burst at its time after the start, from a thread, while the test reads.
    void SendLater(std::vector<std::pair<int, std::string>> bursts) {
        m_sender = std::thread([this, bursts = std::move(bursts)] {
            const auto start = Clock::now();
            for (const auto& [atMs, bytes] : bursts) {
                std::this_thread::sleep_until(start + milliseconds(atMs));
                m_pty.Send(bytes);
            }
        });
    }
    void TearDown() override {
        if (m_sender.joinable()) {
            m_sender.join();
        }
    }

    // The channel's own time-outs: 200 ms between bytes, 100 ms per byte plus 1 s in all.
    static constexpr SerialTimeouts kChannel{200, 100, 1000, 100, 1000};

    PtyPair m_pty;
    CPosixSerialPorts m_ports;
    std::thread m_sender;
};

TEST_F(PosixSerialTest, BurstThenSilenceEndsAfterTheIntervalGap) {
    auto device = OpenCom3(kChannel);
    ASSERT_TRUE(device);
    // Three pieces 80 ms apart form one burst: the gaps stay under the 200 ms interval.
    SendLater({{0, "\r\n+GCI"}, {80, ": 04\r\n"}, {160, "\r\nOK\r\n"}});
    char buffer[1024];
    std::uint32_t received = 0;
    const auto start = Clock::now();
    ASSERT_TRUE(device->Read(buffer, sizeof buffer, &received));
    const long long elapsed = MsSince(start);
    EXPECT_EQ(std::string(buffer, received), "\r\n+GCI: 04\r\n\r\nOK\r\n");
    // The last byte came at ~160 ms, so the read ends some 200 ms later, long before the
    // 103.4 s total.
    EXPECT_GE(elapsed, 340);
    EXPECT_LT(elapsed, 3000);
}

TEST_F(PosixSerialTest, SilenceEndsAtTheTotalTimeout) {
    auto device = OpenCom3(kChannel);
    ASSERT_TRUE(device);
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    std::uint32_t received = 99;
    const auto start = Clock::now();
    ASSERT_TRUE(device->Read(buffer, sizeof buffer, &received));
    const long long elapsed = MsSince(start);
    EXPECT_EQ(received, 0u);
    EXPECT_GE(elapsed, 1790);  // 100 * 8 + 1000
    EXPECT_LT(elapsed, 5000);
}

TEST_F(PosixSerialTest, ReturnsAtOnceWhenAllBytesAreThere) {
    // A long interval, so that waiting for a gap could not pass for returning at once.
    auto device = OpenCom3({2000, 100, 5000, 100, 1000});
    ASSERT_TRUE(device);
    m_pty.Send("at&f\r\r\nOK\r\n");
    std::this_thread::sleep_for(milliseconds(50));
    char buffer[8];
    std::uint32_t received = 0;
    const auto start = Clock::now();
    ASSERT_TRUE(device->Read(buffer, sizeof buffer, &received));
    EXPECT_LT(MsSince(start), 1500);
    EXPECT_EQ(std::string(buffer, received), "at&f\r\r\nO");
    // The rest waits for the next read.
    ASSERT_TRUE(device->Read(buffer, sizeof buffer, &received));
    EXPECT_EQ(std::string(buffer, received), "K\r\n");
}

TEST_F(PosixSerialTest, SecondBurstAfterTheGapIsLeftForTheNextRead) {
    auto device = OpenCom3(kChannel);
    ASSERT_TRUE(device);
    const std::string echo = "atm2l3x4d*43#,,;h\r";
    SendLater({{0, echo}, {700, "\r\nOK\r\n"}});
    char buffer[1024];
    std::uint32_t received = 0;
    const auto start = Clock::now();
    ASSERT_TRUE(device->Read(buffer, sizeof buffer, &received));
    EXPECT_EQ(std::string(buffer, received), echo);
    EXPECT_LT(MsSince(start), 650);
    ASSERT_TRUE(device->Read(buffer, sizeof buffer, &received));
    EXPECT_EQ(std::string(buffer, received), "\r\nOK\r\n");
}

TEST_F(PosixSerialTest, TotalTimeoutEndsATrickleThatNeverPauses) {
    auto device = OpenCom3({200, 0, 600, 0, 0});
    ASSERT_TRUE(device);
    std::vector<std::pair<int, std::string>> trickle;
    for (int at = 0; at < 2000; at += 100) {
        trickle.push_back({at, "."});
    }
    SendLater(std::move(trickle));
    char buffer[64];
    std::uint32_t received = 0;
    const auto start = Clock::now();
    ASSERT_TRUE(device->Read(buffer, sizeof buffer, &received));
    const long long elapsed = MsSince(start);
    EXPECT_GE(elapsed, 590);
    EXPECT_LT(elapsed, 1900);
    EXPECT_GE(received, 2u);
    EXPECT_LT(received, 20u);
}

TEST_F(PosixSerialTest, MaxDwordIntervalReturnsWhatIsWaiting) {
    auto device = OpenCom3({0xFFFFFFFFu, 0, 0, 0, 0});
    ASSERT_TRUE(device);
    char buffer[16];
    std::uint32_t received = 9;
    const auto start = Clock::now();
    ASSERT_TRUE(device->Read(buffer, sizeof buffer, &received));
    EXPECT_EQ(received, 0u);
    EXPECT_LT(MsSince(start), 1000);
    m_pty.Send("OK");
    std::this_thread::sleep_for(milliseconds(50));
    ASSERT_TRUE(device->Read(buffer, sizeof buffer, &received));
    EXPECT_EQ(std::string(buffer, received), "OK");
}

TEST_F(PosixSerialTest, HangUpFailsTheReadInsteadOfWaiting) {
    auto device = OpenCom3(kChannel);
    ASSERT_TRUE(device);
    m_pty.CloseMaster();
    char buffer[1024];
    std::uint32_t received = 0;
    const auto start = Clock::now();
    EXPECT_FALSE(device->Read(buffer, sizeof buffer, &received));
    EXPECT_LT(MsSince(start), 5000);
    EXPECT_EQ(received, 0u);
    EXPECT_NE(m_ports.GetLastError(), 0u);
}

TEST_F(PosixSerialTest, WriteSendsTheBytesAndDropsWhatDoesNotFitInTime) {
    auto device = OpenCom3({200, 100, 1000, 0, 300});
    ASSERT_TRUE(device);
    std::uint32_t written = 0;
    ASSERT_TRUE(device->Write("at+gci?\r", 8, &written));
    EXPECT_EQ(written, 8u);
    EXPECT_EQ(m_pty.Receive(), "at+gci?\r");

    // Nobody reads the master now: the terminal's buffer fills and the write time-out ends
    // the write with the rest dropped.
    const std::string flood(1 << 20, 'a');
    const auto start = Clock::now();
    ASSERT_TRUE(device->Write(flood.data(), static_cast<std::uint32_t>(flood.size()), &written));
    const long long elapsed = MsSince(start);
    EXPECT_GT(written, 0u);
    EXPECT_LT(written, flood.size());
    EXPECT_GE(elapsed, 290);
    EXPECT_LT(elapsed, 3000);
}

TEST_F(PosixSerialTest, SecondOpenFailsUntilTheFirstIsClosed) {
    auto first = m_ports.Open("\\\\.\\COM3");
    ASSERT_TRUE(first);
    EXPECT_FALSE(m_ports.Open("\\\\.\\COM3"));
    EXPECT_EQ(m_ports.GetLastError(), posix_error::kAccessDenied);
    // Another program (another port object) is kept out the same way.
    CPosixSerialPorts other;
    EXPECT_FALSE(other.Open(m_pty.SlavePath().c_str()));
    first.reset();
    m_ports.SetLastError(0);
    EXPECT_TRUE(m_ports.Open("\\\\.\\COM3"));
    EXPECT_TRUE(other.Open(m_pty.SlavePath().c_str()));
}

TEST_F(PosixSerialTest, NamesThatLeadNowhereFail) {
    struct Case {
        const char* name;
        std::uint32_t nError;
    };
    const Case cases[] = {
        {"\\\\.\\COM9", posix_error::kFileNotFound},   // no such COM mapping
        {"\\\\.\\COM3x", posix_error::kFileNotFound},  // not a COM name: a path that is missing
        {"/dev/h2sim-no-such-device", posix_error::kFileNotFound},
        {"", posix_error::kFileNotFound},
    };
    for (const Case& c : cases) {
        m_ports.SetLastError(0);
        EXPECT_FALSE(m_ports.Open(c.name)) << c.name;
        EXPECT_EQ(m_ports.GetLastError(), c.nError) << c.name;
    }
    EXPECT_TRUE(m_ports.Open("\\\\.\\com3"));
}

TEST_F(PosixSerialTest, OpenDiscardsInputThatCameWhileClosed) {
    m_pty.Send("stale OK\r\n");
    std::this_thread::sleep_for(milliseconds(50));
    auto device = OpenCom3({0xFFFFFFFFu, 0, 0, 0, 0});
    ASSERT_TRUE(device);
    char buffer[32];
    std::uint32_t received = 9;
    ASSERT_TRUE(device->Read(buffer, sizeof buffer, &received));
    EXPECT_EQ(received, 0u);
}

constexpr tcflag_t kLineFlags = CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS;
constexpr tcflag_t kInputFlags = IXON | IXOFF | INPCK;

class PosixSerialStateTest : public PosixSerialTest {
protected:
    void SetUp() override {
        PosixSerialTest::SetUp();
        // Start from a line unlike the channel's: 9600 baud, two stop bits, parity checks,
        // XON/XOFF both ways. (A pseudo-terminal always runs 8 bits without parity.)
        termios tio = m_pty.Settings();
        cfsetispeed(&tio, B9600);
        cfsetospeed(&tio, B9600);
        tio.c_cflag = (tio.c_cflag & ~(kLineFlags)) | CS8 | CSTOPB;
        tio.c_iflag |= IXON | IXOFF | INPCK;
        m_pty.SetSettings(tio);
        m_initial = m_pty.Settings();
    }
    termios m_initial{};
};

// The channel's configuration as it is applied to a port: keep every other bit.
SerialLineSettings ChannelSettings(SerialLineSettings s) {
    s.DCBlength = 28;
    s.BaudRate = 115200;
    s.ByteSize = 8;
    s.Parity = dcb::kNoParity;
    s.StopBits = dcb::kOneStopBit;
    s.fFlags = (s.fFlags & 0xFFFFECC7u) | 0x2005u;
    return s;
}

TEST_F(PosixSerialStateTest, ReportsTheLineAsTheTerminalHasIt) {
    auto device = OpenCom3(kChannel);
    ASSERT_TRUE(device);
    SerialLineSettings s{};
    ASSERT_TRUE(device->GetState(&s));
    EXPECT_EQ(s.BaudRate, 9600u);
    EXPECT_EQ(s.ByteSize, 8);
    EXPECT_EQ(s.Parity, dcb::kNoParity);
    EXPECT_EQ(s.StopBits, 2);  // TWOSTOPBITS
    EXPECT_TRUE(s.fFlags & dcb::kParity);
    EXPECT_TRUE(s.fFlags & dcb::kOutX);
    EXPECT_TRUE(s.fFlags & dcb::kInX);
    EXPECT_FALSE(s.fFlags & dcb::kOutxCtsFlow);
    EXPECT_EQ(s.DCBlength, 28u);
}

TEST_F(PosixSerialStateTest, ChannelSettingsReachTheTerminalAndTheRoundTripRestoresAll) {
    auto device = OpenCom3(kChannel);
    ASSERT_TRUE(device);
    SerialLineSettings saved{};
    ASSERT_TRUE(device->GetState(&saved));
    const SerialLineSettings channel = ChannelSettings(saved);
    ASSERT_TRUE(device->SetState(channel));

    const termios tio = m_pty.Settings();
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B115200));
    EXPECT_EQ(tio.c_cflag & kLineFlags, CS8 | CRTSCTS);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF), 0u);
    // What termios cannot hold (DTR held off, RTS handshake as such) comes back as stored.
    SerialLineSettings now{};
    ASSERT_TRUE(device->GetState(&now));
    EXPECT_EQ(std::memcmp(&now, &channel, sizeof now), 0);
    EXPECT_EQ((now.fFlags & dcb::kDtrControlMask) >> dcb::kDtrControlShift,
              dcb::kDtrControlDisable);

    ASSERT_TRUE(device->SetState(saved));
    ASSERT_TRUE(device->GetState(&now));
    EXPECT_EQ(std::memcmp(&now, &saved, sizeof now), 0);
    const termios back = m_pty.Settings();
    EXPECT_EQ(cfgetospeed(&back), cfgetospeed(&m_initial));
    EXPECT_EQ(back.c_cflag & kLineFlags, m_initial.c_cflag & kLineFlags);
    EXPECT_EQ(back.c_iflag & kInputFlags, m_initial.c_iflag & kInputFlags);
}

TEST_F(PosixSerialStateTest, DeviceRemembersSettingsAndTimeoutsAcrossOpens) {
    SerialLineSettings stored{};
    {
        auto device = OpenCom3({200, 100, 1000, 100, 1000});
        ASSERT_TRUE(device);
        ASSERT_TRUE(device->GetState(&stored));
        stored = ChannelSettings(stored);
        stored.XonLim = 77;
        stored.EvtChar = 'e';
        stored.StopBits = 1;  // ONE5STOPBITS: termios only knows "more than one"
        ASSERT_TRUE(device->SetState(stored));
    }
    auto device = m_ports.Open("\\\\.\\COM3");
    ASSERT_TRUE(device);
    SerialLineSettings again{};
    ASSERT_TRUE(device->GetState(&again));
    EXPECT_EQ(std::memcmp(&again, &stored, sizeof again), 0);
    SerialTimeouts timeouts{};
    ASSERT_TRUE(device->GetTimeouts(&timeouts));
    EXPECT_EQ(timeouts.ReadIntervalTimeout, 200u);
    EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, 1000u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutMultiplier, 100u);
}

TEST_F(PosixSerialStateTest, WhatTheTerminalCannotHoldComesBackAsStored) {
    auto device = OpenCom3(kChannel);
    ASSERT_TRUE(device);
    SerialLineSettings s{};
    ASSERT_TRUE(device->GetState(&s));
    s.ByteSize = 7;  // a pseudo-terminal keeps 8 bits
    s.Parity = 1;    // ODDPARITY: and no parity
    s.StopBits = 1;  // ONE5STOPBITS: termios knows "more than one" only
    ASSERT_TRUE(device->SetState(s));
    EXPECT_EQ(m_pty.Settings().c_cflag & (CSIZE | PARENB | CSTOPB), CS8 | CSTOPB);
    SerialLineSettings now{};
    ASSERT_TRUE(device->GetState(&now));
    EXPECT_EQ(std::memcmp(&now, &s, sizeof now), 0);

    // A change by someone else shows; the untouched fields still come from the shadow.
    termios tio = m_pty.Settings();
    tio.c_cflag &= ~CSTOPB;
    m_pty.SetSettings(tio);
    ASSERT_TRUE(device->GetState(&now));
    EXPECT_EQ(now.StopBits, dcb::kOneStopBit);
    EXPECT_EQ(now.ByteSize, 7);
    EXPECT_EQ(now.Parity, 1);
}

TEST_F(PosixSerialStateTest, ChangesMadeOutsideShowInTheState) {
    auto device = OpenCom3(kChannel);
    ASSERT_TRUE(device);
    SerialLineSettings s{};
    ASSERT_TRUE(device->GetState(&s));
    ASSERT_TRUE(device->SetState(ChannelSettings(s)));
    termios tio = m_pty.Settings();
    cfsetospeed(&tio, B57600);
    cfsetispeed(&tio, B57600);
    tio.c_cflag &= ~CRTSCTS;
    m_pty.SetSettings(tio);
    ASSERT_TRUE(device->GetState(&s));
    EXPECT_EQ(s.BaudRate, 57600u);
    EXPECT_FALSE(s.fFlags & dcb::kOutxCtsFlow);
    EXPECT_NE((s.fFlags & dcb::kRtsControlMask) >> dcb::kRtsControlShift,
              dcb::kRtsControlHandshake);
}

TEST_F(PosixSerialStateTest, RefusesWhatNoDriverAccepts) {
    auto device = OpenCom3(kChannel);
    ASSERT_TRUE(device);
    SerialLineSettings good{};
    ASSERT_TRUE(device->GetState(&good));
    struct Case {
        const char* what;
        void (*spoil)(SerialLineSettings&);
    };
    const Case cases[] = {
        {"9 data bits", [](SerialLineSettings& s) { s.ByteSize = 9; }},
        {"4 data bits", [](SerialLineSettings& s) { s.ByteSize = 4; }},
        {"parity 5", [](SerialLineSettings& s) { s.Parity = 5; }},
        {"stop bits 3", [](SerialLineSettings& s) { s.StopBits = 3; }},
        {"baud 14400", [](SerialLineSettings& s) { s.BaudRate = 14400; }},
        {"baud 0", [](SerialLineSettings& s) { s.BaudRate = 0; }},
    };
    for (const Case& c : cases) {
        SerialLineSettings bad = ChannelSettings(good);
        c.spoil(bad);
        m_ports.SetLastError(0);
        EXPECT_FALSE(device->SetState(bad)) << c.what;
        EXPECT_EQ(m_ports.GetLastError(), posix_error::kInvalidParameter) << c.what;
        SerialLineSettings now{};
        ASSERT_TRUE(device->GetState(&now));
        EXPECT_EQ(std::memcmp(&now, &good, sizeof now), 0) << c.what << " changed the line";
    }
}

}  // namespace
