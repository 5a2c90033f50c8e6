// The apply mode of mavris-scan on the fake platform: its arguments, and one change of
// behaviour on the scanned list with the lines it prints.
#include "scan/apply_mode.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "modem/modem_list.h"
#include "modem_test_support.h"

namespace {

// --- Arguments ---

struct ArgsCase {
    const char* name;
    std::vector<std::string> args;
    bool ok;
    ApplyArgs expected;
};

void PrintTo(const ArgsCase& c, std::ostream* os) {
    *os << c.name;
}

ApplyArgs Expect(int mode, int sound = 1, int callOut = 1,
                 ApplyArgs::Prefix prefix = ApplyArgs::Prefix::kNone, std::string text = "") {
    ApplyArgs args;
    args.bApply = true;
    args.behaviour = static_cast<Behaviour>(mode);
    args.nSound = sound;
    args.nCallOut = callOut;
    args.prefix = prefix;
    args.strPrefix = std::move(text);
    return args;
}

// Runs the argument loop the way the scan's main does.
bool Parse(const std::vector<std::string>& args, ApplyArgs* pArgs, std::string* pError) {
    std::vector<std::string> storage = args;
    storage.insert(storage.begin(), "mavris-scan");
    std::vector<char*> argv;
    for (std::string& arg : storage) {
        argv.push_back(arg.data());
    }
    const int argc = static_cast<int>(argv.size());
    for (int i = 1; i < argc; ++i) {
        int n = ParseApplyArg(argc, argv.data(), i, pArgs, pError);
        if (n <= 0) {
            if (n == 0) {
                *pError = "not an apply argument: " + storage[i];
            }
            return false;
        }
        i += n - 1;
    }
    return CheckApplyArgs(*pArgs, pError);
}

class ApplyArgsTest : public ::testing::TestWithParam<ArgsCase> {};

TEST_P(ApplyArgsTest, Parses) {
    const ArgsCase& c = GetParam();
    ApplyArgs args;
    std::string error;
    ASSERT_EQ(Parse(c.args, &args, &error), c.ok) << error;
    if (!c.ok) {
        EXPECT_FALSE(error.empty());
        return;
    }
    EXPECT_EQ(args.bApply, c.expected.bApply);
    EXPECT_EQ(args.behaviour, c.expected.behaviour);
    EXPECT_EQ(args.nSound, c.expected.nSound);
    EXPECT_EQ(args.nCallOut, c.expected.nCallOut);
    EXPECT_EQ(args.prefix, c.expected.prefix);
    EXPECT_EQ(args.strPrefix, c.expected.strPrefix);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, ApplyArgsTest,
    ::testing::Values(
        ArgsCase{"Defaults", {"--apply", "1"}, true, Expect(1)},
        ArgsCase{"Everything",
                 {"--callout", "0", "--apply", "2", "--sound", "0", "--prefix", "0W"},
                 true,
                 Expect(2, 0, 0, ApplyArgs::Prefix::kText, "0W")},
        ArgsCase{"EmptyPrefix",
                 {"--apply", "2", "--prefix", ""},
                 true,
                 Expect(2, 1, 1, ApplyArgs::Prefix::kText, "")},
        ArgsCase{"Location",
                 {"--location", "--apply", "1"},
                 true,
                 Expect(1, 1, 1, ApplyArgs::Prefix::kLocation)},
        ArgsCase{"ModeZeroIsNoBehaviour", {"--apply", "0"}, false, {}},
        ArgsCase{"ModeThree", {"--apply", "3"}, false, {}},
        ArgsCase{"ModeNegative", {"--apply", "-1"}, false, {}},
        ArgsCase{"ModeText", {"--apply", "cut"}, false, {}},
        ArgsCase{"ModeMissing", {"--apply"}, false, {}},
        ArgsCase{"SoundTwo", {"--apply", "1", "--sound", "2"}, false, {}},
        ArgsCase{"CallOutEmpty", {"--apply", "1", "--callout", ""}, false, {}},
        ArgsCase{"PrefixMissing", {"--apply", "1", "--prefix"}, false, {}},
        ArgsCase{"PrefixAndLocation", {"--apply", "1", "--prefix", "0", "--location"}, false, {}},
        ArgsCase{"SoundWithoutApply", {"--sound", "1"}, false, {}},
        ArgsCase{"LocationWithoutApply", {"--location"}, false, {}}),
    [](const ::testing::TestParamInfo<ArgsCase>& info) { return info.param.name; });

TEST(ApplyArgsTest, OtherArgumentsAreLeftToTheScan) {
    std::string help = "--help";
    char* argv[] = {help.data(), help.data()};
    ApplyArgs args;
    std::string error;
    EXPECT_EQ(ParseApplyArg(2, argv, 1, &args, &error), 0);
    EXPECT_TRUE(error.empty());
    EXPECT_TRUE(CheckApplyArgs(args, &error));
}

// --- Running it ---

class ApplyModeTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_fake.AddModemKey(0, "COM3", "ORVA 56k V.92", "at s7=60 l2");
        m_pPort = &m_fake.AddModem(3);
    }

    void Scan() {
        m_list.LoadRegEntries();
        m_list.ReduceToModemOnHoldSupported();
        ASSERT_EQ(m_list.GetCount(), 1);
        m_pPort->ClearWrites();
    }

    // Runs the mode and returns what it printed.
    std::string Run(const ApplyArgs& args, int* pExit) {
        std::FILE* out = std::tmpfile();
        EXPECT_NE(out, nullptr);
        *pExit = RunApplyMode(m_fake.platform, m_list, args, out);
        std::string text;
        std::rewind(out);
        for (int c; (c = std::fgetc(out)) != EOF;) {
            text += static_cast<char>(c);
        }
        std::fclose(out);
        return text;
    }

    FakePlatform m_fake;
    CFakeSerialPort* m_pPort = nullptr;
    CModemList m_list{m_fake.platform};
};

