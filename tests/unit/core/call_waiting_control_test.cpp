// CCallWaitingControl on the in-memory registry: the mode in "UserInit", its rewrite in both
// key layouts, the whole change of behaviour without the provider call, the outside-line
// prefix from the telephony location, and the autorun value.
#include "modem/call_waiting_control.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "modem/modem_info.h"
#include "modem_test_support.h"
#include "support/memory/fixed_module.h"
#include "platform/user_exception.h"

namespace {

constexpr RegRoot kHklm = RegRoot::kLocalMachine;
constexpr RegRoot kHkcu = RegRoot::kCurrentUser;
const char* const kExe = "C:\\Program Files\\ORVA Mavris\\Mavris.exe";
const std::string kLocations = "Software\\Microsoft\\Windows\\CurrentVersion\\Telephony\\Locations";
const std::string kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

class CallWaitingControlTest : public ::testing::Test {
protected:
    CallWaitingControlTest() { m_fake.platform.module = &m_module; }

    void TearDown() override {
        EXPECT_EQ(m_fake.registry.GetOpenKeyCount(), 0) << "a registry key was left open";
    }

    // A record of modem subkey nKey on COM3, read from the registry as the scan reads it.
    void MakeRecord(int nKey = 0) {
        m_pModem = std::make_unique<ModemInfo>(m_fake.platform, nKey);
        m_pControl = std::make_unique<CCallWaitingControl>(m_fake.platform, m_pModem.get());
    }

    void AddKey(const char* userInit, bool bLegacy = false, int nKey = 0) {
        m_fake.AddModemKey(nKey, "COM3", "ORVA 56k V.92", userInit, bLegacy);
    }

    std::string KeyPath(bool bLegacy, int nKey = 0) { return BuildModemKeyPath(nKey, bLegacy); }

    std::optional<RegStoredValue> UserInitValue(bool bLegacy = false, int nKey = 0) {
        return m_fake.registry.GetValue(kHklm, KeyPath(bLegacy, nKey), "UserInit");
    }

    // REG_SZ with its terminating NUL, as the modem driver may expect it.
    static RegStoredValue Sz(const std::string& text) {
        std::vector<std::uint8_t> bytes(text.begin(), text.end());
        bytes.push_back(0);
        return RegStoredValue{reg::kSz, bytes};
    }

