// A standard user on Windows Vista and later may read HKEY_LOCAL_MACHINE but not write it:
// the scan and the location prefix still work with read rights, and the one write, "UserInit",
// goes through the elevation, whose process runs the write-only command line.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "modem/call_waiting_control.h"
#include "modem/modem_list.h"
#include "modem/userinit_write_request.h"
#include "modem_test_support.h"

namespace {

using Result = IElevation::Result;
constexpr RegRoot kHklm = RegRoot::kLocalMachine;
const std::string kLocations = "Software\\Microsoft\\Windows\\CurrentVersion\\Telephony\\Locations";
const std::string kModemKey = BuildModemKeyPath(1, false);

// Runs "Mavris.exe <parameters>" as the elevated process would see its arguments.
int RunCommandLine(const Platform& platform, const std::string& parameters) {
    std::vector<std::string> args{"Mavris.exe"};
    std::istringstream words(parameters);
    for (std::string word; words >> word;) {
        args.push_back(word);
    }
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    return RunUserInitWriteRequest(platform, static_cast<int>(args.size()), argv.data());
}

// Records each request; when it is to succeed, does what the elevated process does: runs the
// write-only command line with administrator rights.
class CFakeElevation : public IElevation {
public:
    CFakeElevation(CMemoryRegistry& registry, const Platform& platform, Result result)
        : m_registry(registry), m_platform(platform), m_result(result) {}

    Result WriteUserInit(int nKeyIndex, int nMode) override {
        m_calls.emplace_back(nKeyIndex, nMode);
        if (m_result == Result::kDone) {
            m_registry.SetStandardUser(false);
            m_nExitCode =
                RunCommandLine(m_platform, BuildUserInitWriteParameters(nKeyIndex, nMode));
            m_registry.SetStandardUser(true);
        }
        return m_result;
    }

    CMemoryRegistry& m_registry;
    Platform m_platform;
    Result m_result;
    std::vector<std::pair<int, int>> m_calls;
    int m_nExitCode = -1;
};

RegStoredValue SzWithNul(const std::string& text) {
    std::vector<std::uint8_t> bytes(text.begin(), text.end());
    bytes.push_back(0);
    return RegStoredValue{reg::kSz, bytes};
}

// Subkey 0 has no modem behind its port, so the supported modem is record 0 at subkey 1; the
// current location's outside-line prefix is 0W.
void SetUpMachine(FakePlatform& fake) {
    fake.AddModemKey(0, "COM9", "Other modem", "S7=60");
    fake.AddModemKey(1, "COM3", "ORVA 56k V.92", "S7=60");
    fake.AddModem(3);
    fake.registry.SetDword(kHklm, kLocations, "CurrentID", 2);
    fake.registry.SetString(kHklm, kLocations + "\\Location2", "OutsideAccess", "0W");
}

TEST(StandardUserTest, ModeChangeAsksTheElevationOnceAndDialsOnlyAfterItWrote) {
    struct Case {
        const char* name;
        bool bElevation;
        Result result;
        int nApply;
        const char* userInitAfter;
    };
    const Case cases[] = {
        {"Done", true, Result::kDone, kApplyDone, "+PCW=2;S7=60"},
        {"Declined", true, Result::kDeclined, kApplyRegistryError, "S7=60"},
        {"Failed", true, Result::kFailed, kApplyRegistryError, "S7=60"},
        {"NoElevation", false, Result::kFailed, kApplyRegistryError, "S7=60"},
    };
    const std::string dial = "atm2l3x3d0W#43#,,;h\r";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakePlatform fake;
        SetUpMachine(fake);
        CFakeElevation elevation(fake.registry, fake.platform, c.result);
        if (c.bElevation) {
            fake.platform.elevation = &elevation;
        }
        fake.registry.SetStandardUser(true);

        CModemList list(fake.platform);
        list.LoadRegEntries();
        list.ReduceToModemOnHoldSupported();
        ASSERT_EQ(list.GetCount(), 1);
        ModemInfo* pModem = list.GetAt(0);
        ASSERT_EQ(pModem->GetKeyIndex(), 1);
        pModem->GetSerialPort()->Close();
        CFakeSerialPort& port = *fake.serial.GetPort(3);
        port.ClearWrites();
        port.Respond(dial, {{0, dial}, {3000, "\r\nOK\r\n"}});

        CCallWaitingControl control(fake.platform, pModem);
        EXPECT_EQ(control.GetOutsideAccess(), "0W");
        EXPECT_EQ(control.Apply(2, 1, 1), c.nApply);

        EXPECT_EQ(elevation.m_calls, (c.bElevation ? std::vector<std::pair<int, int>>{{1, 2}}
                                                   : std::vector<std::pair<int, int>>{}));
        EXPECT_EQ(fake.registry.GetValue(kHklm, kModemKey, "UserInit"), SzWithNul(c.userInitAfter));
        EXPECT_EQ(pModem->GetUserInit(), c.userInitAfter);
        EXPECT_EQ(port.GetWrites(), (c.nApply == kApplyDone ? std::vector<std::string>{dial}
                                                            : std::vector<std::string>{}));
        if (c.result == Result::kDone) {
            EXPECT_EQ(elevation.m_nExitCode, kWriteExitDone);
        }
        EXPECT_EQ(fake.registry.GetOpenKeyCount(), 0);
    }
}

