// ModemInfo against the in-memory registry and the scripted modem: the registry record,
// the probes that connect to a modem and identify it, and that every key gets closed.
#include "modem/modem_info.h"

#include <gtest/gtest.h>

#include <ostream>
#include <new>
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

const std::string kGuidBase =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96D-E325-11CE-BFC1-08002BE10318}\\";
const std::string kLegacyBase = "System\\CurrentControlSet\\Services\\Class\\Modem\\";
constexpr const char* kConnectLine = "*** Connect to modem \n";

template <typename Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
    return info.param.name;
}

// --- Pure helpers ---

TEST(ModemKeyPathTest, BaseOfTheLayoutAndFourDigitNumber) {
    EXPECT_EQ(BuildModemKeyPath(0, false), kGuidBase + "0000");
    EXPECT_EQ(BuildModemKeyPath(7, false), kGuidBase + "0007");
    EXPECT_EQ(BuildModemKeyPath(12, true), kLegacyBase + "0012");
    EXPECT_EQ(BuildModemKeyPath(254, true), kLegacyBase + "0254");
    EXPECT_EQ(BuildModemKeyPath(254, false), kGuidBase + "0254");
}

TEST(StripSpacesTest, RemovesBlanksOnly) {
    EXPECT_EQ(StripSpaces("at s7=60 l2"), "ats7=60l2");
    EXPECT_EQ(StripSpaces("  a\tb \r\n "), "a\tb\r\n");
    EXPECT_EQ(StripSpaces("   "), "");
    EXPECT_EQ(NormaliseUserInit("at s7=60 l2"), "ATS7=60L2");
    EXPECT_EQ(NormaliseUserInit("+pcw=2;&k3 \xe4z"), "+PCW=2;&K3\xe4Z");
}

struct PortCase {
    const char* name;
    std::string attachedTo;
    int nExpected;
};

class PortFromAttachedToTest : public ::testing::TestWithParam<PortCase> {};

