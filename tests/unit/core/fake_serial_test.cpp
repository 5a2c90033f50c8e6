// The scripted serial device must end reads exactly as a Win32 port with the same
// COMMTIMEOUTS would, or every timing test built on it proves nothing.
#include "support/memory/fake_serial.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

// Parameterised cases print as their name instead of a byte dump.
template <typename Case>
requires requires(const Case& c) {
    c.name;
}
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

constexpr SerialTimeouts kChannel = {200, 100, 1000, 100, 1000};

struct ReadCase {
    const char* name;
    SerialTimeouts timeouts;
    FakeReply input;         // scheduled at time 0, before the read starts
    std::uint32_t nStartMs;  // the read starts this late
    std::uint32_t nSize;
    std::string expected;
    std::uint64_t nEndMs;
    std::string left;  // still pending afterwards
};

const std::vector<ReadCase> kReadCases = {
    {"SilenceRunsToTotalTimeoutOf8Bytes", kChannel, {}, 0, 8, "", 1800, ""},
    {"SilenceRunsToTotalTimeoutOf1024Bytes", kChannel, {}, 0, 1024, "", 103400, ""},
    {"OneBurstEndsAfterInterval", kChannel, {{0, "abcde"}}, 0, 8, "abcde", 201, ""},
    {"FullBufferReturnsAtOnce", kChannel, {{0, "0123456789"}}, 0, 8, "01234567", 0, "89"},
    {"BurstArrivedBeforeReadCounts", kChannel, {{0, "ab"}}, 500, 8, "ab", 701, ""},
    {"TwoBurstsWithinIntervalJoin", kChannel, {{0, "ab"}, {150, "cd"}}, 0, 8, "abcd", 351, ""},
    {"GapOfExactlyIntervalStillJoins", kChannel, {{0, "ab"}, {200, "cd"}}, 0, 8, "abcd", 401, ""},
    {"GapLongerThanIntervalCuts", kChannel, {{0, "ab"}, {201, "cd"}}, 0, 8, "ab", 201, "cd"},
    {"LateFirstBurstWithinTotal", kChannel, {{1500, "abc"}}, 0, 8, "abc", 1701, ""},
    {"FirstBurstAtTotalIsTooLate", kChannel, {{1800, "abc"}}, 0, 8, "", 1800, "abc"},
    {"IntervalCutBoundedByTotal", kChannel, {{1700, "abc"}}, 0, 8, "abc", 1800, ""},
    {"TrickleKeepsReadAliveUntilFull",
     kChannel,
     {{0, "a"}, {150, "b"}, {150, "c"}, {150, "d"}, {150, "e"}},
     0,
     4,
     "abcd",
     450,
     "e"},
    {"NoIntervalWaitsForTotal",
     {0, 10, 100, 0, 0},
     {{0, "ab"}, {500, "cd"}},
     0,
     8,
     "ab",
     180,
     "cd"},
    {"NoTotalEndsByInterval", {50, 0, 0, 0, 0}, {{3000, "ab"}}, 0, 8, "ab", 3051, ""},
    {"MaxIntervalNoTotalReturnsAtOnce",
     {fake_serial::kMaxDword, 0, 0, 0, 0},
     {{0, "ab"}, {1, "cd"}},
     0,
     8,
     "ab",
     0,
     "cd"},
    {"MaxIntervalMaxMultiplierWaitsForFirstBurst",
     {fake_serial::kMaxDword, fake_serial::kMaxDword, 500, 0, 0},
     {{300, "ab"}, {10, "cd"}},
     0,
     8,
     "ab",
     300,
     "cd"},
    {"MaxIntervalMaxMultiplierGivesUpAfterConstant",
     {fake_serial::kMaxDword, fake_serial::kMaxDword, 500, 0, 0},
     {},
     0,
     8,
     "",
     500,
     ""},
};

class FakeSerialReadTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(FakeSerialReadTest, EndsByTheTimeoutRules) {
    const ReadCase& c = GetParam();
    CVirtualClock clock;
    CFakeSerialPorts ports(clock);
    CFakeSerialPort& port = ports.AddPort(1);
    port.SetTimeouts(c.timeouts);
    std::uint64_t arrival = 0;
    for (const FakeBurst& burst : c.input) {
        arrival += burst.nDelayMs;
        port.Inject(static_cast<std::uint32_t>(arrival), burst.strBytes);
    }
    clock.Advance(c.nStartMs);
    auto device = ports.Open("\\\\.\\COM1");
    ASSERT_NE(device, nullptr);