TEST_F(ApplyModeTest, ClosesThePortAppliesAndPrintsTheStoredValue) {
    Scan();
    ASSERT_TRUE(m_pPort->IsOpen());
    const std::string command = "atm2l3x4d*43#,,;h\r";
    m_pPort->Respond(command, {{0, command}, {2000, "\r\nOK\r\n"}});
    int exitCode = -1;
    EXPECT_EQ(Run(Expect(1), &exitCode), "apply\t0\nuserinit\t+PCW=1;S7=60L2\n");
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(m_pPort->GetWrites(), std::vector<std::string>{command});
    EXPECT_FALSE(m_pPort->IsOpen());
    EXPECT_EQ(m_fake.registry.GetOpenKeyCount(), 0);
}

TEST_F(ApplyModeTest, PrefixTextIsFilteredAndProviderFailureReported) {
    Scan();
    const std::string command = "atm0x3d0#43#,,;h\r";
    m_pPort->Respond(command, {{0, command}, {50, "\r\nBUSY\r\n"}});
    int exitCode = -1;
    EXPECT_EQ(Run(Expect(2, 0, 1, ApplyArgs::Prefix::kText, "0;atz"), &exitCode),
              "apply\t-2\nuserinit\t+PCW=2;S7=60L2\n");
    EXPECT_EQ(exitCode, 1);
    EXPECT_EQ(m_pPort->GetWrites(), std::vector<std::string>{command});
}

TEST_F(ApplyModeTest, LocationPrefixIsUsed) {
    const std::string locations =
        "Software\\Microsoft\\Windows\\CurrentVersion\\Telephony\\Locations";
    m_fake.registry.SetDword(RegRoot::kLocalMachine, locations, "CurrentID", 3);
    m_fake.registry.SetString(RegRoot::kLocalMachine, locations + "\\Location3", "OutsideAccess",
                              "9,");
    Scan();
    const std::string command = "atm2l3x3d9,*43#,,;h\r";
    m_pPort->Respond(command, {{0, command}, {50, "\r\nOK\r\n"}});
    int exitCode = -1;
    EXPECT_EQ(Run(Expect(1, 1, 1, ApplyArgs::Prefix::kLocation), &exitCode),
              "apply\t0\nuserinit\t+PCW=1;S7=60L2\n");
    EXPECT_EQ(m_pPort->GetWrites(), std::vector<std::string>{command});
}

TEST_F(ApplyModeTest, WithoutCallOutNothingIsDialled) {
    Scan();
    int exitCode = -1;
    EXPECT_EQ(Run(Expect(2, 1, 0), &exitCode), "apply\t0\nuserinit\t+PCW=2;S7=60L2\n");
    EXPECT_TRUE(m_pPort->GetWrites().empty());
    EXPECT_FALSE(m_pPort->IsOpen());
}

TEST_F(ApplyModeTest, FailedValueWriteIsARegistryError) {
    m_fake.registry.FailSetValue(RegRoot::kLocalMachine, BuildModemKeyPath(0, false), "UserInit");
    Scan();
    int exitCode = -1;
    EXPECT_EQ(Run(Expect(1), &exitCode), "apply\t-1\nuserinit\tat s7=60 l2\n");
    EXPECT_EQ(exitCode, 1);
    EXPECT_TRUE(m_pPort->GetWrites().empty());
}

TEST_F(ApplyModeTest, StoredValueIsPrintedEscaped) {
    m_fake.AddModemKey(0, "COM3", "ORVA 56k V.92", "s7=60\t&k3");
    Scan();
    int exitCode = -1;
    EXPECT_EQ(Run(Expect(1, 1, 0), &exitCode), "apply\t0\nuserinit\t+PCW=1;S7=60\\t&K3\n");
}

TEST_F(ApplyModeTest, NoSupportedModemPrintsNothing) {
    m_pPort->FailOpen(fake_serial::kErrorAccessDenied);
    m_list.LoadRegEntries();
    m_list.ReduceToModemOnHoldSupported();
    ASSERT_EQ(m_list.GetCount(), 0);
    int exitCode = -1;
    EXPECT_EQ(Run(Expect(1), &exitCode), "");
    EXPECT_EQ(exitCode, 1);
    EXPECT_EQ(
        m_fake.registry.GetString(RegRoot::kLocalMachine, BuildModemKeyPath(0, false), "UserInit"),
        "at s7=60 l2");
}

}  // namespace