TEST_P(PortFromAttachedToTest, ReadsTheNumberAfterThreeCharacters) {
    EXPECT_EQ(PortFromAttachedTo(GetParam().attachedTo), GetParam().nExpected);
    // The same text inside a longer one: nothing after its end is read.
    const std::string longer = GetParam().attachedTo + "9";
    EXPECT_EQ(PortFromAttachedTo(std::string_view(longer).substr(0, longer.size() - 1)),
              GetParam().nExpected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, PortFromAttachedToTest,
    ::testing::Values(
        PortCase{"Com3", "COM3", 3}, PortCase{"Com12", "COM12", 12}, PortCase{"ComAlone", "COM", 0},
        PortCase{"Empty", "", 0}, PortCase{"PrefixNotCompared", "LPT1", 1},
        PortCase{"AnyPrefix", "xyz007", 7}, PortCase{"BlankBeforeNumber", "COM 5", 5},
        PortCase{"TabBeforeNumber", "COM\t6", 6}, PortCase{"LineEndsBeforeNumber", "COM\r\n7", 7},
        PortCase{"VerticalTabAndFormFeed", "COM\v\f8", 8}, PortCase{"PlusSign", "COM+4", 4},
        PortCase{"MinusOneMeansNone", "COM-1", 0}, PortCase{"OtherNegative", "COM-5", -5},
        PortCase{"TrailingTextIgnored", "COM3:", 3}, PortCase{"NoNumberAfterPrefix", "COMx3", 0},
        PortCase{"SignWithoutDigits", "COM-", 0}, PortCase{"Overflow", "COM99999999999", 0},
        PortCase{"LargestInt", "COM2147483647", 2147483647}),
    CaseName<PortCase>);

// --- Records read from the registry ---

class ModemInfoTest : public ::testing::Test {
protected:
    FakePlatform fake;

    void TearDown() override { EXPECT_EQ(fake.registry.GetOpenKeyCount(), 0); }

    void SetValue(int nKey, const char* name, const std::string& text, bool bLegacy = false) {
        fake.registry.SetString(RegRoot::kLocalMachine, BuildModemKeyPath(nKey, bLegacy), name,
                                text);
    }
};

TEST_F(ModemInfoTest, ReadsTheClassGuidLayout) {
    fake.AddModemKey(3, "COM3", "ORVA 56k V.92", "at s7=60 l2");
    ModemInfo info(fake.platform, 3);
    EXPECT_EQ(info.GetKeyIndex(), 3);
    EXPECT_EQ(info.GetComPort(), 3);
    EXPECT_EQ(info.GetName(), "ORVA 56k V.92");
    EXPECT_EQ(info.GetUserInit(), "ATS7=60L2");
    EXPECT_FALSE(info.IsLegacyKey());
    EXPECT_EQ(info.GetSerialPort(), nullptr);
    EXPECT_TRUE(fake.log.GetLines().empty());
}

TEST_F(ModemInfoTest, FallsBackToTheLegacyLayout) {
    fake.AddModemKey(0, "COM2", "ORVA 56k", nullptr, true);
    ModemInfo info(fake.platform, 0);
    EXPECT_TRUE(info.IsLegacyKey());
    EXPECT_EQ(info.GetComPort(), 2);
    EXPECT_EQ(info.GetName(), "ORVA 56k");
    EXPECT_EQ(info.GetUserInit(), "");
}

TEST_F(ModemInfoTest, PrefersTheClassGuidLayoutWhenBothExist) {
    fake.AddModemKey(1, "COM4", "Legacy", nullptr, true);
    fake.AddModemKey(1, "COM3", "Guid");
    ModemInfo info(fake.platform, 1);
    EXPECT_FALSE(info.IsLegacyKey());
    EXPECT_EQ(info.GetComPort(), 3);
    EXPECT_EQ(info.GetName(), "Guid");
}

TEST_F(ModemInfoTest, MissingSubkeyGivesPortMinusOne) {
    fake.AddModemKey(0, "COM3", "ORVA 56k");
    ModemInfo info(fake.platform, 1);
    EXPECT_EQ(info.GetComPort(), -1);
    EXPECT_EQ(info.GetName(), "unknown");
    EXPECT_EQ(info.GetUserInit(), "");
}

struct ValueCase {
    const char* name;
    const char* attachedTo;  // null: value absent
    const char* model;
    const char* userInit;
    int nPort;
    std::string strName;
    std::string strUserInit;
};

class ModemInfoValueTest : public ModemInfoTest, public ::testing::WithParamInterface<ValueCase> {};

TEST_P(ModemInfoValueTest, FallsBackToDefaultsForMissingValues) {
    const ValueCase& c = GetParam();
    fake.AddModemKey(0, c.attachedTo, c.model, c.userInit);
    ModemInfo info(fake.platform, 0);
    EXPECT_EQ(info.GetComPort(), c.nPort);
    EXPECT_EQ(info.GetName(), c.strName);
    EXPECT_EQ(info.GetUserInit(), c.strUserInit);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ModemInfoValueTest,
    ::testing::Values(ValueCase{"Complete", "COM12", "ORVA 56k", "at&k3", 12, "ORVA 56k", "AT&K3"},
                      ValueCase{"NoAttachedTo", nullptr, "ORVA 56k", nullptr, 0, "ORVA 56k", ""},
                      ValueCase{"EmptyAttachedTo", "", "ORVA 56k", nullptr, 0, "ORVA 56k", ""},
                      ValueCase{"AttachedToComOnly", "COM", "ORVA 56k", nullptr, 0, "ORVA 56k", ""},
                      ValueCase{"AttachedToLpt", "LPT1", "ORVA 56k", nullptr, 1, "ORVA 56k", ""},
                      ValueCase{"NoModel", "COM3", nullptr, nullptr, 3, "unknown", ""},
                      ValueCase{"EmptyModel", "COM3", "", nullptr, 3, "", ""},
                      ValueCase{"UserInitBlanksOnly", "COM3", "M", "   ", 3, "M", ""}),
    CaseName<ValueCase>);

TEST_F(ModemInfoTest, ValuesThatDoNotFitCountAsAbsent) {
    // 254 characters fit with their terminating zero into the declared 255 bytes; 255 do not.
    const std::string fits(254, 'm');
    const std::string tooLong(255, 'm');
    fake.AddModemKey(0, "COM3", nullptr);
    SetValue(0, "Model", fits);
    SetValue(0, "UserInit", fits);
    fake.AddModemKey(1, nullptr, nullptr);
    SetValue(1, "AttachedTo", "COM4" + std::string(250, ' '));
    SetValue(1, "Model", tooLong);
    SetValue(1, "UserInit", tooLong);
    fake.AddModemKey(2, nullptr, "ORVA 56k");
    SetValue(2, "AttachedTo", "COM5" + std::string(251, ' '));
    // Without its NUL, 255 characters fit the declared 255 bytes: read whole, and no further.
    fake.registry.SetString(RegRoot::kLocalMachine, BuildModemKeyPath(3, false), "Model", tooLong,
                            false);

    ModemInfo fitting(fake.platform, 0);
    EXPECT_EQ(fitting.GetName(), fits);
    EXPECT_EQ(fitting.GetUserInit(), std::string(254, 'M'));
    ModemInfo oversize(fake.platform, 1);
    EXPECT_EQ(oversize.GetComPort(), 4);
    EXPECT_EQ(oversize.GetName(), "unknown");
    EXPECT_EQ(oversize.GetUserInit(), "");
    ModemInfo oversizePort(fake.platform, 2);
    EXPECT_EQ(oversizePort.GetComPort(), 0);
    EXPECT_EQ(ModemInfo(fake.platform, 3).GetName(), tooLong);
}

TEST_F(ModemInfoTest, ValueTypeIsIgnored) {
    fake.AddModemKey(0, nullptr, "ORVA 56k");
    // "COM3" stored as a DWORD: its four bytes read as text all the same.
    fake.registry.SetDword(RegRoot::kLocalMachine, BuildModemKeyPath(0, false), "AttachedTo",
                           0x334D4F43u);
    ModemInfo info(fake.platform, 0);
    EXPECT_EQ(info.GetComPort(), 3);
}

// A registry whose value reads run out of memory, as the constructor may meet it.
class OutOfMemoryRegistry : public IRegistry {
public:
    explicit OutOfMemoryRegistry(CMemoryRegistry& inner) : m_inner(inner) {}
    long OpenKey(RegRoot root, const char* path, std::uint32_t access, RegKey* key) override {
        return m_inner.OpenKey(root, path, access, key);
    }
    long CreateKey(RegRoot root, const char* path, RegKey* key) override {
        return m_inner.CreateKey(root, path, key);
    }
    long QueryValue(RegKey, const char*, void*, std::uint32_t*) override { throw std::bad_alloc(); }
    long SetValue(RegKey key, const char* name, std::uint32_t type, const void* data,
                  std::uint32_t size) override {
        return m_inner.SetValue(key, name, type, data, size);
    }
    long SetTextValue(RegKey key, const char* name, const std::string& utf8) override {
        return m_inner.SetTextValue(key, name, utf8);
    }
    long DeleteValue(RegKey key, const char* name) override {
        return m_inner.DeleteValue(key, name);
    }
    long QueryDefault(RegKey key, const char* subKey, char* buf, long* size) override {
        return m_inner.QueryDefault(key, subKey, buf, size);
    }
    long EnumKey(RegKey key, std::uint32_t index, char* name, std::uint32_t* size) override {
        return m_inner.EnumKey(key, index, name, size);
    }
    long CloseKey(RegKey key) override { return m_inner.CloseKey(key); }

private:
    CMemoryRegistry& m_inner;
};

TEST_F(ModemInfoTest, FailureWhileReadingIsLoggedAndPassedOnWithTheKeyClosed) {
    fake.AddModemKey(0, "COM3", "ORVA 56k");
    OutOfMemoryRegistry failing(fake.registry);
    Platform platform = fake.platform;
    platform.registry = &failing;
    EXPECT_THROW(ModemInfo(platform, 0), std::bad_alloc);
    EXPECT_EQ(fake.log.GetLines(), std::vector<std::string>{"*** ModemInfo \n"});
}

// --- UserInit and Model read again ---

TEST_F(ModemInfoTest, ReadUserInitReportsWhatItFound) {
    fake.AddModemKey(0, "COM3", "ORVA 56k", "at s7=60 l2");
    ModemInfo info(fake.platform, 0);
    info.SetUserInit("+PCW=1;at s7");
    EXPECT_EQ(info.GetUserInit(), "+PCW=1;at s7");  // stored as given

    EXPECT_EQ(info.ReadUserInit(), "ATS7=60L2");
    EXPECT_EQ(info.GetUserInitStatus(), UserInitStatus::kPresent);

    SetValue(0, "UserInit", std::string(255, 'x'));
    EXPECT_EQ(info.ReadUserInit(), "");
    EXPECT_EQ(info.GetUserInitStatus(), UserInitStatus::kTooLong);

    SetValue(0, "UserInit", "");
    EXPECT_EQ(info.ReadUserInit(), "");
    EXPECT_EQ(info.GetUserInitStatus(), UserInitStatus::kPresent);

    fake.registry.DeleteValue(RegRoot::kLocalMachine, BuildModemKeyPath(0, false), "UserInit");
    info.SetUserInit("stale");
    EXPECT_EQ(info.ReadUserInit(), "");
    EXPECT_EQ(info.GetUserInitStatus(), UserInitStatus::kAbsent);

    fake.registry.DeleteKey(RegRoot::kLocalMachine, BuildModemKeyPath(0, false));
    info.SetUserInit("stale");
    EXPECT_EQ(info.ReadUserInit(), "");
    EXPECT_EQ(info.GetUserInitStatus(), UserInitStatus::kAbsent);
}

TEST_F(ModemInfoTest, ReadUserInitUsesTheRecordsOwnLayout) {
    fake.AddModemKey(0, "COM3", "ORVA 56k", "at l2", true);
    ModemInfo info(fake.platform, 0);
    ASSERT_TRUE(info.IsLegacyKey());
    SetValue(0, "UserInit", "at l3", true);
    EXPECT_EQ(info.ReadUserInit(), "ATL3");
}

TEST_F(ModemInfoTest, ReloadModelKeepsTheNameWhenModelIsGone) {
    fake.AddModemKey(0, "COM3", "ORVA 56k");
    ModemInfo info(fake.platform, 0);
    SetValue(0, "Model", "ORVA 56k V.92");
    info.ReloadModel();
    EXPECT_EQ(info.GetName(), "ORVA 56k V.92");
    fake.registry.DeleteValue(RegRoot::kLocalMachine, BuildModemKeyPath(0, false), "Model");
    info.ReloadModel();
    EXPECT_EQ(info.GetName(), "ORVA 56k V.92");
}

// --- FindKeyByModel ---

struct FindCase {
    const char* name;
    std::vector<std::tuple<int, const char*, const char*>> keys;  // number, port, model
    int nRecordKey;
    std::string reported;
    bool bFound;
    int nKeyAfter;
    bool bLegacy = false;  // every key and the record in the legacy layout
};

class FindKeyByModelTest : public ModemInfoTest, public ::testing::WithParamInterface<FindCase> {};

TEST_P(FindKeyByModelTest, LooksForTheInstalledModelInsideTheReportedOne) {
    const FindCase& c = GetParam();
    for (const auto& [nKey, port, model] : c.keys) {
        fake.AddModemKey(nKey, port, model, nullptr, c.bLegacy);
    }
    ModemInfo info(fake.platform, c.nRecordKey);
    ASSERT_EQ(info.IsLegacyKey(), c.bLegacy);
    const std::string name = info.GetName();
    EXPECT_EQ(info.FindKeyByModel(c.reported), c.bFound);
    EXPECT_EQ(info.GetKeyIndex(), c.nKeyAfter);
    EXPECT_EQ(info.GetName(), name);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, FindKeyByModelTest,
    ::testing::Values(
        FindCase{"InstalledInsideReported", {{0, "COM3", "ORVA 56k"}}, 0, "ORVA 56k v.92", true, 0},
        FindCase{"ReportedInsideInstalledIsNoMatch",
                 {{0, "COM3", "ORVA 56k v.92"}},
                 0,
                 "ORVA 56k",
                 false,
                 0},
        FindCase{
            "BlanksIgnoredOnBothSides", {{0, "COM3", "ORVA  56 k"}}, 0, "ORVA56k V.92", true, 0},
        FindCase{"CaseCounts", {{0, "COM3", "orva 56k"}}, 0, "ORVA 56k v.92", false, 0},
        FindCase{"OtherPortIsNoMatch",
                 {{0, "COM3", "Other"}, {1, "COM4", "ORVA 56k"}},
                 0,
                 "ORVA 56k v.92",
                 false,
                 0},
        FindCase{"MovesToTheMatchingSubkey",
                 {{0, "COM3", "Standard Modem"}, {1, "COM1", "ORVA 56k"}, {2, "COM3", "ORVA 56k"}},
                 0,
                 "ORVA 56k V.92",
                 true,
                 2},
        FindCase{"FirstMatchWins",
                 {{0, "COM3", "Other"}, {1, "COM3", "ORVA"}, {2, "COM3", "ORVA 56k"}},
                 2,
                 "ORVA 56k V.92",
                 true,
                 1},
        FindCase{"LooksPastAGap",
                 {{0, "COM3", "Other"}, {1, "COM1", "x"}, {3, "COM3", "ORVA 56k"}},
                 0,
                 "ORVA 56k V.92",
                 true,
                 3},
        FindCase{"LegacyLayoutLooksPastAGap",
                 {{0, "COM3", "Other"}, {4, "COM3", "ORVA 56k"}},
                 0,
                 "ORVA 56k V.92",
                 true,
                 4,
                 true},
        FindCase{"SubkeyWithoutModelSkipped",
                 {{0, "COM3", nullptr}, {1, "COM3", "ORVA 56k"}},
                 0,
                 "ORVA 56k",
                 true,
                 1}),
    CaseName<FindCase>);

TEST_F(ModemInfoTest, FindKeyByModelStaysInTheRecordsLayout) {
    fake.AddModemKey(0, "COM3", "Other", nullptr, true);
    fake.AddModemKey(1, "COM3", "ORVA 56k");  // class-GUID layout: not searched
    fake.AddModemKey(2, "COM3", "ORVA 56k", nullptr, true);
    ModemInfo info(fake.platform, 0);
    ASSERT_TRUE(info.IsLegacyKey());
    fake.AddModemKey(1, "COM9", "x", nullptr, true);
    EXPECT_TRUE(info.FindKeyByModel("ORVA 56k V.92"));
    EXPECT_EQ(info.GetKeyIndex(), 2);
    EXPECT_TRUE(info.IsLegacyKey());
}

// --- ConnectToModem and the probes ---

FakeModemAnswers Reporting(const std::string& model) {
    FakeModemAnswers answers;
    answers.strModel = "\"" + model + "\"";
    return answers;
}

TEST_F(ModemInfoTest, ConnectSettlesTheNameAndLeavesThePortOpen) {
    fake.AddModemKey(0, "COM3", "ORVA 56k V.92");
    CFakeSerialPort& port = fake.AddModem(3, Reporting("orva 56K v.92"));
    ModemInfo info(fake.platform, 0);
    ASSERT_TRUE(info.ConnectToModem());
    EXPECT_EQ(info.GetName(), "ORVA 56k V.92 (COM3)");
    EXPECT_EQ(info.GetKeyIndex(), 0);
    ASSERT_NE(info.GetSerialPort(), nullptr);
    EXPECT_TRUE(info.GetSerialPort()->IsOpen());
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(port.GetSettings().BaudRate, 115200u);
    EXPECT_EQ(port.GetWrites(), (std::vector<std::string>{"at&f\r", "at+gmi?\r", "at+gmm?\r"}));
    EXPECT_TRUE(fake.log.GetLines().empty());
}

TEST_F(ModemInfoTest, ConnectTakesTheNameFromTheRegistryWhenOnlyTheCaseDiffers) {
    fake.AddModemKey(0, "COM3", "ORVA 56k v.92");
    fake.AddModem(3, Reporting("ORVA 56K V.92"));
    ModemInfo info(fake.platform, 0);
    SetValue(0, "Model", "ORVA 56k v.92 renamed");
    ASSERT_TRUE(info.ConnectToModem());
    EXPECT_EQ(info.GetName(), "ORVA 56k v.92 renamed (COM3)");
}

TEST_F(ModemInfoTest, ConnectMovesToTheSubkeyOfTheReportedModel) {
    fake.AddModemKey(0, "COM3", "Standard 56000 bps Modem");
    fake.AddModemKey(1, "COM1", "Other");
    fake.AddModemKey(2, "COM3", "ORVA 56k");
    fake.AddModem(3, Reporting("ORVA 56k V.92"));
    ModemInfo info(fake.platform, 0);
    ASSERT_TRUE(info.ConnectToModem());
    EXPECT_EQ(info.GetKeyIndex(), 2);
    EXPECT_EQ(info.GetName(), "ORVA 56k (COM3)");
}

TEST_F(ModemInfoTest, ConnectWithoutModelNeedsAMatchingSubkey) {
    fake.AddModemKey(0, "COM3", nullptr);
    fake.AddModemKey(1, "COM3", "ORVA 56k");
    fake.AddModem(3, Reporting("ORVA 56k V.92"));
    ModemInfo info(fake.platform, 0);
    ASSERT_EQ(info.GetName(), "unknown");
    EXPECT_TRUE(info.ConnectToModem());
    EXPECT_EQ(info.GetName(), "ORVA 56k (COM3)");
}

TEST_F(ModemInfoTest, ConnectWithoutMatchingSubkeyFailsWithThePortStillOpen) {
    // Names that differ in their first letter only are different names.
    fake.AddModemKey(1, "COM4", "XRVA 56k V.92");
    fake.AddModem(4, Reporting("ORVA 56k V.92"));
    EXPECT_FALSE(ModemInfo(fake.platform, 1).ConnectToModem());
    fake.AddModemKey(0, "COM3", nullptr);
    CFakeSerialPort& port = fake.AddModem(3, Reporting("ORVA 56k V.92"));
    ModemInfo info(fake.platform, 0);
    EXPECT_FALSE(info.ConnectToModem());
    EXPECT_EQ(info.GetName(), "unknown");
    ASSERT_NE(info.GetSerialPort(), nullptr);
    EXPECT_TRUE(port.IsOpen());
    // The probes still talk to the open port.
    port.ClearWrites();
    EXPECT_TRUE(info.ProbeCallWaiting());
    EXPECT_TRUE(info.ProbeCountry());
    EXPECT_EQ(port.GetWrites(), (std::vector<std::string>{"at+pcw?\r", "at+gci?\r"}));
}

TEST_F(ModemInfoTest, ConnectRefusesPortZeroWithoutOpeningAnything) {
    fake.AddModemKey(0, nullptr, "ORVA 56k");
    ModemInfo info(fake.platform, 0);
    EXPECT_FALSE(info.ConnectToModem());
    EXPECT_TRUE(fake.serial.GetOpenedNames().empty());
    EXPECT_FALSE(info.ProbeCallWaiting());
    EXPECT_FALSE(info.ProbeCountry());
}

struct RefusalCase {
    const char* name;
    bool bDevice;
    FakeModemAnswers answers;
    std::vector<std::string> sent;
};

FakeModemAnswers NoReset() {
    FakeModemAnswers answers;
    answers.bReset = false;
    return answers;
}

FakeModemAnswers OtherMaker() {
    FakeModemAnswers answers;
    answers.strMaker = "ACME";
    return answers;
}

class ConnectRefusalTest : public ModemInfoTest,
                           public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(ConnectRefusalTest, DropsThePortAndSaysNo) {
    const RefusalCase& c = GetParam();
    fake.AddModemKey(0, "COM3", "ORVA 56k");
    CFakeSerialPort* port = c.bDevice ? &fake.AddModem(3, c.answers) : nullptr;
    ModemInfo info(fake.platform, 0);
    EXPECT_FALSE(info.ConnectToModem());
    EXPECT_EQ(info.GetSerialPort(), nullptr);
    EXPECT_EQ(info.GetName(), "ORVA 56k");
    EXPECT_TRUE(fake.log.GetLines().empty());
    if (port != nullptr) {
        EXPECT_FALSE(port->IsOpen());
        EXPECT_EQ(port->GetWrites(), c.sent);
    }
    EXPECT_FALSE(info.ProbeCallWaiting());
    EXPECT_FALSE(info.ProbeCountry());
}

INSTANTIATE_TEST_SUITE_P(
    Modems, ConnectRefusalTest,
    ::testing::Values(RefusalCase{"NoDevice", false, {}, {}},
                      RefusalCase{"SilentReset", true, NoReset(), {"at&f\r"}},
                      RefusalCase{"OtherMaker", true, OtherMaker(), {"at&f\r", "at+gmi?\r"}}),
    CaseName<RefusalCase>);

TEST_F(ModemInfoTest, ConnectLogsAndPassesOnAFailingExchange) {
    fake.AddModemKey(0, "COM3", "ORVA 56k");
    FakeModemAnswers answers;
    answers.strModel.reset();  // the model query gets ERROR: no colon
    CFakeSerialPort& port = fake.AddModem(3, answers);
    ModemInfo info(fake.platform, 0);
    EXPECT_THROW(info.ConnectToModem(), CUserException);
    EXPECT_EQ(info.GetSerialPort(), nullptr);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(fake.log.GetLines(), std::vector<std::string>{kConnectLine});
}

TEST_F(ModemInfoTest, ConnectLogsAndPassesOnAFailingOpen) {
    fake.AddModemKey(0, "COM3", "ORVA 56k");
    CFakeSerialPort& port = fake.AddModem(3);
    port.Fail(FakeCall::kSetTimeouts);
    ModemInfo info(fake.platform, 0);
    EXPECT_THROW(info.ConnectToModem(), CUserException);
    EXPECT_EQ(info.GetSerialPort(), nullptr);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(fake.log.GetLines(), (std::vector<std::string>{"*** Open Port \n", kConnectLine}));
}

struct ProbeCase {
    const char* name;
    FakeReply reply;
    bool bExpected;
};

class ProbeCallWaitingTest : public ModemInfoTest,
                             public ::testing::WithParamInterface<ProbeCase> {};

TEST_P(ProbeCallWaitingTest, JudgesTheRawReply) {
    fake.AddModemKey(0, "COM3", "ORVA 56k");
    CFakeSerialPort& port = fake.AddModem(3);
    ModemInfo info(fake.platform, 0);
    ASSERT_TRUE(info.ConnectToModem());
    port.Respond("at+pcw?\r", GetParam().reply);
    EXPECT_EQ(info.ProbeCallWaiting(), GetParam().bExpected);
    EXPECT_EQ(port.GetWrites().back(), "at+pcw?\r");
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ProbeCallWaitingTest,
    ::testing::Values(
        ProbeCase{"EchoValueOk", {{0, "at+pcw?\r"}, {30, "\r\n+PCW: 0\r\n\r\nOK\r\n"}}, true},
        ProbeCase{"EchoThenOk", {{0, "at+pcw?\r\r\nOK\r\n"}}, true},
        ProbeCase{"StartsWithOk", {{0, "OK\r\nat+pcw?\r\r\nOK\r\n"}}, false},
        ProbeCase{"ErrorAlone", {{0, "ERROR\r\n"}}, false},
        ProbeCase{"EchoAndError", {{0, "at+pcw?\r\r\nERROR\r\n"}}, false},
        // The echo waits in the input during the 200 ms pause; the read's interval timer
        // starts when the read takes it, so an answer 400 ms after the echo still joins.
        ProbeCase{"OkWithinIntervalOfReadStart", {{0, "at+pcw?\r"}, {400, "\r\nOK\r\n"}}, true},
        ProbeCase{"OkTooLate", {{0, "at+pcw?\r"}, {401, "\r\nOK\r\n"}}, false},
        ProbeCase{"Silence", {}, false}),
    CaseName<ProbeCase>);

struct CountryCase {
    const char* name;
    std::string value;
    bool bExpected;
};

class ProbeCountryTest : public ModemInfoTest, public ::testing::WithParamInterface<CountryCase> {};

TEST_P(ProbeCountryTest, AcceptsGermanyOnly) {
    fake.AddModemKey(0, "COM3", "ORVA 56k");
    FakeModemAnswers answers;
    answers.strCountry = GetParam().value;
    CFakeSerialPort& port = fake.AddModem(3, answers);
    ModemInfo info(fake.platform, 0);
    ASSERT_TRUE(info.ConnectToModem());
    EXPECT_EQ(info.ProbeCountry(), GetParam().bExpected);
    EXPECT_EQ(port.GetWrites().back(), "at+gci?\r");
}

INSTANTIATE_TEST_SUITE_P(Values, ProbeCountryTest,
                         ::testing::Values(CountryCase{"Germany04", "04", true},
                                           CountryCase{"Contains04", "104", true},
                                           CountryCase{"Hex3D", "3D", false}),
                         CaseName<CountryCase>);

TEST_F(ModemInfoTest, ProbeCountryPassesOnAReplyWithoutValueUnlogged) {
    fake.AddModemKey(0, "COM3", "ORVA 56k");
    FakeModemAnswers answers;
    answers.strCountry.reset();
    fake.AddModem(3, answers);
    ModemInfo info(fake.platform, 0);
    ASSERT_TRUE(info.ConnectToModem());
    EXPECT_THROW(info.ProbeCountry(), CUserException);
    EXPECT_TRUE(fake.log.GetLines().empty());
}

TEST_F(ModemInfoTest, DestroyingAConnectedRecordReleasesItsPort) {
    fake.AddModemKey(0, "COM3", "ORVA 56k");
    CFakeSerialPort& port = fake.AddModem(3);
    {
        ModemInfo info(fake.platform, 0);
        ASSERT_TRUE(info.ConnectToModem());
        EXPECT_TRUE(port.IsOpen());
    }
    EXPECT_FALSE(port.IsOpen());
}

}  // namespace
