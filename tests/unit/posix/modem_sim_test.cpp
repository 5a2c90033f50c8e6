// The simulator program as the end-to-end tests use it: started as a process, served over its
// pseudo-terminal through the termios backend, its command log read back.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/posix/posix_serial.h"

extern char** environ;

namespace {

using std::chrono::milliseconds;

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class SimProcess {
public:
    // Starts the simulator with the arguments and waits for its first line.
    explicit SimProcess(std::vector<std::string> args) {
        int out[2];
        if (pipe(out) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        args.insert(args.begin(), MAVRIS_MODEM_SIM_EXE);
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, MAVRIS_MODEM_SIM_EXE, &actions, nullptr, argv.data(), environ) !=
            0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        m_nOut = out[0];
        m_strFirstLine = ReadLine(10000);
    }
    ~SimProcess() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            Wait();
        }
        if (m_nOut >= 0) {
            close(m_nOut);
        }
    }
    const std::string& FirstLine() const { return m_strFirstLine; }
    std::string PtyPath() const {
        return m_strFirstLine.rfind("pty ", 0) == 0 ? m_strFirstLine.substr(4) : std::string();
    }
    pid_t Pid() const { return m_pid; }
    // The exit status, or -1 when the process did not end within the time.
    int WaitForExit(int timeoutMs) {
        for (int waited = 0; waited < timeoutMs; waited += 20) {
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(milliseconds(20));
        }
        return -1;
    }

private:
    std::string ReadLine(int timeoutMs) {
        std::string line;
        char c = 0;
        pollfd pfd{m_nOut, POLLIN, 0};
        while (poll(&pfd, 1, timeoutMs) > 0 && read(m_nOut, &c, 1) == 1 && c != '\n') {
            line += c;
        }
        return line;
    }
    void Wait() {
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
    }

    pid_t m_pid = -1;
    int m_nOut = -1;
    std::string m_strFirstLine;
};

class ModemSimTest : public testing::Test {
protected:
    void SetUp() override {
        m_strDir = "/tmp/h2sim-test-XXXXXX";
        ASSERT_TRUE(mkdtemp(m_strDir.data()));
        m_strLog = m_strDir + "/commands.log";
    }
    void TearDown() override {
        std::remove(m_strLog.c_str());
        std::remove((m_strDir + "/com3").c_str());
        rmdir(m_strDir.c_str());
    }

    // Opens the simulator's line with the channel's settings and time-outs, as the tool does.
    std::unique_ptr<ISerialDevice> Connect(CPosixSerialPorts& ports, const std::string& path) {
        auto device = ports.Open(path.c_str());
        EXPECT_TRUE(device) << path << ": " << ports.GetLastError();
        if (!device) {
            return device;
        }
        SerialLineSettings s{};
        EXPECT_TRUE(device->GetState(&s));
        s.BaudRate = 115200;
        s.ByteSize = 8;
        s.Parity = dcb::kNoParity;
        s.StopBits = dcb::kOneStopBit;
        s.fFlags = (s.fFlags & 0xFFFFECC7u) | 0x2005u;
        EXPECT_TRUE(device->SetState(s));
        EXPECT_TRUE(device->SetTimeouts({200, 100, 1000, 100, 1000}));
        return device;
    }

    // Write, pause 200 ms, one read of up to 1024 bytes: the tool's exchange.
    static std::string Exchange(ISerialDevice& device, const std::string& command) {
        std::uint32_t done = 0;
        EXPECT_TRUE(
            device.Write(command.data(), static_cast<std::uint32_t>(command.size()), &done));
        std::this_thread::sleep_for(milliseconds(200));
        return ReadOnce(device);
    }
    static std::string ReadOnce(ISerialDevice& device) {
        char buffer[1024];
        std::uint32_t received = 0;
        EXPECT_TRUE(device.Read(buffer, sizeof buffer, &received));
        return std::string(buffer, received);
    }

    std::string m_strDir;
    std::string m_strLog;
};