    FakePlatform m_fake;
    CFixedModule m_module{kExe};
    std::unique_ptr<ModemInfo> m_pModem;
    std::unique_ptr<CCallWaitingControl> m_pControl;
};

// --- GetMode ---

struct ModeCase {
    const char* name;
    const char* userInit;  // null: no value
    int expected;
};

void PrintTo(const ModeCase& c, std::ostream* os) {
    *os << c.name;
}

class GetModeTest : public CallWaitingControlTest,
                    public ::testing::WithParamInterface<ModeCase> {};

TEST_P(GetModeTest, SearchesZeroThenOneThenTwo) {
    AddKey(GetParam().userInit);
    MakeRecord();
    EXPECT_EQ(m_pControl->GetMode(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    UserInits, GetModeTest,
    ::testing::Values(ModeCase{"Missing", nullptr, -1}, ModeCase{"Empty", "", -1},
                      ModeCase{"Unrelated", "S7=60&K3", -1}, ModeCase{"One", "+PCW=1;", 1},
                      ModeCase{"Two", "S7=60+PCW=2;", 2}, ModeCase{"Zero", "+PCW=0", 0},
                      ModeCase{"LowerCaseSpaced", "at +pcw=1", 1},
                      ModeCase{"BlanksInside", "+pcw = 2 ;", 2},
                      ModeCase{"TwoBeforeOne", "+PCW=2;+PCW=1;", 1},
                      ModeCase{"OneBeforeZero", "+PCW=1;S7=60;+PCW=0", 0},
                      ModeCase{"TwoAndZero", "+PCW=2+PCW=0", 0},
                      ModeCase{"UnknownMode", "+PCW=3;", -1}, ModeCase{"NoEquals", "+PCW;", -1}),
    [](const ::testing::TestParamInfo<ModeCase>& info) { return info.param.name; });

TEST_F(CallWaitingControlTest, GetModeReadsTheRegistryEveryTime) {
    AddKey("+PCW=1;");
    MakeRecord();
    EXPECT_EQ(m_pControl->GetMode(), 1);
    m_fake.registry.SetString(kHklm, KeyPath(false), "UserInit", "+PCW=2;");
    EXPECT_EQ(m_pControl->GetMode(), 2);
    m_fake.registry.DeleteValue(kHklm, KeyPath(false), "UserInit");
    EXPECT_EQ(m_pControl->GetMode(), -1);
}

TEST_F(CallWaitingControlTest, GetModeWithoutKeyIsNone) {
    AddKey("+PCW=1;");
    MakeRecord();
    m_fake.registry.DeleteKey(kHklm, KeyPath(false));
    EXPECT_EQ(m_pControl->GetMode(), -1);
}

// --- WriteUserInit: the worked examples ---

struct RewriteCase {
    const char* name;
    const char* before;  // null: no value
    int mode;
    const char* after;
    int modeAfter;
};

void PrintTo(const RewriteCase& c, std::ostream* os) {
    *os << c.name;
}

class RewriteTest : public CallWaitingControlTest,
                    public ::testing::WithParamInterface<std::tuple<RewriteCase, bool>> {};

TEST_P(RewriteTest, SettingGoesToTheFrontWithItsSemicolon) {
    const RewriteCase& c = std::get<0>(GetParam());
    const bool bLegacy = std::get<1>(GetParam());
    AddKey(c.before, bLegacy);
    MakeRecord();
    ASSERT_EQ(m_pModem->IsLegacyKey(), bLegacy);

    EXPECT_EQ(m_pControl->WriteUserInit(static_cast<Behaviour>(c.mode)), kApplyDone);

    // Stored as REG_SZ with its NUL, in the record's own layout.
    EXPECT_EQ(UserInitValue(bLegacy), Sz(c.after));
    EXPECT_FALSE(m_fake.registry.HasKey(kHklm, KeyPath(!bLegacy)));
    EXPECT_EQ(m_pModem->GetUserInit(), c.after);
    EXPECT_EQ(m_pControl->GetMode(), c.modeAfter);
    EXPECT_TRUE(m_fake.log.GetLines().empty());

    // Setting the same mode again changes nothing.
    EXPECT_EQ(m_pControl->WriteUserInit(static_cast<Behaviour>(c.mode)), kApplyDone);
    EXPECT_EQ(UserInitValue(bLegacy), Sz(c.after));
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, RewriteTest,
    ::testing::Combine(
        ::testing::Values(
            RewriteCase{"NoValue", nullptr, 2, "+PCW=2;", 2},
            RewriteCase{"EmptyValue", "", 2, "+PCW=2;", 2},
            RewriteCase{"OtherSettings", "S7=60", 2, "+PCW=2;S7=60", 2},
            RewriteCase{"LowerCaseWithBlanks", "s7=60 &k3", 1, "+PCW=1;S7=60&K3", 1},
            RewriteCase{"SettingWithoutSemicolon", "+PCW=1", 2, "+PCW=2;", 2},
            RewriteCase{"SettingInFront", "+PCW=1;S7=60", 2, "+PCW=2;S7=60", 2},
            RewriteCase{"SettingInTheMiddle", "S7=60+PCW=2;&K3", 1, "+PCW=1;S7=60&K3", 1},
            RewriteCase{"SettingAtTheEnd", "S7=60;+PCW=0", 1, "+PCW=1;S7=60;", 1},
            RewriteCase{"OnlyFirstSettingGoes", "+PCW=1;S7=60;+PCW=0", 2, "+PCW=2;S7=60;+PCW=0", 0},
            RewriteCase{"SameModeUnchanged", "+PCW=2;S7=60", 2, "+PCW=2;S7=60", 2},
            // Only the setting itself goes, with the ';' right after it when there is one.
            RewriteCase{"OpenSettingKeepsTheRest", "S7=60+PCW=1&K3", 2, "+PCW=2;S7=60&K3", 2},
            RewriteCase{"OpenSettingBeforeASemicolon", "+PCW=1&K3;X", 2, "+PCW=2;&K3;X", 2},
            RewriteCase{"AllItsDigits", "+PCW=12&K3", 1, "+PCW=1;&K3", 1},
            RewriteCase{"SettingWithoutEquals", "+PCW;S0=1", 1, "+PCW=1;S0=1", 1},
            // The driver sends the value behind its own "AT": only a leading one goes.
            RewriteCase{"LeadingAtDropped", "at s7=60", 1, "+PCW=1;S7=60", 1},
            RewriteCase{"AtAlone", "AT", 1, "+PCW=1;", 1},
            RewriteCase{"AtLeadingOnceTheSettingIsGone", "at+pcw=2;s7=60", 1, "+PCW=1;S7=60", 1},
            RewriteCase{"AtElsewhereStays", "&K3;ATS0=1", 2, "+PCW=2;&K3;ATS0=1", 2}),
        ::testing::Bool()),
    [](const ::testing::TestParamInfo<std::tuple<RewriteCase, bool>>& info) {
        return std::string(std::get<0>(info.param).name) +
               (std::get<1>(info.param) ? "_Legacy" : "_ClassGuid");
    });

TEST_F(CallWaitingControlTest, WriteTriesClassGuidLayoutFirstWhateverTheRecordSays) {
    // The record was read from the class-GUID key, which turns out not to be writable; the
    // legacy key of the same number takes the value.
    AddKey("S7=60", false);
    AddKey("&K3", true);
    m_fake.registry.DenyWrite(kHklm, KeyPath(false));
    MakeRecord();
    ASSERT_FALSE(m_pModem->IsLegacyKey());

    EXPECT_EQ(m_pControl->WriteUserInit(kCut), kApplyDone);

    EXPECT_EQ(UserInitValue(true), Sz("+PCW=1;S7=60"));
    EXPECT_EQ(m_fake.registry.GetString(kHklm, KeyPath(false), "UserInit"), "S7=60");
    std::vector<RegOpenRecord> opens = m_fake.registry.GetOpenLog();
    ASSERT_GE(opens.size(), 2u);
    EXPECT_EQ(opens[opens.size() - 2].path, KeyPath(false));
    EXPECT_EQ(opens[opens.size() - 2].access, reg::kSetValue);
    EXPECT_EQ(opens.back().path, KeyPath(true));
    EXPECT_EQ(opens.back().access, reg::kSetValue);
}

TEST_F(CallWaitingControlTest, WriteUsesTheRecordsKeyNumber) {
    AddKey("S7=60", false, 0);
    m_fake.AddModemKey(7, "COM4", "ORVA 56k V.92", "&K3");
    MakeRecord(7);
    EXPECT_EQ(m_pControl->WriteUserInit(kStay), kApplyDone);
    EXPECT_EQ(UserInitValue(false, 7), Sz("+PCW=2;&K3"));
    EXPECT_EQ(m_fake.registry.GetString(kHklm, KeyPath(false, 0), "UserInit"), "S7=60");
}

TEST_F(CallWaitingControlTest, NeitherLayoutWritableGivesMinusOneAndChangesNothing) {
    AddKey("S7=60", false);
    AddKey("&K3", true);
    m_fake.registry.DenyWrite(kHklm, KeyPath(false));
    m_fake.registry.DenyWrite(kHklm, KeyPath(true));
    MakeRecord();

    EXPECT_EQ(m_pControl->WriteUserInit(kCut), kApplyRegistryError);
    EXPECT_EQ(m_pControl->Apply(kCut, 1, 0), kApplyRegistryError);

    EXPECT_EQ(m_fake.registry.GetString(kHklm, KeyPath(false), "UserInit"), "S7=60");
    EXPECT_EQ(m_fake.registry.GetString(kHklm, KeyPath(true), "UserInit"), "&K3");
    EXPECT_EQ(m_pModem->GetUserInit(), "S7=60");
    EXPECT_TRUE(m_fake.log.GetLines().empty());
}

TEST_F(CallWaitingControlTest, FailedValueWriteThrowsAndChangesNothing) {
    AddKey("s7=60", false);
    m_fake.registry.FailSetValue(kHklm, KeyPath(false), "UserInit");
    MakeRecord();

    EXPECT_THROW(m_pControl->WriteUserInit(kCut), CUserException);
    EXPECT_EQ(m_pControl->Apply(kStay, 1, 0), kApplyRegistryError);

    EXPECT_EQ(m_fake.registry.GetValue(kHklm, KeyPath(false), "UserInit"),
              (RegStoredValue{reg::kSz, {'s', '7', '=', '6', '0', 0}}));
    EXPECT_EQ(m_pModem->GetUserInit(), "S7=60");
    EXPECT_EQ(m_fake.log.GetLines(),
              (std::vector<std::string>{"*** ModemInfo \n", "*** ModemInfo \n", "*** Apply \n"}));
}

// An existing value too long to be read must not be replaced by the setting alone.
TEST_F(CallWaitingControlTest, UnreadableLongValueIsNeverReplaced) {
    const std::string longValue = "S7=60" + std::string(300, '0');
    AddKey(longValue.c_str());
    MakeRecord();

    EXPECT_EQ(m_pControl->WriteUserInit(kCut), kApplyRegistryError);
    EXPECT_EQ(m_pModem->GetUserInitStatus(), UserInitStatus::kTooLong);
    EXPECT_EQ(m_pControl->Apply(kStay, 1, 1), kApplyRegistryError);

    EXPECT_EQ(m_fake.registry.GetString(kHklm, KeyPath(false), "UserInit"), longValue);
    EXPECT_EQ(m_fake.serial.GetOpenedNames().size(), 0u) << "nothing dialled";
}

// The new value with its NUL must fit what the record can read back (255 bytes); nothing is
// cut.
TEST_F(CallWaitingControlTest, NewValueLongerThan254IsRefused) {
    struct Case {
        std::size_t nRest;
        int expected;
    };
    for (Case c : {Case{247, kApplyDone}, Case{248, kApplyRegistryError}}) {
        SCOPED_TRACE(c.nRest);
        const std::string rest(c.nRest, '1');  // "+PCW=1;" makes 7 more
        m_fake.registry.DeleteKey(kHklm, KeyPath(false));
        AddKey(rest.c_str());
        MakeRecord();
        ASSERT_EQ(m_pModem->ReadUserInit(), rest);

        EXPECT_EQ(m_pControl->WriteUserInit(kCut), c.expected);

        if (c.expected == kApplyDone) {
            EXPECT_EQ(UserInitValue(), Sz("+PCW=1;" + rest));
            EXPECT_EQ(m_pControl->GetMode(), 1) << "the written value reads back";
        } else {
            EXPECT_EQ(m_fake.registry.GetString(kHklm, KeyPath(false), "UserInit"), rest);
            EXPECT_EQ(m_pModem->GetUserInit(), rest);
        }
    }
}

// --- Apply without the provider call ---

TEST_F(CallWaitingControlTest, ApplyWithoutCallOutNeverOpensThePort) {
    AddKey("S7=60");
    m_fake.AddModem(3);
    MakeRecord();
    for (int callOut : {0, 2, -1}) {
        EXPECT_EQ(m_pControl->Apply(kCut, 1, callOut), kApplyDone);
    }
    EXPECT_EQ(UserInitValue(), Sz("+PCW=1;S7=60"));
    EXPECT_TRUE(m_fake.serial.GetOpenedNames().empty());
    EXPECT_EQ(m_fake.serial.GetPort(3)->GetOpenCount(), 0);
}

// --- Outside-line prefix ---

TEST_F(CallWaitingControlTest, OutsideAccessComesFromTheCurrentLocation) {
    m_fake.registry.SetDword(kHklm, kLocations, "CurrentID", 12);
    m_fake.registry.SetString(kHklm, kLocations + "\\Location1", "OutsideAccess", "9");
    m_fake.registry.SetString(kHklm, kLocations + "\\Location12", "OutsideAccess", "0W");
    AddKey("");
    MakeRecord();

    EXPECT_EQ(m_pControl->GetOutsideAccess(), "0W");
    for (const RegOpenRecord& open : m_fake.registry.GetOpenLog()) {
        if (open.path.find("Telephony") != std::string::npos) {
            EXPECT_EQ(open.access, reg::kQueryValue | reg::kWow64_64Key) << open.path;
        }
    }
    // Read afresh at every request: the location's prefix, and the current location, change.
    m_fake.registry.SetString(kHklm, kLocations + "\\Location12", "OutsideAccess", "5");
    EXPECT_EQ(m_pControl->GetOutsideAccess(), "5");
    m_fake.registry.SetDword(kHklm, kLocations, "CurrentID", 1);
    EXPECT_EQ(m_pControl->GetOutsideAccess(), "9");
}

TEST_F(CallWaitingControlTest, SetOutsideAccessReplacesWithoutTouchingTheRegistry) {
    m_fake.registry.SetDword(kHklm, kLocations, "CurrentID", 1);
    m_fake.registry.SetString(kHklm, kLocations + "\\Location1", "OutsideAccess", "0");
    AddKey("");
    MakeRecord();
    const int calls = m_fake.registry.GetCallCount();
    m_pControl->SetOutsideAccess("00W");
    EXPECT_EQ(m_pControl->GetOutsideAccess(), "00W");
    m_pControl->SetOutsideAccess("9");
    EXPECT_EQ(m_pControl->GetOutsideAccess(), "9");
    // Longer than the 1,024-byte field: kept to the 1,023 characters that fit with the NUL.
    m_pControl->SetOutsideAccess(std::string(1023, '1'));
    EXPECT_EQ(m_pControl->GetOutsideAccess(), std::string(1023, '1'));
    m_pControl->SetOutsideAccess(std::string(1024, '2') + "-");
    EXPECT_EQ(m_pControl->GetOutsideAccess(), std::string(1023, '2'));
    EXPECT_EQ(m_fake.registry.GetCallCount(), calls);

    // Emptied, the next request goes back to the location.
    m_pControl->SetOutsideAccess("");
    EXPECT_EQ(m_pControl->GetOutsideAccess(), "0");
    EXPECT_GT(m_fake.registry.GetCallCount(), calls);
}

// What an emptied field left behind in the buffer must not trail a shorter location value
// stored without its NUL.
TEST_F(CallWaitingControlTest, LocationPrefixDoesNotPickUpAnOlderLongerPrefix) {
    m_fake.registry.SetDword(kHklm, kLocations, "CurrentID", 1);
    m_fake.registry.SetString(kHklm, kLocations + "\\Location1", "OutsideAccess", "9", false);
    AddKey("");
    MakeRecord();
    m_pControl->SetOutsideAccess("12345");
    m_pControl->SetOutsideAccess("");
    EXPECT_EQ(m_pControl->GetOutsideAccess(), "9");
}

TEST_F(CallWaitingControlTest, OutsideAccessIsEmptyWhenTheLocationCannotBeRead) {
    struct Case {
        const char* name;
        void (*setUp)(CMemoryRegistry&);
    };
    const Case cases[] = {
        {"NoLocationsKey", [](CMemoryRegistry&) {}},
        {"NoCurrentId",
         [](CMemoryRegistry& r) {
             r.SetString(kHklm, kLocations + "\\Location1", "OutsideAccess", "0");
         }},
        {"NoLocationKey",
         [](CMemoryRegistry& r) {
             r.SetDword(kHklm, kLocations, "CurrentID", 2);
             r.SetString(kHklm, kLocations + "\\Location1", "OutsideAccess", "0");
         }},
        {"NoOutsideAccess",
         [](CMemoryRegistry& r) {
             r.SetDword(kHklm, kLocations, "CurrentID", 1);
             r.AddKey(kHklm, kLocations + "\\Location1");
         }},
        {"OutsideAccessLongerThan255Bytes",
         [](CMemoryRegistry& r) {
             r.SetDword(kHklm, kLocations, "CurrentID", 1);
             r.SetString(kHklm, kLocations + "\\Location1", "OutsideAccess", std::string(255, '0'));
         }},
        {"LocationNotOpenable",
         [](CMemoryRegistry& r) {
             r.SetDword(kHklm, kLocations, "CurrentID", 1);
             r.SetString(kHklm, kLocations + "\\Location1", "OutsideAccess", "0");
             r.DenyOpen(kHklm, kLocations + "\\Location1");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakePlatform fake;
        c.setUp(fake.registry);
        fake.AddModemKey(0, "COM3", "ORVA 56k V.92", "");
        ModemInfo modem(fake.platform, 0);
        CCallWaitingControl control(fake.platform, &modem);
        EXPECT_EQ(control.GetOutsideAccess(), "");
        // Still empty: the next request reads the registry again.
        const int calls = fake.registry.GetCallCount();
        EXPECT_EQ(control.GetOutsideAccess(), "");
        EXPECT_GT(fake.registry.GetCallCount(), calls);
        EXPECT_EQ(fake.registry.GetOpenKeyCount(), 0);
    }
}

TEST_F(CallWaitingControlTest, OutsideAccessOf255BytesWithoutNulIsRead) {
    m_fake.registry.SetDword(kHklm, kLocations, "CurrentID", 1);
    m_fake.registry.SetString(kHklm, kLocations + "\\Location1", "OutsideAccess",
                              std::string(255, '0'), false);
    AddKey("");
    MakeRecord();
    EXPECT_EQ(m_pControl->GetOutsideAccess(), std::string(255, '0'));
}

// --- Autorun ---

class AutorunTest : public CallWaitingControlTest, public ::testing::WithParamInterface<bool> {
protected:
    bool Legacy() const { return GetParam(); }
    RegRoot Root() const { return Legacy() ? kHklm : kHkcu; }
    RegRoot OtherRoot() const { return Legacy() ? kHkcu : kHklm; }

    void SetUp() override {
        AddKey("", Legacy());
        m_fake.registry.AddKey(kHklm, kRun);
        m_fake.registry.AddKey(kHkcu, kRun);
        MakeRecord();
        ASSERT_EQ(m_pModem->IsLegacyKey(), Legacy());
    }
};

TEST_P(AutorunTest, RootFollowsTheRecordsLayout) {
    m_pControl->SetAutorun(true);

    const std::string command = '"' + std::string(kExe) + '"';  // the path has blanks
    std::vector<std::uint8_t> bytes(command.begin(), command.end());
    bytes.push_back(0);
    EXPECT_EQ(m_fake.registry.GetValue(Root(), kRun, "ORVA_ModemOnHold"),
              (RegStoredValue{reg::kSz, bytes}));
    EXPECT_TRUE(m_fake.registry.GetValueNames(OtherRoot(), kRun).empty());
    EXPECT_TRUE(m_pControl->IsAutorun());

    m_pControl->SetAutorun(false);
    EXPECT_FALSE(m_fake.registry.GetValue(Root(), kRun, "ORVA_ModemOnHold").has_value());
    EXPECT_FALSE(m_pControl->IsAutorun());
    // Switching off what is already off changes nothing and reports nothing.
    m_pControl->SetAutorun(false);
    EXPECT_FALSE(m_pControl->IsAutorun());

    // Full access to write or delete, read rights only to look.
    std::vector<std::uint32_t> accesses;
    for (const RegOpenRecord& open : m_fake.registry.GetOpenLog()) {
        if (open.path.find("\\Run") != std::string::npos) {
            EXPECT_EQ(open.kind, RegOpenRecord::Kind::kOpen);
            EXPECT_EQ(open.root, Root());
            EXPECT_EQ(open.path, "Software\\Microsoft\\Windows\\CurrentVersion\\Run\\");
            accesses.push_back(open.access);
        }
    }
    const std::uint32_t all = reg::kAllAccess;
    const std::uint32_t query = reg::kQueryValue;
    EXPECT_EQ(accesses, (std::vector<std::uint32_t>{all, query, all, query, all, query}));
}

// Quoted where a blank would split the command line; both forms count when read. Written
// through the wide-character API, so that a folder the ANSI code page cannot write (the
// user's profile "Łukasz") is named as it is; its length counts in Windows' characters.
TEST_P(AutorunTest, PathWithABlankIsQuotedAndBothFormsCount) {
    const std::string longest = "C:\\Program Files\\" + std::string(233, 'm') + ".exe";
    ASSERT_EQ(longest.size(), 254u);
    std::string longestPolish = "C:\\Program Files\\";
    for (int i = 0; i < 233; ++i) {
        longestPolish += "\xC5\x82";  // 'ł': two bytes, one character
    }
    longestPolish += ".exe";
    for (const std::string& path :
         {std::string("C:\\Mavris\\Mavris.exe"), longest,
          std::string("C:\\Users\\\xC5\x81ukasz\\Mavris\\Mavris.exe"), longestPolish}) {
        m_module.SetPath(path);
        m_pControl->SetAutorun(true);
        const bool bBlank = path.find(' ') != std::string::npos;
        EXPECT_EQ(m_fake.registry.GetString(Root(), kRun, "ORVA_ModemOnHold"),
                  bBlank ? '"' + path + '"' : path);
        EXPECT_TRUE(m_fake.registry.IsWrittenWide(Root(), kRun, "ORVA_ModemOnHold")) << path;
        EXPECT_TRUE(m_pControl->IsAutorun()) << path;
    }
    m_fake.registry.SetString(Root(), kRun, "ORVA_ModemOnHold", kExe);  // as written before
    EXPECT_TRUE(m_pControl->IsAutorun());

    // A path of 255 characters or more is not written: the check box could not read it back.
    for (std::size_t length : {255, 300}) {
        m_fake.registry.DeleteValue(Root(), kRun, "ORVA_ModemOnHold");
        m_module.SetPath("C:\\Program Files\\" + std::string(length - 17, 'm'));
        m_pControl->SetAutorun(true);
        EXPECT_EQ(m_fake.registry.GetValue(Root(), kRun, "ORVA_ModemOnHold"), std::nullopt);
        EXPECT_FALSE(m_pControl->IsAutorun());
    }
}

TEST_P(AutorunTest, ValueUnderTheOtherRootIsNotSeen) {
    m_fake.registry.SetString(OtherRoot(), kRun, "ORVA_ModemOnHold", kExe);
    EXPECT_FALSE(m_pControl->IsAutorun());
}

TEST_P(AutorunTest, AnyPathCountsButOnlyWithin255Bytes) {
    m_fake.registry.SetString(Root(), kRun, "ORVA_ModemOnHold", "D:\\other\\program.exe");
    EXPECT_TRUE(m_pControl->IsAutorun());
    m_fake.registry.SetString(Root(), kRun, "ORVA_ModemOnHold", std::string(254, 'p'));
    EXPECT_TRUE(m_pControl->IsAutorun());
    m_fake.registry.SetString(Root(), kRun, "ORVA_ModemOnHold", std::string(255, 'p'));
    EXPECT_FALSE(m_pControl->IsAutorun());
}

TEST_P(AutorunTest, MissingRunKeyIsNeverCreated) {
    m_fake.registry.DeleteKey(Root(), kRun);
    m_pControl->SetAutorun(true);
    EXPECT_FALSE(m_fake.registry.HasKey(Root(), kRun));
    EXPECT_FALSE(m_pControl->IsAutorun());
}

TEST_P(AutorunTest, RunKeyWithoutFullAccessIsLeftAlone) {
    m_fake.registry.SetString(Root(), kRun, "ORVA_ModemOnHold", kExe);
    m_fake.registry.DenyWrite(Root(), kRun);
    // Read with read rights, the value is still seen; it cannot be deleted.
    EXPECT_TRUE(m_pControl->IsAutorun());
    m_pControl->SetAutorun(false);
    EXPECT_EQ(m_fake.registry.GetString(Root(), kRun, "ORVA_ModemOnHold"), kExe);
}

TEST_P(AutorunTest, FailedWriteIsSilent) {
    m_fake.registry.FailSetValue(Root(), kRun, "ORVA_ModemOnHold");
    m_pControl->SetAutorun(true);
    EXPECT_FALSE(m_pControl->IsAutorun());
}

INSTANTIATE_TEST_SUITE_P(Layouts, AutorunTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "Legacy" : "ClassGuid";
                         });

}  // namespace
