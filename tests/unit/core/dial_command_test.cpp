// The provider service-code call on a scripted modem: the exact dial command, how the reply
// is judged, the one extra read after a bare echo, the outside-line prefix that may reach the
// modem, and the channel being closed on every way out.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "modem/call_waiting_control.h"
#include "modem/dial_prefix.h"
#include "modem/modem_info.h"
#include "modem_test_support.h"
#include "support/memory/fixed_module.h"
#include "platform/user_exception.h"

namespace {

constexpr RegRoot kHklm = RegRoot::kLocalMachine;
const std::string kLocations = "Software\\Microsoft\\Windows\\CurrentVersion\\Telephony\\Locations";
const char* const kOk = "\r\nOK\r\n";

class DialTest : public ::testing::Test {
protected:
    // The current modem as the main dialog leaves it after the scan: connected on COM3 and
    // its port closed again.
    void SetUp() override {
        m_fake.AddModemKey(0, "COM3", "ORVA 56k V.92", "S7=60");
        m_pPort = &m_fake.AddModem(3);
        m_pModem = std::make_unique<ModemInfo>(m_fake.platform, 0);
        ASSERT_TRUE(m_pModem->ConnectToModem());
        ASSERT_NE(m_pModem->GetSerialPort(), nullptr);
        m_pModem->GetSerialPort()->Close();
        ASSERT_FALSE(m_pPort->IsOpen());
        m_pControl = std::make_unique<CCallWaitingControl>(m_fake.platform, m_pModem.get());
        m_pPort->ClearWrites();
        m_pPort->ClearCallLog();
        m_nOpens = m_pPort->GetOpenCount();
    }

    void TearDown() override {
        EXPECT_FALSE(m_pPort->IsOpen()) << "the port was left open";
        EXPECT_EQ(m_fake.registry.GetOpenKeyCount(), 0);
    }

    int Reads() const {
        std::vector<FakeCall> calls = m_pPort->GetCallLog();
        return static_cast<int>(std::count(calls.begin(), calls.end(), FakeCall::kRead));
    }

    // The port's own settings are back, as Close leaves them.
    void ExpectSettingsRestored() {
        SerialLineSettings now = m_pPort->GetSettings();
        SerialLineSettings initial = CFakeSerialPort::InitialSettings();
        EXPECT_EQ(std::memcmp(&now, &initial, sizeof(now)), 0);
        SerialTimeouts timeouts = m_pPort->GetTimeouts();
        SerialTimeouts initialTimeouts = CFakeSerialPort::InitialTimeouts();
        EXPECT_EQ(std::memcmp(&timeouts, &initialTimeouts, sizeof(timeouts)), 0);
    }

    FakePlatform m_fake;
    CFakeSerialPort* m_pPort = nullptr;
    std::unique_ptr<ModemInfo> m_pModem;
    std::unique_ptr<CCallWaitingControl> m_pControl;
    int m_nOpens = 0;
};

// --- The dial command, byte for byte ---

struct CommandCase {
    const char* name;
    int sound;
    const char* prefix;  // as Extra set it in this run; null: never opened
    int mode;
    const char* command;
    const char* location = nullptr;  // OutsideAccess of the current location; null: none
};

void PrintTo(const CommandCase& c, std::ostream* os) {
    *os << c.name;
}

class DialCommandTest : public DialTest, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(DialCommandTest, SendsExactlyThisCommand) {
    const CommandCase& c = GetParam();
    m_pPort->Respond(c.command, {{0, c.command}, {20, kOk}});
    if (c.location != nullptr) {
        m_fake.registry.SetDword(kHklm, kLocations, "CurrentID", 1);
        m_fake.registry.SetString(kHklm, kLocations + "\\Location1", "OutsideAccess", c.location);
    }
    if (c.prefix != nullptr) {
        m_pControl->SetOutsideAccess(c.prefix);
    }

    EXPECT_EQ(m_pControl->DialServiceCode(static_cast<Behaviour>(c.mode), c.sound), kApplyDone);

