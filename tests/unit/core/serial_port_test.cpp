// CSerialPort on the scripted fake ports: the line configuration it sets and restores, the
// rules of its reads and writes, and the AT exchange on top of them.
#include "modem/serial_port.h"

#include <gtest/gtest.h>

#include <ostream>
#include <cstring>
#include <string>
#include <vector>

#include "modem_test_support.h"
#include "platform/user_exception.h"

namespace {

// Parameterised cases print as their name instead of a byte dump.
template <typename Case>
requires requires(const Case& c) {
    c.name;
}
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

constexpr const char* kOpenPortLine = "*** Open Port \n";

bool SameTimeouts(const SerialTimeouts& a, const SerialTimeouts& b) {
    return std::memcmp(&a, &b, sizeof(a)) == 0;
}

class SerialPortTest : public ::testing::Test {
protected:
    FakePlatform fake;
    CFakeSerialPort& port = fake.serial.AddPort(3);
    CSerialPort serial{fake.platform, 3};

    void OpenOrFail() { ASSERT_TRUE(serial.Open()); }
};

// --- Open and Close ---

TEST_F(SerialPortTest, OpenOfMissingPortFailsQuietlyAndCloseDoesNothing) {
    CSerialPort missing(fake.platform, 7);
    EXPECT_FALSE(missing.Open());
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_NO_THROW(missing.Close());
    EXPECT_TRUE(fake.log.GetLines().empty());
    EXPECT_EQ(fake.serial.GetOpenedNames(), std::vector<std::string>{"\\\\.\\COM7"});
}

TEST_F(SerialPortTest, OpenOfBusyPortFails) {
    CSerialPort other(fake.platform, 3);
    ASSERT_TRUE(other.Open());
    EXPECT_FALSE(serial.Open());
    EXPECT_FALSE(serial.IsOpen());
    EXPECT_TRUE(other.IsOpen());
    port.ClearFaults();
    other.Close();
    port.FailOpen(fake_serial::kErrorAccessDenied);
    EXPECT_FALSE(serial.Open());
    EXPECT_TRUE(fake.log.GetLines().empty());
}

TEST_F(SerialPortTest, TwoDigitPortsUseTheDeviceNamespaceToo) {
    fake.serial.AddPort(12);
    CSerialPort high(fake.platform, 12);
    EXPECT_TRUE(high.Open());
    EXPECT_EQ(fake.serial.GetOpenedNames().back(), "\\\\.\\COM12");
}

struct FlagCase {
    const char* name;
    std::uint32_t nFlags;
};

class SerialPortLineSettingsTest : public SerialPortTest,
                                   public ::testing::WithParamInterface<FlagCase> {};

TEST_P(SerialPortLineSettingsTest, SetsTheChannelFieldsKeepsTheRestAndRestoresOnClose) {
    SerialLineSettings before = CFakeSerialPort::InitialSettings();
    before.fFlags = GetParam().nFlags;
    port.SetSettings(before);
    const SerialTimeouts timeoutsBefore = port.GetTimeouts();

    OpenOrFail();
    SerialLineSettings s = port.GetSettings();
    EXPECT_EQ(s.DCBlength, 28u);
    EXPECT_EQ(s.BaudRate, 115200u);
    EXPECT_EQ(s.ByteSize, 8);
    EXPECT_EQ(s.Parity, dcb::kNoParity);
    EXPECT_EQ(s.StopBits, dcb::kOneStopBit);
    EXPECT_NE(s.fFlags & dcb::kBinary, 0u);
    EXPECT_NE(s.fFlags & dcb::kOutxCtsFlow, 0u);
    EXPECT_EQ(s.fFlags & dcb::kOutxDsrFlow, 0u);
    EXPECT_EQ((s.fFlags & dcb::kDtrControlMask) >> dcb::kDtrControlShift, dcb::kDtrControlDisable);
    EXPECT_EQ(s.fFlags & dcb::kOutX, 0u);
    EXPECT_EQ(s.fFlags & dcb::kInX, 0u);
    EXPECT_EQ((s.fFlags & dcb::kRtsControlMask) >> dcb::kRtsControlShift,
              dcb::kRtsControlHandshake);
    const std::uint32_t kept = dcb::kParity | dcb::kDsrSensitivity | dcb::kTXContinueOnXoff |
                               dcb::kErrorChar | dcb::kNull | dcb::kAbortOnError | 0xFFFF8000u;
    EXPECT_EQ(s.fFlags & kept, before.fFlags & kept);
    EXPECT_EQ(s.fFlags, (before.fFlags & 0xFFFFECC7u) | 0x2005u);
    EXPECT_EQ(s.wReserved, before.wReserved);
    EXPECT_EQ(s.XonLim, before.XonLim);
    EXPECT_EQ(s.XoffLim, before.XoffLim);
    EXPECT_EQ(s.XonChar, before.XonChar);
    EXPECT_EQ(s.XoffChar, before.XoffChar);
    EXPECT_EQ(s.ErrorChar, before.ErrorChar);
    EXPECT_EQ(s.EofChar, before.EofChar);
    EXPECT_EQ(s.EvtChar, before.EvtChar);
    EXPECT_EQ(s.wReserved1, before.wReserved1);

    SerialTimeouts to = port.GetTimeouts();
    EXPECT_EQ(to.ReadIntervalTimeout, 200u);
    EXPECT_EQ(to.ReadTotalTimeoutMultiplier, 100u);
    EXPECT_EQ(to.ReadTotalTimeoutConstant, 1000u);
    EXPECT_EQ(to.WriteTotalTimeoutMultiplier, 100u);
    EXPECT_EQ(to.WriteTotalTimeoutConstant, 1000u);

    serial.Close();
    EXPECT_FALSE(serial.IsOpen());
    EXPECT_FALSE(port.IsOpen());
    EXPECT_TRUE(SameSettings(port.GetSettings(), before));
    EXPECT_TRUE(SameTimeouts(port.GetTimeouts(), timeoutsBefore));
}

INSTANTIATE_TEST_SUITE_P(
    Flags, SerialPortLineSettingsTest,
    ::testing::Values(FlagCase{"Distinctive", CFakeSerialPort::InitialSettings().fFlags},
                      FlagCase{"AllClear", 0u}, FlagCase{"AllSet", 0xFFFFFFFFu},
                      FlagCase{"DtrHandshakeRtsToggle", 0x3020u}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SerialPortTest, CloseRestoresTimeoutsBeforeLineSettings) {
    OpenOrFail();
    EXPECT_EQ(port.GetCallLog(),
              (std::vector<FakeCall>{FakeCall::kOpen, FakeCall::kGetState, FakeCall::kGetState,
                                     FakeCall::kSetState, FakeCall::kGetTimeouts,
                                     FakeCall::kGetTimeouts, FakeCall::kSetTimeouts}));
    port.ClearCallLog();
    serial.Close();
    EXPECT_EQ(port.GetCallLog(), (std::vector<FakeCall>{FakeCall::kSetTimeouts, FakeCall::kSetState,
                                                        FakeCall::kClose}));
    serial.Close();  // a second close does nothing
    EXPECT_EQ(port.GetCallLog().size(), 3u);
}

TEST_F(SerialPortTest, ReopenSavesTheSettingsAgain) {
    OpenOrFail();
    serial.Close();
    SerialLineSettings changed = CFakeSerialPort::InitialSettings();
    changed.BaudRate = 2400;
    port.SetSettings(changed);
    OpenOrFail();
    serial.Close();
    EXPECT_EQ(port.GetSettings().BaudRate, 2400u);
}

// The scan leaves a port open and a later provider call opens it again: the second Open must
// neither fail against the channel's own handle nor lose the settings saved by the first.
TEST_F(SerialPortTest, OpenOnAnOpenChannelKeepsItAndItsSavedSettings) {
    OpenOrFail();
    port.ClearCallLog();
    EXPECT_TRUE(serial.Open());
    EXPECT_TRUE(serial.IsOpen());
    EXPECT_TRUE(port.GetCallLog().empty());
    serial.Close();
    EXPECT_FALSE(port.IsOpen());
    EXPECT_TRUE(SameSettings(port.GetSettings(), CFakeSerialPort::InitialSettings()));
}

struct OpenFault {
    const char* name;
    FakeCall call;
    int nPassFirst;
};

class SerialPortOpenFaultTest : public SerialPortTest,
                                public ::testing::WithParamInterface<OpenFault> {};

TEST_P(SerialPortOpenFaultTest, ClosesTheDeviceLogsAndThrows) {
    port.Fail(GetParam().call, fake_serial::kErrorGenFailure, GetParam().nPassFirst, 1);
    EXPECT_THROW(serial.Open(), CUserException);
    EXPECT_FALSE(serial.IsOpen());
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(fake.log.GetLines(), std::vector<std::string>{kOpenPortLine});
    // The port is free again for the next attempt.
    EXPECT_TRUE(serial.Open());
}

INSTANTIATE_TEST_SUITE_P(Calls, SerialPortOpenFaultTest,
                         ::testing::Values(OpenFault{"SavingLineSettings", FakeCall::kGetState, 0},
                                           OpenFault{"ReadingLineSettings", FakeCall::kGetState, 1},
                                           OpenFault{"SettingLineSettings", FakeCall::kSetState, 0},
                                           OpenFault{"SavingTimeouts", FakeCall::kGetTimeouts, 0},
                                           OpenFault{"ReadingTimeouts", FakeCall::kGetTimeouts, 1},
                                           OpenFault{"SettingTimeouts", FakeCall::kSetTimeouts, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SerialPortTest, FailedRestoreOfTimeoutsKeepsTheDeviceOpen) {
    const SerialLineSettings before = port.GetSettings();
    OpenOrFail();
    port.Fail(FakeCall::kSetTimeouts, fake_serial::kErrorGenFailure, 0, 1);
    EXPECT_THROW(serial.Close(), CUserException);
    EXPECT_TRUE(serial.IsOpen());
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(port.GetSettings().BaudRate, 115200u);  // line settings not touched yet
    serial.Close();
    EXPECT_FALSE(port.IsOpen());
    EXPECT_TRUE(SameSettings(port.GetSettings(), before));
}

TEST_F(SerialPortTest, FailedRestoreOfLineSettingsKeepsTheDeviceOpen) {
    OpenOrFail();
    port.Fail(FakeCall::kSetState, fake_serial::kErrorGenFailure, 0, 1);
    EXPECT_THROW(serial.Close(), CUserException);
    EXPECT_TRUE(serial.IsOpen());
    EXPECT_TRUE(port.IsOpen());
    EXPECT_TRUE(SameTimeouts(port.GetTimeouts(), CFakeSerialPort::InitialTimeouts()));
    EXPECT_TRUE(fake.log.GetLines().empty());
}

TEST_F(SerialPortTest, DestroyingAnOpenChannelReleasesItWithoutRestoring) {
    {
        CSerialPort temporary(fake.platform, 3);
        ASSERT_TRUE(temporary.Open());
    }
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.GetSettings().BaudRate, 115200u);
    EXPECT_EQ(port.GetTimeouts().ReadIntervalTimeout, 200u);
    EXPECT_EQ(port.GetCallLog().back(), FakeCall::kClose);
}

// --- Write and Read ---

struct WriteCase {
    const char* name;
    bool bFail;
    std::uint32_t nError;
    bool bExpected;
};

class SerialPortWriteTest : public SerialPortTest,
                            public ::testing::WithParamInterface<WriteCase> {};

TEST_P(SerialPortWriteTest, FailsOnlyWithALastError) {
    OpenOrFail();
    if (GetParam().bFail) {
        port.Fail(FakeCall::kWrite, GetParam().nError);
    }
    fake.serial.SetLastError(77);  // stale value from earlier calls must not count
    EXPECT_EQ(serial.Write("at\r", 3), GetParam().bExpected);
    EXPECT_EQ(port.GetWrites().empty(), GetParam().bFail);
}

INSTANTIATE_TEST_SUITE_P(Results, SerialPortWriteTest,
                         ::testing::Values(WriteCase{"Succeeds", false, 0, true},
                                           WriteCase{"FailsWithError", true,
                                                     fake_serial::kErrorIoDevice, false},
                                           WriteCase{"FailsWithoutError", true, 0, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// A negative length is no huge one: nothing leaves the buffer.
TEST_F(SerialPortTest, NegativeLengthWritesNothing) {
    OpenOrFail();
    EXPECT_TRUE(serial.Write("at\r", -1));
    EXPECT_EQ(port.GetWrittenText(), "");
}

TEST_F(SerialPortTest, IoOnAClosedChannelFailsInsteadOfCrashing) {
    char buffer[8] = {'x'};
    EXPECT_FALSE(serial.Write("at\r", 3));
    EXPECT_EQ(serial.Read(buffer, sizeof(buffer)), 0);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_THROW(serial.Exchange("at\r"), CUserException);
    EXPECT_FALSE(serial.SendExpectReply("at\r", 8));
    EXPECT_EQ(serial.ReadResponse(), "");
}

struct ReadCase {
    const char* name;
    int nSize;
    std::string input;
    bool bFail;
    int nExpected;
    bool bTerminated;
};

class SerialPortReadTest : public SerialPortTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(SerialPortReadTest, TerminatesOnlyWhenThereIsRoomToSpare) {
    const ReadCase& c = GetParam();
    OpenOrFail();
    if (!c.input.empty()) {
        port.Inject(0, c.input);
    }
    if (c.bFail) {
        port.Fail(FakeCall::kRead, fake_serial::kErrorIoDevice);
    }
    std::vector<char> buffer(c.nSize + 1, '#');
    EXPECT_EQ(serial.Read(buffer.data(), c.nSize), c.nExpected);
    EXPECT_EQ(std::string(buffer.data(), c.nExpected), c.input.substr(0, c.nExpected));
    EXPECT_EQ(buffer[c.nExpected], c.bTerminated ? '\0' : '#');
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, SerialPortReadTest,
    ::testing::Values(ReadCase{"SilenceLeavesZeroAtStart", 16, "", false, 0, true},
                      ReadCase{"ShortReplyTerminated", 16, "OK\r\n", false, 4, true},
                      ReadCase{"SizeMinusTwoTerminated", 8, "123456", false, 6, true},
                      ReadCase{"SizeMinusOneUnterminated", 8, "1234567", false, 7, false},
                      ReadCase{"FullUnterminated", 8, "12345678", false, 8, false},
                      ReadCase{"MoreThanSizeUnterminated", 8, "1234567890", false, 8, false},
                      ReadCase{"FailureReadsAsNothing", 16, "OK\r\n", true, 0, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SerialPortTest, SilentReadOf1024BytesWaitsItsFullTotalTimeout) {
    OpenOrFail();
    char buffer[1024];
    const std::uint64_t start = fake.clock.Now();
    EXPECT_EQ(serial.Read(buffer, sizeof(buffer)), 0);
    EXPECT_EQ(fake.clock.Now() - start, 103400u);
}

// --- AT command exchange ---

struct ExpectCase {
    const char* name;
    FakeReply reply;
    int nMax;
    bool bExpected;
};

class SerialPortSendExpectReplyTest : public SerialPortTest,
                                      public ::testing::WithParamInterface<ExpectCase> {};

TEST_P(SerialPortSendExpectReplyTest, NeedsThreeBytesAndIgnoresTheContent) {
    OpenOrFail();
    port.Respond("at&f\r", GetParam().reply);
    EXPECT_EQ(serial.SendExpectReply("at&f\r", GetParam().nMax), GetParam().bExpected);
    EXPECT_EQ(port.GetWrites(), std::vector<std::string>{"at&f\r"});
    EXPECT_EQ(fake.sleeper.GetSleeps(), std::vector<std::uint32_t>{200});
}

INSTANTIATE_TEST_SUITE_P(
    Replies, SerialPortSendExpectReplyTest,
    ::testing::Values(ExpectCase{"Silence", {}, 8, false},
                      ExpectCase{"NumericResultCodeTwoBytes", {{0, "0\r"}}, 8, false},
                      ExpectCase{"ThreeBytes", {{0, "0\r\n"}}, 8, true},
                      ExpectCase{"EchoAndOk", {{0, "at&f\r"}, {20, "\r\nOK\r\n"}}, 8, true},
                      ExpectCase{"EchoAndError", {{0, "at&f\r\r\nERROR\r\n"}}, 8, true},
                      ExpectCase{"Garbage", {{0, std::string("\xff\xfe\x00\x01", 4)}}, 8, true},
                      ExpectCase{"LimitOfTwoBytes", {{0, "at&f\r\r\nOK\r\n"}}, 2, false},
                      ExpectCase{"LimitAboveBufferIsCapped", {{0, "at&f\r\r\nOK\r\n"}}, 5000, true},
                      ExpectCase{"NegativeLimitReadsNothing", {{0, "at&f\r\r\nOK\r\n"}}, -1, false},
                      ExpectCase{"AnswerAtTotalTimeout", {{2000, "OK\r\n"}}, 8, false},
                      ExpectCase{"AnswerJustBeforeTotalTimeout", {{1999, "OK\r\n"}}, 8, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SerialPortTest, SendExpectReplyGivesUpOnASilentModemAfterTwoSeconds) {
    OpenOrFail();
    const std::uint64_t start = fake.clock.Now();
    EXPECT_FALSE(serial.SendExpectReply("at&f\r", 8));
    EXPECT_EQ(fake.clock.Now() - start, 2000u);
}

TEST_F(SerialPortTest, SendExpectReplyReadsAtMostTheLimitAndLeavesTheRest) {
    OpenOrFail();
    port.Respond("at&f\r", {{0, "at&f\r\r\nOK\r\n"}});
    EXPECT_TRUE(serial.SendExpectReply("at&f\r", 8));
    EXPECT_EQ(port.GetPendingInput(), "K\r\n");
}

TEST_F(SerialPortTest, SendExpectReplyStopsWhenTheWriteFails) {
    OpenOrFail();
    port.Fail(FakeCall::kWrite, fake_serial::kErrorIoDevice);
    port.ClearCallLog();
    EXPECT_FALSE(serial.SendExpectReply("at&f\r", 8));
    EXPECT_TRUE(fake.sleeper.GetSleeps().empty());
    EXPECT_EQ(port.GetCallLog(), std::vector<FakeCall>{FakeCall::kWrite});
}

TEST_F(SerialPortTest, SendExpectReplyThrowsOnlyWhenTheReadFailsWithAnError) {
    OpenOrFail();
    port.Respond("at&f\r", {{0, "at&f\r\r\nOK\r\n"}});
    port.Fail(FakeCall::kReadAfterData, 0, 0, 1);
    EXPECT_TRUE(serial.SendExpectReply("at&f\r", 8));
    port.Fail(FakeCall::kRead, fake_serial::kErrorIoDevice, 0, 1);
    EXPECT_THROW(serial.SendExpectReply("at&f\r", 8), CUserException);
}

TEST_F(SerialPortTest, ExchangeReturnsExactlyTheBytesOfOneRead) {
    OpenOrFail();
    const std::string reply("at+pcw?\r\r\n+PCW: 0\r\n\0\r\nOK\r\n", 27);
    port.Respond("at+pcw?\r", {{0, reply}});
    EXPECT_EQ(serial.Exchange("at+pcw?\r"), reply);
    EXPECT_EQ(port.GetWrites(), std::vector<std::string>{"at+pcw?\r"});
}

TEST_F(SerialPortTest, ExchangeReturnsTheEchoAloneWhenTheAnswerIsLate) {
    OpenOrFail();
    port.Respond("at+pcw?\r", {{0, "at+pcw?\r"}, {450, "\r\nOK\r\n"}});
    EXPECT_EQ(serial.Exchange("at+pcw?\r"), "at+pcw?\r");
    EXPECT_EQ(serial.ReadResponse(), "\r\nOK\r\n");
}

TEST_F(SerialPortTest, ExchangeOfASilentModemIsEmptyAfterTheLongTimeout) {
    OpenOrFail();
    const std::uint64_t start = fake.clock.Now();
    EXPECT_EQ(serial.Exchange("at+pcw?\r"), "");
    EXPECT_EQ(fake.clock.Now() - start, 200u + 103400u);
}

TEST_F(SerialPortTest, ExchangeReadsEvenWhenTheWriteFails) {
    OpenOrFail();
    port.Inject(0, "stale\r\n");
    port.Fail(FakeCall::kWrite, fake_serial::kErrorIoDevice);
    EXPECT_EQ(serial.Exchange("at+pcw?\r"), "stale\r\n");
    EXPECT_TRUE(port.GetWrites().empty());
}

TEST_F(SerialPortTest, ExchangeAndQueryThrowWhenTheReadFails) {
    OpenOrFail();
    port.Fail(FakeCall::kRead, fake_serial::kErrorIoDevice);
    EXPECT_THROW(serial.Exchange("at+pcw?\r"), CUserException);
    EXPECT_THROW(serial.Query("at+gci?\r"), CUserException);
    EXPECT_EQ(serial.ReadResponse(), "");
    EXPECT_TRUE(fake.log.GetLines().empty());
}

TEST_F(SerialPortTest, QueryTakesTheValueOfTheWorkedExample) {
    OpenOrFail();
    port.Respond("at+gci?\r", {{0, "at+gci?\r\r\n+GCI: 04\r\n\r\nOK\r\n"}});
    EXPECT_EQ(serial.Query("at+gci?\r"), "04");
}

TEST_F(SerialPortTest, QueryThrowsWithoutAValue) {
    OpenOrFail();
    port.Respond("at+gci?\r", {{0, "at+gci?\r\r\nERROR\r\n"}});
    EXPECT_THROW(serial.Query("at+gci?\r"), CUserException);
    port.Respond("at+gci?\r", {{0, "at+gci?\r\n+GCI: 04\n\nOK\n"}});
    EXPECT_THROW(serial.Query("at+gci?\r"), CUserException);
    port.Respond("at+gci?\r", {});
    EXPECT_THROW(serial.Query("at+gci?\r"), CUserException);
}

// --- Maker and model probes ---

struct MakerCase {
    const char* name;
    FakeModemAnswers answers;
    bool bExpected;
    std::vector<std::string> sent;
};

FakeModemAnswers Maker(std::optional<std::string> maker) {
    FakeModemAnswers answers;
    answers.strMaker = std::move(maker);
    return answers;
}

FakeModemAnswers SilentReset() {
    FakeModemAnswers answers;
    answers.bReset = false;
    return answers;
}

class SerialPortMakerTest : public SerialPortTest,
                            public ::testing::WithParamInterface<MakerCase> {};

TEST_P(SerialPortMakerTest, ResetsAndLooksForTheMakerWord) {
    ScriptModem(port, GetParam().answers);
    OpenOrFail();
    EXPECT_EQ(serial.ResetAndCheckMaker(), GetParam().bExpected);
    EXPECT_EQ(port.GetWrites(), GetParam().sent);
}

const std::vector<std::string> kResetAndMaker = {"at&f\r", "at+gmi?\r"};

INSTANTIATE_TEST_SUITE_P(
    Answers, SerialPortMakerTest,
    ::testing::Values(MakerCase{"Maker", Maker("ORVA"), true, kResetAndMaker},
                      MakerCase{"LongerMakerText", Maker("ORVA Communications GmbH"), true,
                                kResetAndMaker},
                      MakerCase{"LowerCaseMaker", Maker("orva"), false, kResetAndMaker},
                      MakerCase{"OtherMaker", Maker("ACME"), false, kResetAndMaker},
                      MakerCase{"SilentReset", SilentReset(), false, {"at&f\r"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SerialPortTest, MakerQueryWithoutValueThrows) {
    ScriptModem(port, Maker(std::nullopt));
    OpenOrFail();
    EXPECT_THROW(serial.ResetAndCheckMaker(), CUserException);
}

TEST_F(SerialPortTest, RestOfALongResetReplyComesAheadOfTheMakerReply) {
    // 11 bytes of reset reply, of which the reset read takes 8: "K\r\n" stays in the input
    // and leads the manufacturer reply, ahead of its colon.
    ScriptModem(port);
    OpenOrFail();
    ASSERT_TRUE(serial.SendExpectReply("at&f\r", 8));
    EXPECT_EQ(port.GetPendingInput(), "K\r\n");
    EXPECT_EQ(serial.Exchange("at+gmi?\r"), "K\r\nat+gmi?\r\r\n+GMI: ORVA\r\n\r\nOK\r\n");
    EXPECT_TRUE(serial.ResetAndCheckMaker());
    EXPECT_EQ(port.GetPendingInput(), "");
}

struct ModelCase {
    const char* name;
    std::string reported;
    std::string expected;
};

class SerialPortModelTest : public SerialPortTest,
                            public ::testing::WithParamInterface<ModelCase> {};

TEST_P(SerialPortModelTest, RemovesOnlyEnclosingQuotes) {
    FakeModemAnswers answers;
    answers.strModel = GetParam().reported;
    ScriptModem(port, answers);
    OpenOrFail();
    EXPECT_EQ(serial.QueryModel(), GetParam().expected);
    EXPECT_EQ(port.GetWrites(), std::vector<std::string>{"at+gmm?\r"});
}

INSTANTIATE_TEST_SUITE_P(
    Values, SerialPortModelTest,
    ::testing::Values(ModelCase{"Quoted", "\"ORVA 56k V.92\"", "ORVA 56k V.92"},
                      ModelCase{"QuoteAtStartOnly", "\"ORVA 56k", "\"ORVA 56k"},
                      ModelCase{"LoneQuote", "\"", ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