TEST(UserInitWriteRequestTest, ParametersOfEverySubkeyAndModeParseBack) {
    for (int nKey = 0; nKey < kMaxModemKeys; ++nKey) {
        for (int nMode : {1, 2}) {
            std::string parameters = BuildUserInitWriteParameters(nKey, nMode);
            std::string program = "Mavris.exe";
            std::string keyword = parameters.substr(0, parameters.find(' '));
            std::string key = std::to_string(nKey);
            std::string mode = std::to_string(nMode);
            ASSERT_EQ(parameters, keyword + " " + key + " " + mode);
            char* argv[] = {program.data(), keyword.data(), key.data(), mode.data(), nullptr};
            UserInitWriteRequest request;
            ASSERT_TRUE(ParseUserInitWriteRequest(4, argv, &request)) << parameters;
            EXPECT_EQ(request.nKeyIndex, nKey);
            EXPECT_EQ(request.nMode, nMode);
        }
    }
}

// Nothing but a subkey number and a mode gets through, and a refused request touches no key.
TEST(UserInitWriteRequestTest, MalformedRequestsAreRefusedBeforeTheRegistry) {
    const std::string path = "HKEY_LOCAL_MACHINE\\" + kModemKey;
    const std::string cases[] = {
        "+PCW=2;S7=60",    // value text in place of everything
        "1 +PCW=2;ATZ",    // value text as the mode
        "1 2 +PCW=2;ATZ",  // value text after a good request
        path + " 2",       // a key path as the subkey
        "1 2 " + path,     // a key path after a good request
        "1 3",             // mode 3
        "1 0",             // mode 0, never written
        "255 1",           // subkey out of range
        "-1 1",            // negative subkey
        "01 1",            // not plain decimal
        "1",               // missing mode
        "",                // missing subkey and mode
        "1 2 1",           // extra argument
    };
    for (const std::string& arguments : cases) {
        SCOPED_TRACE("[" + arguments + "]");
        FakePlatform fake;
        fake.AddModemKey(1, "COM3", "ORVA 56k V.92", "S7=60");
        const int calls = fake.registry.GetCallCount();
        EXPECT_EQ(
            RunCommandLine(fake.platform, std::string(kUserInitWriteKeyword) + " " + arguments),
            kWriteExitUsage);
        EXPECT_EQ(fake.registry.GetCallCount(), calls) << "the registry was touched";
    }
}

// The elevated process writes by the tool's rule and limits and never elevates again.
TEST(UserInitWriteRequestTest, WriteOutcomesGiveTheirExitCodes) {
    struct Case {
        const char* name;
        const char* userInit;  // as stored before
        void (*fault)(CMemoryRegistry&);
        int nExitCode;
        std::string userInitAfter;
    };
    const std::string tooLong(255, '1');
    const Case cases[] = {
        {"Rewritten", "at s7=60 +pcw=1; &k3", nullptr, kWriteExitDone, "+PCW=2;ATS7=60&K3"},
        {"UnreadableLongValueKept", tooLong.c_str(), nullptr, kWriteExitNotWritten, tooLong},
        {"DeniedEvenHere", "S7=60", [](CMemoryRegistry& r) { r.SetStandardUser(true); },
         kWriteExitNotWritten, "S7=60"},
        {"ValueWriteFails", "S7=60",
         [](CMemoryRegistry& r) { r.FailSetValue(kHklm, kModemKey, "UserInit"); }, kWriteExitFailed,
         "S7=60"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakePlatform fake;
        fake.AddModemKey(1, "COM3", "ORVA 56k V.92", c.userInit);
        CFakeElevation elevation(fake.registry, fake.platform, Result::kDone);
        fake.platform.elevation = &elevation;
        if (c.fault != nullptr) {
            c.fault(fake.registry);
        }
        EXPECT_EQ(RunCommandLine(fake.platform, BuildUserInitWriteParameters(1, 2)), c.nExitCode);
        EXPECT_EQ(fake.registry.GetString(kHklm, kModemKey, "UserInit"), c.userInitAfter);
        EXPECT_TRUE(elevation.m_calls.empty());
        EXPECT_EQ(fake.registry.GetOpenKeyCount(), 0);
    }
    // A subkey that does not exist is not created.
    FakePlatform fake;
    EXPECT_EQ(RunCommandLine(fake.platform, BuildUserInitWriteParameters(4, 1)),
              kWriteExitNotWritten);
    EXPECT_FALSE(fake.registry.HasKey(kHklm, BuildModemKeyPath(4, false)));
    EXPECT_FALSE(fake.registry.HasKey(kHklm, BuildModemKeyPath(4, true)));
}

}  // namespace