    EXPECT_EQ(m_pPort->GetWrites(), std::vector<std::string>{c.command});
    EXPECT_EQ(m_pPort->GetOpenCount(), m_nOpens + 1);
    ExpectSettingsRestored();
}

INSTANTIATE_TEST_SUITE_P(
    Commands, DialCommandTest,
    ::testing::Values(
        // The worked examples.
        CommandCase{"SoundNoPrefixActivate", 1, "", 1, "atm2l3x4d*43#,,;h\r"},
        CommandCase{"SoundNoPrefixDeactivate", 1, "", 2, "atm2l3x4d#43#,,;h\r"},
        CommandCase{"SilentPrefixDeactivate", 0, "0", 2, "atm0x3d0#43#,,;h\r"},
        CommandCase{"SoundWaitPrefixActivate", 1, "0W", 1, "atm2l3x3d0W*43#,,;h\r"},
        // Only sound 1 switches the speaker on.
        CommandCase{"SoundTwoIsOff", 2, "", 1, "atm0x4d*43#,,;h\r"},
        CommandCase{"SilentNoPrefixDeactivate", 0, "", 2, "atm0x4d#43#,,;h\r"},
        CommandCase{"PausesAndLowerWait", 0, "0,,w", 1, "atm0x3d0,,w*43#,,;h\r"},
        // Nothing but digits, ',' and 'W' reaches the modem from the prefix.
        CommandCase{"PrefixBlanksAndDashes", 1, "0 - 9", 1, "atm2l3x3d09*43#,,;h\r"},
        // The 'w' of "pcw" stays: a harmless wait for the dial tone.
        CommandCase{"PrefixCommandsInjected", 1, "0;h\rat+pcw=0\r", 2, "atm2l3x3d0w0#43#,,;h\r"},
        CommandCase{"PrefixLineFeedAndHash", 0, "0\n#*", 1, "atm0x3d0*43#,,;h\r"},
        CommandCase{"PrefixWithoutDialableCharacters", 1, "abc;", 1, "atm2l3x4d*43#,,;h\r"},
        // An empty prefix is filled from the current location at the call, also when Extra was
        // never opened; one set in Extra wins.
        CommandCase{"LocationWithoutExtra", 1, nullptr, 1, "atm2l3x3d0*43#,,;h\r", "0"},
        CommandCase{"EmptiedInExtra", 1, "", 1, "atm2l3x3d0W*43#,,;h\r", "0W"},
        CommandCase{"SetInExtraWins", 1, "9", 1, "atm2l3x3d9*43#,,;h\r", "0"},
        CommandCase{"LocationEmpty", 1, nullptr, 1, "atm2l3x4d*43#,,;h\r", ""}),
    [](const ::testing::TestParamInfo<CommandCase>& info) { return info.param.name; });

// --- Judging the reply ---

struct ReplyCase {
    const char* name;
    std::vector<FakeBurst> reply;  // with "%ECHO%" standing for the command itself
    int expected;
    int reads;
};

void PrintTo(const ReplyCase& c, std::ostream* os) {
    *os << c.name;
}

class DialReplyTest : public DialTest, public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(DialReplyTest, OkAnywhereAndOneExtraReadAfterABareEcho) {
    const ReplyCase& c = GetParam();
    const std::string command = "atm2l3x4d*43#,,;h\r";
    FakeReply reply;
    for (FakeBurst burst : c.reply) {
        if (burst.strBytes == "%ECHO%") {
            burst.strBytes = command;
        }
        reply.push_back(burst);
    }
    m_pPort->Respond(command, reply);

    EXPECT_EQ(m_pControl->DialServiceCode(kCut, 1), c.expected);

