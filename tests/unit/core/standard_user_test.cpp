// A standard user may read HKEY_LOCAL_MACHINE but not write it: the scan and the location
// prefix still work, and "UserInit" is written through the elevation, whose process runs the
// write-only command line.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <iterator>
#include <sstream>
#include <utility>
#include <vector>

#include "modem/call_waiting_control.h"
#include "modem/modem_list.h"
#include "modem/userinit_write_request.h"
#include "modem_test_support.h"

namespace {

using Result = IElevation::Result;
using Calls = std::vector<std::string>;
constexpr RegRoot kHklm = RegRoot::kLocalMachine;

// Runs "Mavris.exe <arguments>" with the arguments split at blanks.
int RunCommandLine(const Platform& platform, const std::string& arguments) {
    std::istringstream words("Mavris.exe " + arguments);
    std::vector<std::string> args{std::istream_iterator<std::string>(words), {}};
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    return RunUserInitWriteRequest(platform, static_cast<int>(args.size()), argv.data());
}

// Unless declined, runs the write-only command line as the elevated process would, with
// administrator rights or (bAdmin false) still as the standard user, and reports its exit code
// as the Win32 elevation does.
struct CFakeElevation : IElevation {
    CFakeElevation(FakePlatform* pFake, bool bDeclined, bool bAdmin)
        : m_pFake(pFake), m_bDeclined(bDeclined), m_bAdmin(bAdmin) {}
    FakePlatform* m_pFake;
    bool m_bDeclined;
    bool m_bAdmin;
    Calls m_calls;

    Result RunOwnProgram(const std::string& arguments) override {
        m_calls.push_back(arguments);
        if (m_bDeclined || m_calls.size() > 1) {  // the second: an elevated process asking again
            return Result::kDeclined;
        }
        m_pFake->registry.SetStandardUser(!m_bAdmin);
        int code = RunCommandLine(m_pFake->platform, arguments);
        m_pFake->registry.SetStandardUser(true);
        return code == kWriteExitDone ? Result::kDone : Result::kFailed;
    }
};

TEST(StandardUserTest, ScanPrefixAndModeChangeThroughTheElevation) {
    struct Case {
        const char* name;
        bool bElevation, bDeclined, bAdmin;
        int nApply;
        const char* userInitAfter;
        bool bLegacy = false;  // the modem's keys only in the legacy layout
        bool bGone = false;    // its subkey removed after the scan, in either layout
    };
    const Case cases[] = {
        {"Done", true, false, true, kApplyDone, "+PCW=2;S7=60"},
        {"LegacyLayoutDone", true, false, true, kApplyDone, "+PCW=2;S7=60", true},
        // Not denied but missing: nothing to ask the elevation for.
        {"NoSuchSubkey", true, false, true, kApplyRegistryError, "", false, true},
        {"Declined", true, true, false, kApplyRegistryError, "S7=60"},
        // The elevated process is denied too; it must not ask for elevation again.
        {"Failed", true, false, false, kApplyRegistryError, "S7=60"},
        {"NoElevation", false, false, false, kApplyRegistryError, "S7=60"},
    };
    const std::string dial = "atm2l3x3d0W#43#,,;h\r";
    const std::string locations =
        "Software\\Microsoft\\Windows\\CurrentVersion\\Telephony\\Locations";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakePlatform fake;
        // No modem answers on COM9: the supported one becomes record 0 at subkey 1.
        fake.AddModemKey(0, "COM9", "Other", "S7=60", c.bLegacy);
        fake.AddModemKey(1, "COM3", "ORVA 56k V.92", "S7=60", c.bLegacy);
        CFakeSerialPort& port = fake.AddModem(3);
        fake.registry.SetDword(kHklm, locations, "CurrentID", 2);
        fake.registry.SetString(kHklm, locations + "\\Location2", "OutsideAccess", "0W");
        CFakeElevation elevation(&fake, c.bDeclined, c.bAdmin);
        fake.platform.elevation = c.bElevation ? &elevation : nullptr;
        fake.registry.SetStandardUser(true);

        CModemList list(fake.platform);
        list.LoadRegEntries();
        list.ReduceToModemOnHoldSupported();
        ASSERT_EQ(list.GetCount(), 1);
        ModemInfo* pModem = list.GetAt(0);
        pModem->GetSerialPort()->Close();
        port.ClearWrites();
        port.Respond(dial, {{0, dial}, {3000, "\r\nOK\r\n"}});
        if (c.bGone) {
            fake.registry.DeleteKey(kHklm, BuildModemKeyPath(1, c.bLegacy));
        }
        CCallWaitingControl control(fake.platform, pModem);
        EXPECT_EQ(control.GetOutsideAccess(), "0W");
        EXPECT_EQ(control.Apply(kStay, 1, 1), c.nApply);

        EXPECT_EQ(elevation.m_calls,
                  (c.bElevation && !c.bGone ? Calls{"--write-userinit 1 2"} : Calls{}));
        const std::string stored = std::string(c.userInitAfter) + '\0';  // with its NUL
        const std::optional<RegStoredValue> value =
            fake.registry.GetValue(kHklm, BuildModemKeyPath(1, c.bLegacy), "UserInit");
        ASSERT_EQ(value.has_value(), !c.bGone);
        if (value) {
            EXPECT_EQ(value->bytes, std::vector<std::uint8_t>(stored.begin(), stored.end()));
        }
        EXPECT_EQ(pModem->GetUserInit(), c.userInitAfter);
        EXPECT_EQ(port.GetWrites(),
                  c.nApply == kApplyDone ? std::vector{dial} : std::vector<std::string>{});
        EXPECT_EQ(fake.registry.GetOpenKeyCount(), 0);
    }
}