TEST_F(ModemSimTest, AnswersTheProbesAndLogsCommandsWithLineSettings) {
    SimProcess sim({"--log", m_strLog, "--log-termios", "--idle-exit", "60", "--country", "42",
                    "--link", m_strDir + "/com3"});
    ASSERT_FALSE(sim.PtyPath().empty()) << "first line: " << sim.FirstLine();
    CPosixSerialPorts ports({{3, m_strDir + "/com3"}});
    auto device = Connect(ports, "\\\\.\\COM3");
    ASSERT_TRUE(device);

    EXPECT_EQ(Exchange(*device, "at+gci?\r"), "at+gci?\r\r\n+GCI: 42\r\n\r\nOK\r\n");
    EXPECT_EQ(Exchange(*device, "at+gmm?\r"), "at+gmm?\r\r\n+GMM: \"ORVA 56k V.92\"\r\n\r\nOK\r\n");
    // Two commands in one write, the second split over two writes.
    std::uint32_t done = 0;
    ASSERT_TRUE(device->Write("at&f\rat+g", 9, &done));
    std::this_thread::sleep_for(milliseconds(50));
    ASSERT_TRUE(device->Write("mi?\r", 4, &done));
    std::this_thread::sleep_for(milliseconds(200));
    EXPECT_EQ(ReadOnce(*device), "at&f\r\r\nOK\r\nat+gmi?\r\r\n+GMI: ORVA\r\n\r\nOK\r\n");

    const std::string settings =
        "termios baud=115200 csize=8 parity=none stop=1 crtscts=1 ixon=0 ixoff=0\n";
    EXPECT_EQ(ReadWholeFile(m_strLog), "at+gci?\\r\n" + settings + "at+gmm?\\r\n" + settings +
                                           "at&f\\r\n" + settings + "at+gmi?\\r\n" + settings);

    device.reset();
    kill(sim.Pid(), SIGTERM);
    EXPECT_EQ(sim.WaitForExit(5000), 0);
    struct stat st {};
    EXPECT_NE(lstat((m_strDir + "/com3").c_str(), &st), 0) << "link left behind";
}

TEST_F(ModemSimTest, LateDialAnswerNeedsASecondRead) {
    SimProcess sim({"--log", m_strLog, "--dial-delay", "700", "--idle-exit", "60"});
    ASSERT_FALSE(sim.PtyPath().empty()) << "first line: " << sim.FirstLine();
    CPosixSerialPorts ports;
    auto device = Connect(ports, sim.PtyPath());
    ASSERT_TRUE(device);
    const std::string dial = "atm2l3x4d*43#,,;h\r";
    EXPECT_EQ(Exchange(*device, dial), dial);
    EXPECT_EQ(ReadOnce(*device), "\r\nOK\r\n");
    EXPECT_EQ(ReadWholeFile(m_strLog), "atm2l3x4d*43#,,;h\\r\n");
}

TEST_F(ModemSimTest, HangUpEndsTheLineAndTheProgram) {
    SimProcess sim({"--hangup-after", "1", "--hangup-delay", "1500", "--idle-exit", "60"});
    ASSERT_FALSE(sim.PtyPath().empty()) << "first line: " << sim.FirstLine();
    CPosixSerialPorts ports;
    auto device = Connect(ports, sim.PtyPath());
    ASSERT_TRUE(device);
    EXPECT_EQ(Exchange(*device, "at&f\r"), "at&f\r\r\nOK\r\n");
    EXPECT_EQ(sim.WaitForExit(500), -1) << "hung up before the delay";
    EXPECT_EQ(sim.WaitForExit(5000), 0);
    char buffer[8];
    std::uint32_t received = 0;
    EXPECT_FALSE(device->Read(buffer, sizeof buffer, &received));
    EXPECT_NE(ports.GetLastError(), 0u);
}

TEST_F(ModemSimTest, RefusesUnknownSettings) {
    SimProcess sim({"--speed", "fast"});
    EXPECT_EQ(sim.FirstLine(), "");
    EXPECT_EQ(sim.WaitForExit(5000), 2);
}

TEST_F(ModemSimTest, IdleExitEndsAForgottenSimulator) {
    SimProcess sim({"--idle-exit", "1"});
    ASSERT_FALSE(sim.PtyPath().empty()) << "first line: " << sim.FirstLine();
    EXPECT_EQ(sim.WaitForExit(10000), 0);
}

}  // namespace