    EXPECT_EQ(Reads(), c.reads);
    EXPECT_EQ(m_pPort->GetWrites(), std::vector<std::string>{command});
    ExpectSettingsRestored();
}

INSTANTIATE_TEST_SUITE_P(
    Replies, DialReplyTest,
    ::testing::Values(
        ReplyCase{"EchoAndOkTogether", {{0, "%ECHO%"}, {50, kOk}}, kApplyDone, 1},
        ReplyCase{"OkAfterDialling", {{0, "%ECHO%"}, {4000, kOk}}, kApplyDone, 2},
        ReplyCase{"OkAfterAMinute", {{0, "%ECHO%"}, {60000, kOk}}, kApplyDone, 2},
        ReplyCase{"EchoOffOk", {{300, kOk}}, kApplyDone, 1},
        ReplyCase{"EchoOffNoDialtone", {{300, "\r\nNO DIALTONE\r\n"}}, kApplyProviderError, 1},
        ReplyCase{
            "NoDialtone", {{0, "%ECHO%"}, {50, "\r\nNO DIALTONE\r\n"}}, kApplyProviderError, 1},
        ReplyCase{
            "BusyAfterDialling", {{0, "%ECHO%"}, {4000, "\r\nBUSY\r\n"}}, kApplyProviderError, 2},
        ReplyCase{
            "ErrorAfterDialling", {{0, "%ECHO%"}, {4000, "\r\nERROR\r\n"}}, kApplyProviderError, 2},
        ReplyCase{"Silent", {}, kApplyProviderError, 1},
        ReplyCase{"EchoThenSilence", {{0, "%ECHO%"}}, kApplyProviderError, 2},
        // Only one extra read: an answer split once more is not waited for.
        ReplyCase{"OkInAThirdBurst",
                  {{0, "%ECHO%"}, {3000, "\r\n"}, {3000, "OK\r\n"}},
                  kApplyProviderError,
                  2},
        // Echo with a partial line is not the bare echo: no second read.
        ReplyCase{"EchoAndBlankLine",
                  {{0, "%ECHO%"}, {50, "\r\n"}, {4000, kOk}},
                  kApplyProviderError,
                  1}),
    [](const ::testing::TestParamInfo<ReplyCase>& info) { return info.param.name; });

TEST_F(DialTest, PortHeldElsewhereGivesMinusTwoAndSendsNothing) {
    m_pPort->FailOpen(fake_serial::kErrorAccessDenied);
    EXPECT_EQ(m_pControl->DialServiceCode(kCut, 1), kApplyProviderError);
    EXPECT_TRUE(m_pPort->GetWrites().empty());
}

// --- The prefix length limit ---

TEST_F(DialTest, PrefixUpTo237CharactersIsDialled) {
    const std::string prefix(kMaxOutsideLineLength, '0');
    const std::string command = "atm2l3x3d" + prefix + "*43#,,;h\r";
    ASSERT_EQ(command.size(), 255u);
    m_pPort->Respond(command, {{0, command}, {20, kOk}});
    // Characters that are filtered out do not count.
    m_pControl->SetOutsideAccess(prefix + " -()");
    EXPECT_EQ(m_pControl->DialServiceCode(kCut, 1), kApplyDone);
    EXPECT_EQ(m_pPort->GetWrites(), std::vector<std::string>{command});
}

TEST_F(DialTest, LongerPrefixIsRefusedWithoutOpeningThePort) {
    for (std::size_t length :
         {kMaxOutsideLineLength + 1, std::size_t{255}, std::size_t{1023}, std::size_t{5000}}) {
        SCOPED_TRACE(length);
        m_pControl->SetOutsideAccess(std::string(length, '0'));
        EXPECT_EQ(m_pControl->DialServiceCode(kCut, 0), kApplyProviderError);
    }
    EXPECT_EQ(m_pPort->GetOpenCount(), m_nOpens);
    EXPECT_TRUE(m_pPort->GetWrites().empty());
}

// A prefix longer than the buffer keeps its dialable characters rather than losing its end.
TEST_F(DialTest, OverlongTextKeepsItsNumber) {
    const std::string text = std::string(2000, ' ') + "0W";
    m_pPort->Respond("atm0x3d0W#43#,,;h\r", {{0, "atm0x3d0W#43#,,;h\r"}, {20, kOk}});
    m_pControl->SetOutsideAccess(text);
    EXPECT_EQ(m_pControl->DialServiceCode(kStay, 0), kApplyDone);
    EXPECT_EQ(m_pPort->GetWrites(), std::vector<std::string>{"atm0x3d0W#43#,,;h\r"});
}

// The location's prefix is not filtered when it is read, only when it is dialled.
TEST_F(DialTest, LocationPrefixIsFilteredBeforeDialling) {
    m_fake.registry.SetDword(kHklm, kLocations, "CurrentID", 1);
    m_fake.registry.SetString(kHklm, kLocations + "\\Location1", "OutsideAccess", "0\r\nat&f;");
    EXPECT_EQ(m_pControl->GetOutsideAccess(), "0\r\nat&f;");
    const std::string command = "atm2l3x3d0*43#,,;h\r";
    m_pPort->Respond(command, {{0, command}, {20, kOk}});
    EXPECT_EQ(m_pControl->DialServiceCode(kCut, 1), kApplyDone);
    EXPECT_EQ(m_pPort->GetWrites(), std::vector<std::string>{command});
}

// A laptop taken from the office home: the second call of the same control dials the prefix
// of the location current then.
TEST_F(DialTest, EachCallDialsThePrefixOfTheLocationCurrentThen) {
    m_fake.registry.SetDword(kHklm, kLocations, "CurrentID", 1);
    m_fake.registry.SetString(kHklm, kLocations + "\\Location1", "OutsideAccess", "0");
    m_fake.registry.SetString(kHklm, kLocations + "\\Location2", "OutsideAccess", "");
    for (const char* command : {"atm0x3d0*43#,,;h\r", "atm0x4d*43#,,;h\r"}) {
        m_pPort->Respond(command, {{0, command}, {20, kOk}});
    }
    EXPECT_EQ(m_pControl->DialServiceCode(kCut, 0), kApplyDone);
    m_fake.registry.SetDword(kHklm, kLocations, "CurrentID", 2);
    EXPECT_EQ(m_pControl->DialServiceCode(kCut, 0), kApplyDone);
    EXPECT_EQ(m_pPort->GetWrites(),
              (std::vector<std::string>{"atm0x3d0*43#,,;h\r", "atm0x4d*43#,,;h\r"}));
}

// --- The channel is closed on every way out ---

TEST_F(DialTest, ReadErrorClosesThePortAndPassesOn) {
    m_pPort->Fail(FakeCall::kRead, fake_serial::kErrorIoDevice, 0, 2);
    EXPECT_THROW(m_pControl->DialServiceCode(kCut, 1), CUserException);
    EXPECT_FALSE(m_pPort->IsOpen());
    ExpectSettingsRestored();

    // The next call can open the port again; Apply gives the failure its own result, logged.
    EXPECT_EQ(m_pControl->Apply(kCut, 1, 1), kApplyProviderError);
    EXPECT_EQ(m_fake.log.GetLines(), std::vector<std::string>{"*** Apply \n"});
}

TEST_F(DialTest, ReadErrorWhoseCloseFailsStillReleasesThePort) {
    // The read fails, and putting the time-outs back fails as well (after the one set by Open).
    m_pPort->Fail(FakeCall::kRead, fake_serial::kErrorIoDevice, 0, 1);
    m_pPort->Fail(FakeCall::kSetTimeouts, fake_serial::kErrorGenFailure, 1, 1);
    EXPECT_THROW(m_pControl->DialServiceCode(kCut, 1), CUserException);
    EXPECT_FALSE(m_pPort->IsOpen());

    m_pPort->Respond("atm2l3x4d*43#,,;h\r", {{0, "atm2l3x4d*43#,,;h\r"}, {20, kOk}});
    EXPECT_EQ(m_pControl->DialServiceCode(kCut, 1), kApplyDone);
}

TEST_F(DialTest, FailingCloseAfterTheCallPassesOnAndReleasesThePort) {
    m_pPort->Respond("atm2l3x4d*43#,,;h\r", {{0, "atm2l3x4d*43#,,;h\r"}, {20, kOk}});
    // Open sets the time-outs once; the restore in Close is the second call.
    m_pPort->Fail(FakeCall::kSetState, fake_serial::kErrorGenFailure, 1, 1);
    EXPECT_THROW(m_pControl->DialServiceCode(kCut, 1), CUserException);
    EXPECT_FALSE(m_pPort->IsOpen());
    EXPECT_EQ(m_pControl->DialServiceCode(kCut, 1), kApplyDone);
}

TEST_F(DialTest, FailingLineSettingsPassOnWithThePortClosed) {
    m_pPort->Fail(FakeCall::kSetState, fake_serial::kErrorGenFailure, 0, 1);
    EXPECT_THROW(m_pControl->DialServiceCode(kCut, 1), CUserException);
    EXPECT_FALSE(m_pPort->IsOpen());
    EXPECT_TRUE(m_pPort->GetWrites().empty());
    EXPECT_EQ(m_fake.log.Count("*** Open Port \n"), 1);
}

// --- Apply with the provider call ---

TEST_F(DialTest, ApplyWritesThenDials) {
    const std::string command = "atm0x4d#43#,,;h\r";
    m_pPort->Respond(command, {{0, command}, {3000, kOk}});
    EXPECT_EQ(m_pControl->Apply(kStay, 0, 1), kApplyDone);
    EXPECT_EQ(m_fake.registry.GetString(kHklm, BuildModemKeyPath(0, false), "UserInit"),
              "+PCW=2;S7=60");
    EXPECT_EQ(m_pPort->GetWrites(), std::vector<std::string>{command});
    EXPECT_EQ(m_pControl->GetMode(), 2);
}

TEST_F(DialTest, ApplyReportsProviderFailureAfterChangingTheValue) {
    const std::string command = "atm2l3x4d*43#,,;h\r";
    m_pPort->Respond(command, {{0, command}, {50, "\r\nBUSY\r\n"}});
    EXPECT_EQ(m_pControl->Apply(kCut, 1, 1), kApplyProviderError);
    EXPECT_EQ(m_fake.registry.GetString(kHklm, BuildModemKeyPath(0, false), "UserInit"),
              "+PCW=1;S7=60");
}

TEST_F(DialTest, ApplyNeverDialsAfterARegistryError) {
    m_fake.registry.DenyWrite(kHklm, BuildModemKeyPath(0, false));
    EXPECT_EQ(m_pControl->Apply(kCut, 1, 1), kApplyRegistryError);
    EXPECT_EQ(m_pPort->GetOpenCount(), m_nOpens);
    EXPECT_TRUE(m_pPort->GetWrites().empty());
}

TEST_F(DialTest, ApplyNeverDialsWhenTheValueWriteFails) {
    m_fake.registry.FailSetValue(kHklm, BuildModemKeyPath(0, false), "UserInit");
    EXPECT_EQ(m_pControl->Apply(kCut, 1, 1), kApplyRegistryError);
    EXPECT_EQ(m_pPort->GetOpenCount(), m_nOpens);
    EXPECT_EQ(m_fake.registry.GetString(kHklm, BuildModemKeyPath(0, false), "UserInit"), "S7=60");
}

}  // namespace