// Nothing but a subkey number and a mode gets through, and a refused request touches no key;
// the ends of the subkey range and mode 1 do get through.
TEST(StandardUserTest, WriteOnlyCommandLineRefusesEverythingElse) {
    for (const char* arguments : {"0 1", "254 1", "254 2"}) {
        SCOPED_TRACE(arguments);
        const int nKey = std::atoi(arguments);
        FakePlatform fake;
        fake.AddModemKey(nKey, "COM3", "ORVA 56k V.92", "S7=60");
        EXPECT_EQ(
            RunCommandLine(fake.platform, std::string(kUserInitWriteKeyword) + " " + arguments),
            kWriteExitDone);
        EXPECT_EQ(fake.registry.GetString(kHklm, BuildModemKeyPath(nKey, false), "UserInit"),
                  std::string("+PCW=") + arguments[std::strlen(arguments) - 1] + ";S7=60");
    }
    // Value text alone, as the mode or behind a good request; a key path; modes 3 and 0; a
    // subkey out of range or not in plain decimal; a missing or an extra argument.
    const std::string cases[] = {"+PCW=2;S7=60",
                                 "1 +PCW=2;ATZ",
                                 "1 2 +PCW=2;ATZ",
                                 "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet 2",
                                 "1 3",
                                 "1 0",
                                 "255 1",
                                 "01 1",
                                 "1 01",
                                 "1x 1",
                                 "1 1x",
                                 "+1 1",
                                 "1 +1",
                                 "1",
                                 "",
                                 "1 2 1"};
    for (const std::string& arguments : cases) {
        SCOPED_TRACE(arguments);
        FakePlatform fake;
        fake.AddModemKey(1, "COM3", "ORVA 56k V.92", "S7=60");
        const int calls = fake.registry.GetCallCount();
        EXPECT_EQ(
            RunCommandLine(fake.platform, std::string(kUserInitWriteKeyword) + " " + arguments),
            kWriteExitUsage);
        EXPECT_EQ(fake.registry.GetCallCount(), calls) << "the registry was touched";
    }
    // An empty argument, as subkey or as mode.
    for (int nEmpty : {2, 3}) {
        FakePlatform fake;
        fake.AddModemKey(1, "COM3", "ORVA 56k V.92", "S7=60");
        std::string args[] = {"Mavris.exe", kUserInitWriteKeyword, "1", "1"};
        args[nEmpty].clear();
        char* argv[] = {args[0].data(), args[1].data(), args[2].data(), args[3].data(), nullptr};
        EXPECT_EQ(RunUserInitWriteRequest(fake.platform, 4, argv), kWriteExitUsage) << nEmpty;
    }
}

// A value that cannot be stored ends the elevated process with 3, never with 0 ("written").
TEST(StandardUserTest, WriteOnlyCommandLineReportsAFailedWrite) {
    FakePlatform fake;
    fake.AddModemKey(1, "COM3", "ORVA 56k V.92", "S7=60");
    fake.registry.FailSetValue(kHklm, BuildModemKeyPath(1, false), "UserInit");
    EXPECT_EQ(RunCommandLine(fake.platform, std::string(kUserInitWriteKeyword) + " 1 2"),
              kWriteExitFailed);
    EXPECT_EQ(fake.registry.GetString(kHklm, BuildModemKeyPath(1, false), "UserInit"), "S7=60");
}

}  // namespace