    std::string buffer(c.nSize, '\xEE');
    std::uint32_t received = 99;
    ASSERT_TRUE(device->Read(buffer.data(), c.nSize, &received));
    EXPECT_EQ(std::string(buffer.data(), received), c.expected);
    EXPECT_EQ(clock.Now(), c.nEndMs);
    EXPECT_EQ(port.GetPendingInput(), c.left);
    // Nothing past the received bytes is touched.
    EXPECT_EQ(buffer.find_first_not_of('\xEE', received), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Rules, FakeSerialReadTest, ::testing::ValuesIn(kReadCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FakeSerialTest, ReadWithoutAnyTimeoutThatWouldHangIsAnError) {
    CVirtualClock clock;
    CFakeSerialPorts ports(clock);
    ports.AddPort(1).SetTimeouts({0, 0, 0, 0, 0});
    auto device = ports.Open("\\\\.\\COM1");
    char buffer[4];
    std::uint32_t received = 0;
    EXPECT_THROW(device->Read(buffer, sizeof(buffer), &received), std::logic_error);
}

TEST(FakeSerialTest, OpensOnlyTheDeviceNameFormOfAddedPorts) {
    CVirtualClock clock;
    CFakeSerialPorts ports(clock);
    ports.AddPort(3);
    ports.AddPort(12);
    struct {
        const char* name;
        bool bOpens;
    } cases[] = {{"\\\\.\\COM3", true},  {"\\\\.\\COM12", true},  {"COM3", false},
                 {"\\\\.\\COM4", false}, {"\\\\.\\COM03", false}, {"\\\\.\\COM", false},
                 {"\\\\.\\COM3x", false}};
    for (const auto& c : cases) {
        ports.SetLastError(0);
        auto device = ports.Open(c.name);
        EXPECT_EQ(device != nullptr, c.bOpens) << c.name;
        EXPECT_EQ(ports.GetLastError(), c.bOpens ? 0u : fake_serial::kErrorFileNotFound) << c.name;
    }
    EXPECT_EQ(ports.GetOpenedNames().size(), std::size(cases));
}

TEST(FakeSerialTest, OpenIsExclusiveAndInjectedOpenFailuresReportTheirError) {
    CVirtualClock clock;
    CFakeSerialPorts ports(clock);
    CFakeSerialPort& port = ports.AddPort(2);
    auto first = ports.Open("\\\\.\\COM2");
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(ports.Open("\\\\.\\COM2"), nullptr);
    EXPECT_EQ(ports.GetLastError(), fake_serial::kErrorAccessDenied);
    first.reset();
    EXPECT_FALSE(port.IsOpen());

    port.FailOpen(fake_serial::kErrorGenFailure);
    EXPECT_EQ(ports.Open("\\\\.\\COM2"), nullptr);
    EXPECT_EQ(ports.GetLastError(), fake_serial::kErrorGenFailure);
    port.ClearFaults();
    EXPECT_NE(ports.Open("\\\\.\\COM2"), nullptr);
    EXPECT_EQ(port.GetOpenCount(), 2);
}

TEST(FakeSerialTest, SettingsOutliveTheDevice) {
    CVirtualClock clock;
    CFakeSerialPorts ports(clock);
    ports.AddPort(1);
    SerialLineSettings settings = CFakeSerialPort::InitialSettings();
    settings.BaudRate = 57600;
    {
        auto device = ports.Open("\\\\.\\COM1");
        ASSERT_TRUE(device->SetState(settings));
        ASSERT_TRUE(device->SetTimeouts(kChannel));
    }
    auto device = ports.Open("\\\\.\\COM1");
    SerialLineSettings read{};
    SerialTimeouts timeouts{};
    ASSERT_TRUE(device->GetState(&read));
    ASSERT_TRUE(device->GetTimeouts(&timeouts));
    EXPECT_EQ(read.BaudRate, 57600u);
    EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, 1000u);
}

TEST(FakeSerialTest, FaultsPassFirstCallsAndSetTheLastError) {
    CVirtualClock clock;
    CFakeSerialPorts ports(clock);
    CFakeSerialPort& port = ports.AddPort(1);
    port.Fail(FakeCall::kGetState, 1234, 1, 1);
    auto device = ports.Open("\\\\.\\COM1");
    SerialLineSettings settings{};
    EXPECT_TRUE(device->GetState(&settings));
    EXPECT_FALSE(device->GetState(&settings));
    EXPECT_EQ(ports.GetLastError(), 1234u);
    EXPECT_TRUE(device->GetState(&settings));

    port.Fail(FakeCall::kWrite, 0);
    std::uint32_t written = 7;
    ports.SetLastError(55);
    EXPECT_FALSE(device->Write("at\r", 3, &written));
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(ports.GetLastError(), 55u);  // a failure without an error leaves it alone
    EXPECT_TRUE(port.GetWrites().empty());
}

TEST(FakeSerialTest, ReadAfterDataFaultDeliversThenFails) {
    CVirtualClock clock;
    CFakeSerialPorts ports(clock);
    CFakeSerialPort& port = ports.AddPort(1);
    port.SetTimeouts(kChannel);
    port.Inject(0, "xyz");
    port.Fail(FakeCall::kReadAfterData, fake_serial::kErrorIoDevice);
    auto device = ports.Open("\\\\.\\COM1");
    char buffer[8];
    std::uint32_t received = 0;
    EXPECT_FALSE(device->Read(buffer, sizeof(buffer), &received));
    EXPECT_EQ(received, 3u);
    EXPECT_EQ(ports.GetLastError(), fake_serial::kErrorIoDevice);
}

TEST(FakeSerialTest, WritesAreRecordedAndAnsweredFromTheScript) {
    CVirtualClock clock;
    CFakeSerialPorts ports(clock);
    CFakeSerialPort& port = ports.AddPort(1);
    port.SetTimeouts(kChannel);
    port.Respond("at\r", {{0, "at\r"}, {50, "\r\nOK\r\n"}});
    port.QueueReply("at\r", {{0, "first"}});
    port.SetResponder([](const std::string& command) { return FakeReply{{0, "?" + command}}; });
    auto device = ports.Open("\\\\.\\COM1");
    std::uint32_t written = 0;
    char buffer[64];
    std::uint32_t received = 0;

    ASSERT_TRUE(device->Write("at\r", 3, &written));
    EXPECT_EQ(written, 3u);
    device->Read(buffer, sizeof(buffer), &received);
    EXPECT_EQ(std::string(buffer, received), "first");

    device->Write("at\r", 3, &written);
    device->Read(buffer, sizeof(buffer), &received);
    EXPECT_EQ(std::string(buffer, received), "at\r\r\nOK\r\n");

    device->Write("ati\r", 4, &written);
    device->Read(buffer, sizeof(buffer), &received);
    EXPECT_EQ(std::string(buffer, received), "?ati\r");

    EXPECT_EQ(port.GetWrites(), (std::vector<std::string>{"at\r", "at\r", "ati\r"}));
    EXPECT_EQ(port.GetWrittenText(), "at\rat\rati\r");
}

TEST(FakeSerialTest, ScriptedModemEchoesAndAnswersInTwoBursts) {
    CVirtualClock clock;
    CFakeSerialPorts ports(clock);
    CFakeSerialPort& port = ports.AddPort(1);
    port.SetTimeouts(kChannel);
    FakeModemAnswers answers;
    answers.strCountry = "3D";
    answers.nAnswerDelayMs = 300;
    ScriptModem(port, answers);
    auto device = ports.Open("\\\\.\\COM1");
    std::uint32_t written = 0;
    char buffer[1024];
    std::uint32_t received = 0;

    device->Write("at+gci?\r", 8, &written);
    device->Read(buffer, sizeof(buffer), &received);
    EXPECT_EQ(std::string(buffer, received), "at+gci?\r");
    device->Read(buffer, sizeof(buffer), &received);
    EXPECT_EQ(std::string(buffer, received), "\r\n+GCI: 3D\r\n\r\nOK\r\n");

    device->Write("atz\r", 4, &written);
    device->Read(buffer, sizeof(buffer), &received);
    std::uint32_t more = 0;
    device->Read(buffer + received, sizeof(buffer) - received, &more);
    EXPECT_EQ(std::string(buffer, received + more), "atz\r\r\nERROR\r\n");
}

}  // namespace
