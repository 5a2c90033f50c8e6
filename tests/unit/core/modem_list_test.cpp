// CModemList: the registry walk that fills the list, and the scan that probes every record
// and keeps only supported modems set up for Germany.
#include "modem/modem_list.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <ostream>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "modem_test_support.h"

namespace {

// Parameterised cases print as their name instead of a byte dump.
template <typename Case>
requires requires(const Case& c) {
    c.name;
}
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

constexpr const char* kLoadLine = "*** Load reg entries \n";
constexpr const char* kReduceLine = "*** reduce To Modem On Hold Supported \n";
constexpr const char* kModel = "ORVA 56k V.92";

template <typename Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
    return info.param.name;
}

// --- LoadRegEntries ---

struct Key {
    int nKey;
    const char* attachedTo;
    bool bLegacy = false;
};

struct Record {
    int nKey;
    int nPort;
    bool bLegacy = false;
    bool operator==(const Record&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Record& r) {
    return os << "{key " << r.nKey << ", COM" << r.nPort << (r.bLegacy ? ", legacy}" : "}");
}

struct LoadCase {
    const char* name;
    std::vector<Key> keys;
    std::vector<Record> expected;
    std::vector<std::string> otherNames = {};  // further subkeys of the class-GUID key
    bool bUnlistable = false;                  // its subkeys cannot be listed
};

std::vector<Record> Records(const CModemList& list) {
    std::vector<Record> records;
    for (int i = 0; i < list.GetCount(); ++i) {
        const ModemInfo* info = list.GetAt(i);
        records.push_back({info->GetKeyIndex(), info->GetComPort(), info->IsLegacyKey()});
    }
    return records;
}

class LoadRegEntriesTest : public ::testing::TestWithParam<LoadCase> {};

TEST_P(LoadRegEntriesTest, KeepsOneRecordPerPortInSubkeyOrder) {
    FakePlatform fake;
    for (const Key& key : GetParam().keys) {
        fake.AddModemKey(key.nKey, key.attachedTo, kModel, nullptr, key.bLegacy);
    }
    const std::string base = kModemClassKeyPath;
    for (const std::string& name : GetParam().otherNames) {
        fake.registry.SetString(RegRoot::kLocalMachine, base + name, "AttachedTo", "COM9");
    }
    if (GetParam().bUnlistable) {
        fake.registry.FailEnumKey(RegRoot::kLocalMachine, base);
    }
    CModemList list(fake.platform);
    list.LoadRegEntries();
    EXPECT_EQ(Records(list), GetParam().expected);
    EXPECT_EQ(list.GetAt(list.GetCount()), nullptr);
    EXPECT_TRUE(fake.log.GetLines().empty());
    EXPECT_EQ(fake.registry.GetOpenKeyCount(), 0);
    EXPECT_TRUE(fake.serial.GetOpenedNames().empty());
    // Each subkey is read once, and only a number that was listed, in whichever layout.
    std::map<std::string, int> opens;
    for (const RegOpenRecord& open : fake.registry.GetOpenLog()) {
        EXPECT_EQ(++opens[open.path], 1) << open.path;
        const int nKey = std::atoi(open.path.substr(open.path.rfind('\\') + 1).c_str());
        const bool bListed =
            fake.registry.HasKey(RegRoot::kLocalMachine, BuildModemKeyPath(nKey, false)) ||
            fake.registry.HasKey(RegRoot::kLocalMachine, BuildModemKeyPath(nKey, true));
        EXPECT_TRUE(GetParam().bUnlistable || open.path.back() > '9' || bListed) << open.path;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Registries, LoadRegEntriesTest,
    ::testing::Values(
        LoadCase{"NoModems", {}, {}},
        LoadCase{
            "LowestSubkeyWinsAPort", {{0, "COM3"}, {1, "COM1"}, {2, "COM3"}}, {{0, 3}, {1, 1}}},
        LoadCase{"SubkeyWithoutPortSkipped", {{0, nullptr}, {1, "COM2"}}, {{1, 2}}},
        LoadCase{"UnusablePortsSkipped",
                 {{0, "COM0"}, {1, "COM-5"}, {2, "COM-1"}, {3, "COM"}, {4, "COM7"}},
                 {{4, 7}}},
        LoadCase{
            "GapPassedOver", {{0, "COM1"}, {1, "COM2"}, {3, "COM4"}}, {{0, 1}, {1, 2}, {3, 4}}},
        LoadCase{"MissingFirstSubkeyPassedOver", {{1, "COM2"}}, {{1, 2}}},
        LoadCase{
            "LegacyLayout", {{0, "COM1", true}, {1, "COM2", true}}, {{0, 1, true}, {1, 2, true}}},
        LoadCase{"LegacyLayoutWithGaps",
                 {{2, "COM3", true}, {5, "COM6", true}},
                 {{2, 3, true}, {5, 6, true}}},
        // "000" is listed before "0002": a name that is not a modem's does not end the walk;
        // "00:0" is no number either, whatever its characters would add up to.
        LoadCase{"OtherNamesAreNoModems",
                 {{2, "COM3"}, {255, "COM8"}},
                 {{2, 3}},
                 {"000", "2", "00002", "Properties", "12ab", "00:0"}},
        LoadCase{"UnlistableKeyTriesEveryNumber",
                 {{1, "COM2"}, {3, "COM4"}},
                 {{1, 2}, {3, 4}},
                 {},
                 true},
        LoadCase{"LayoutChosenPerSubkey",
                 {{0, "COM1"}, {1, "COM2", true}, {1, "COM5", false}, {2, "COM3", true}},
                 {{0, 1}, {1, 5}, {2, 3, true}}}),
    CaseName<LoadCase>);

TEST(ModemListTest, WalkStopsAtSubkey254) {
    FakePlatform fake;
    for (int i = 0; i <= 255; ++i) {
        fake.AddModemKey(i, ("COM" + std::to_string(i + 1)).c_str(), kModel);
    }
    CModemList list(fake.platform);
    list.LoadRegEntries();
    ASSERT_EQ(list.GetCount(), CModemList::kCapacity);
    EXPECT_EQ(list.GetAt(254)->GetComPort(), 255);
    for (const RegOpenRecord& open : fake.registry.GetOpenLog()) {
        EXPECT_EQ(open.path.find("0255"), std::string::npos);
    }
}

// Duplicate ports below subkey 254 leave room in the list: the walk still ends there.
TEST(ModemListTest, WalkStopsAtSubkey254AlsoWhenTheListIsNotFull) {
    FakePlatform fake;
    for (int i = 0; i <= 255; ++i) {
        const int nPort = (i == 1 || i == 2) ? 1 : i + 1;  // subkeys 1 and 2 repeat COM1
        fake.AddModemKey(i, ("COM" + std::to_string(nPort)).c_str(), kModel);
    }
    CModemList list(fake.platform);
    list.LoadRegEntries();
    ASSERT_EQ(list.GetCount(), CModemList::kCapacity - 2);
    EXPECT_EQ(list.GetAt(list.GetCount() - 1)->GetKeyIndex(), 254);
    for (const RegOpenRecord& open : fake.registry.GetOpenLog()) {
        EXPECT_EQ(open.path.find("0255"), std::string::npos);
    }
}

// Removing from a full list: the first, a middle and the last record, and an index one past it.
TEST(ModemListTest, RemoveAtOnAFullList) {
    for (int n : {0, 127, CModemList::kCapacity - 1, CModemList::kCapacity}) {
        FakePlatform fake;
        std::vector<Record> expected;
        for (int i = 0; i < CModemList::kCapacity; ++i) {
            fake.AddModemKey(i, ("COM" + std::to_string(i + 1)).c_str(), kModel);
            if (i != n) {
                expected.push_back({i, i + 1});
            }
        }
        CModemList list(fake.platform);
        list.LoadRegEntries();
        ASSERT_EQ(list.GetCount(), CModemList::kCapacity);
        EXPECT_EQ(list.RemoveAt(n), static_cast<int>(expected.size())) << n;
        EXPECT_EQ(Records(list), expected) << n;
        EXPECT_EQ(list.GetAt(list.GetCount()), nullptr) << n;
    }
}

// Opening one subkey runs out of memory.
class FailingKeyRegistry : public CMemoryRegistry {
public:
    long OpenKey(RegRoot root, const char* path, std::uint32_t access, RegKey* key) override {
        if (std::string(path).ends_with(m_failingSuffix)) {
            throw std::bad_alloc();
        }
        return CMemoryRegistry::OpenKey(root, path, access, key);
    }
    std::string m_failingSuffix = "\\0002";
};

TEST(ModemListTest, FailureWhileBuildingARecordEndsTheWalkAndKeepsTheOthers) {
    FakePlatform fake;
    FailingKeyRegistry registry;
    for (int i = 0; i < 4; ++i) {
        registry.AddKey(RegRoot::kLocalMachine, BuildModemKeyPath(i, false));
        registry.SetString(RegRoot::kLocalMachine, BuildModemKeyPath(i, false), "AttachedTo",
                           "COM" + std::to_string(i + 1));
    }
    Platform platform = fake.platform;
    platform.registry = &registry;
    CModemList list(platform);
    list.LoadRegEntries();
    EXPECT_EQ(Records(list), (std::vector<Record>{{0, 1}, {1, 2}}));
    EXPECT_EQ(fake.log.GetLines(), (std::vector<std::string>{"*** ModemInfo \n", kLoadLine}));
}

// --- RemoveAt, GetAt, GetNameList ---

class ModemListContentTest : public ::testing::Test {
protected:
    FakePlatform fake;
    CModemList list{fake.platform};

    void SetUp() override {
        const char* models[] = {"A", "B", "C", "D"};
        for (int i = 0; i < 4; ++i) {
            fake.AddModemKey(i, ("COM" + std::to_string(i + 1)).c_str(), models[i]);
        }
        list.LoadRegEntries();
        ASSERT_EQ(list.GetCount(), 4);
    }
};

TEST_F(ModemListContentTest, RemoveAtKeepsTheOrderOfTheRest) {
    struct {
        int n;
        std::vector<std::string> after;
    } steps[] = {{1, {"A", "C", "D"}}, {2, {"A", "C"}},
                 {0, {"C"}},           {1, {"C"}},  // outside the list: nothing changes
                 {-1, {"C"}},          {0, {}}};
    for (const auto& step : steps) {
        EXPECT_EQ(list.RemoveAt(step.n), static_cast<int>(step.after.size())) << step.n;
        EXPECT_EQ(list.GetNameList(), step.after) << step.n;
        EXPECT_EQ(list.GetAt(list.GetCount()), nullptr);
    }
    EXPECT_EQ(list.GetAt(-1), nullptr);
    EXPECT_EQ(list.GetAt(CModemList::kCapacity), nullptr);
}

TEST_F(ModemListContentTest, RemovedConnectedRecordReleasesItsPort) {
    CFakeSerialPort& port = fake.serial.AddPort(2);
    ScriptModem(port, [] {
        FakeModemAnswers answers;
        answers.strModel = "B";
        return answers;
    }());
    ASSERT_TRUE(list.GetAt(1)->ConnectToModem());
    EXPECT_TRUE(port.IsOpen());
    list.RemoveAt(1);
    EXPECT_FALSE(port.IsOpen());
}

TEST(ModemListTest, NameListOfAnEmptyListIsEmpty) {
    FakePlatform fake;
    CModemList list(fake.platform);
    list.LoadRegEntries();
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_TRUE(list.GetNameList().empty());
    list.ReduceToModemOnHoldSupported();
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_TRUE(fake.log.GetLines().empty());
}

TEST(ModemListTest, SupportedModelRuleOnDisplayNames) {
    EXPECT_TRUE(CModemList::IsSupportedModel("ORVA 56k (COM3)"));
    EXPECT_FALSE(CModemList::IsSupportedModel("orva 56k (com3)"));
    EXPECT_FALSE(CModemList::IsSupportedModel("unknown"));
}

// --- ReduceToModemOnHoldSupported ---

// Looks at the list while it is told about a modem, as the main window does.
class RecordingSink : public ICountryWarningSink {
public:
    explicit RecordingSink(const CModemList*& list) : m_list(list) {}
    void OnCountryWarning(int nIndex) override {
        const ModemInfo* info = m_list->GetAt(nIndex);
        m_warnings.emplace_back(nIndex, info != nullptr ? info->GetName() : "<empty slot>");
        if (m_pCancelAfterFirst != nullptr) {
            m_pCancelAfterFirst->Cancel();
        }
    }
    std::vector<std::pair<int, std::string>> m_warnings;
    CModemList* m_pCancelAfterFirst = nullptr;

private:
    const CModemList*& m_list;
};

// One modem per entry, on COM n+1 from subkey n, with these answers and installed model.
struct ScanModem {
    FakeModemAnswers answers;
    std::string installedModel = kModel;
};

ScanModem Good() {
    ScanModem modem;
    modem.answers.strModel = "\"ORVA 56k V.92\"";
    return modem;
}
ScanModem WithoutCallWaiting() {
    ScanModem modem = Good();
    modem.answers.bCallWaiting = false;
    return modem;
}
ScanModem Abroad() {
    ScanModem modem = Good();
    modem.answers.strCountry = "3D";
    return modem;
}
ScanModem OtherModelAbroad() {
    ScanModem modem = Good();
    modem.answers.strModel = "ORVA 33k";
    modem.answers.strCountry = "B5";
    modem.installedModel = "ORVA 33k";
    return modem;
}
ScanModem CountryWithoutValue() {
    ScanModem modem = Good();
    modem.answers.strCountry.reset();
    return modem;
}
ScanModem Silent() {
    ScanModem modem = Good();
    modem.answers.bReset = false;
    return modem;
}
ScanModem OtherMaker() {
    ScanModem modem = Good();
    modem.answers.strMaker = "ACME";
    return modem;
}
ScanModem UnmatchedModel() {
    ScanModem modem = Good();
    modem.installedModel = "ORVA 56k V.92 Fax";  // not inside what the modem reports
    return modem;
}

class ScanTest : public ::testing::Test {
protected:
    FakePlatform fake;
    CModemList list{fake.platform};
    const CModemList* pList = &list;
    RecordingSink sink{pList};
    std::vector<CFakeSerialPort*> ports;

    void Install(const std::vector<ScanModem>& modems) {
        for (std::size_t i = 0; i < modems.size(); ++i) {
            const int n = static_cast<int>(i);
            fake.AddModemKey(n, ("COM" + std::to_string(n + 1)).c_str(),
                             modems[i].installedModel.c_str());
            ports.push_back(&fake.AddModem(n + 1, modems[i].answers));
        }
        list.SetCountryWarningSink(&sink);
        list.LoadRegEntries();
        ASSERT_EQ(list.GetCount(), static_cast<int>(modems.size()));
    }

    std::vector<int> KeptPorts() const {
        std::vector<int> kept;
        for (int i = 0; i < list.GetCount(); ++i) {
            kept.push_back(list.GetAt(i)->GetComPort());
        }
        return kept;
    }
};

struct ScanCase {
    const char* name;
    std::vector<ScanModem> modems;
    bool bCancel;
    std::vector<int> kept;                              // COM ports, in list order
    std::vector<std::pair<int, std::string>> warnings;  // index and name seen in that slot
    std::vector<std::string> log;
};

class ScanCaseTest : public ScanTest, public ::testing::WithParamInterface<ScanCase> {};

TEST_P(ScanCaseTest, KeepsSupportedModemsSetUpForGermany) {
    const ScanCase& c = GetParam();
    Install(c.modems);
    if (c.bCancel) {
        list.Cancel();
    }
    list.ReduceToModemOnHoldSupported();
    EXPECT_EQ(KeptPorts(), c.kept);
    EXPECT_EQ(sink.m_warnings, c.warnings);
    EXPECT_EQ(fake.log.GetLines(), c.log);
    // Kept modems stay connected; every other port is released again, as it was before.
    for (CFakeSerialPort* port : ports) {
        bool bKept = std::find(c.kept.begin(), c.kept.end(), port->GetPortNumber()) != c.kept.end();
        EXPECT_EQ(port->IsOpen(), bKept) << "COM" << port->GetPortNumber();
        if (!bKept) {
            EXPECT_TRUE(SameSettings(port->GetSettings(), CFakeSerialPort::InitialSettings()))
                << "COM" << port->GetPortNumber();
        }
    }
    EXPECT_EQ(fake.registry.GetOpenKeyCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Scans, ScanCaseTest,
    ::testing::Values(
        ScanCase{"AllGood", {Good(), Good()}, false, {1, 2}, {}, {}},
        ScanCase{"MiddleWithoutCallWaiting",
                 {Good(), WithoutCallWaiting(), Good()},
                 false,
                 {1, 3},
                 {},
                 {}},
        ScanCase{"AbroadWarnedWhileStillInItsSlot",
                 {Good(), Abroad(), Good()},
                 false,
                 {1, 3},
                 {{1, "ORVA 56k V.92 (COM2)"}},
                 {}},
        // Cancelled before it began: no port is opened, no record stays.
        ScanCase{"CancelledScanProbesNothing", {Good(), Abroad(), Good()}, true, {}, {}, {}},
        ScanCase{"WarningIndexFollowsEarlierRemovals",
                 {WithoutCallWaiting(), Abroad(), Abroad()},
                 false,
                 {},
                 {{0, "ORVA 56k V.92 (COM2)"}, {0, "ORVA 56k V.92 (COM3)"}},
                 {}},
        ScanCase{"OtherModelAbroadNotWarned", {OtherModelAbroad(), Good()}, false, {2}, {}, {}},
        ScanCase{"ThrowingProbeDropsOnlyThatModem",
                 {CountryWithoutValue(), Good()},
                 false,
                 {2},
                 {},
                 {kReduceLine}},
        ScanCase{"SilentModemDropped", {Silent(), Good()}, false, {2}, {}, {}},
        ScanCase{"OtherMakerDropped", {OtherMaker(), Good()}, false, {2}, {}, {}},
        ScanCase{"UnmatchedModelDroppedAndReleased", {UnmatchedModel()}, false, {}, {}, {}}),
    CaseName<ScanCase>);

TEST_F(ScanTest, AllFourQuestionsAreAskedEveryTime) {
    Install({UnmatchedModel(), OtherMaker(), OtherModelAbroad()});
    list.ReduceToModemOnHoldSupported();
    EXPECT_EQ(list.GetCount(), 0);
    // Connection failed with the port left open: both probes still go out.
    EXPECT_EQ(ports[0]->GetWrites(), (std::vector<std::string>{"at&f\r", "at+gmi?\r", "at+gmm?\r",
                                                               "at+pcw?\r", "at+gci?\r"}));
    // Connection failed and the port was dropped: the probes have nothing to talk to.
    EXPECT_EQ(ports[1]->GetWrites(), (std::vector<std::string>{"at&f\r", "at+gmi?\r"}));
    // Connected, but not the supported model: still probed.
    EXPECT_EQ(ports[2]->GetWrites(), (std::vector<std::string>{"at&f\r", "at+gmi?\r", "at+gmm?\r",
                                                               "at+pcw?\r", "at+gci?\r"}));
    EXPECT_TRUE(sink.m_warnings.empty());
}

TEST_F(ScanTest, SilentModemIsGivenUpAfterAboutTwoSeconds) {
    Install({Silent()});
    const std::uint64_t start = fake.clock.Now();
    list.ReduceToModemOnHoldSupported();
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(fake.clock.Now() - start, 2000u);
    EXPECT_EQ(ports[0]->GetWrites(), std::vector<std::string>{"at&f\r"});
}

TEST_F(ScanTest, FailingPortIsLoggedAtEveryLevelAndTheScanGoesOn) {
    Install({Good(), Good()});
    ports[0]->Fail(FakeCall::kSetState);
    list.ReduceToModemOnHoldSupported();
    EXPECT_EQ(KeptPorts(), std::vector<int>{2});
    EXPECT_EQ(
        fake.log.GetLines(),
        (std::vector<std::string>{"*** Open Port \n", "*** Connect to modem \n", kReduceLine}));
    EXPECT_FALSE(ports[0]->IsOpen());
}

TEST_F(ScanTest, CancelDuringAWarningStopsFurtherWarnings) {
    Install({Abroad(), Abroad(), Good()});
    sink.m_pCancelAfterFirst = &list;
    list.ReduceToModemOnHoldSupported();
    EXPECT_EQ(sink.m_warnings,
              (std::vector<std::pair<int, std::string>>{{0, "ORVA 56k V.92 (COM1)"}}));
    EXPECT_EQ(KeptPorts(), std::vector<int>{});
    EXPECT_TRUE(ports[1]->GetWrites().empty()) << "a modem probed after the end";
}

// The scan window is closed while the scan waits for the answer to its nth command (the pause
// after the write): the read fails at once, no later command and no further port follows,
// and every port it opened and dropped has its settings back.
TEST_F(ScanTest, CancelStopsTheScanAtOnceWhereverItIs) {
    struct CancellingSleeper : ISleeper {
        void Sleep(std::uint32_t) override {
            if (++nPauses == nCancelAt) {
                pList->Cancel();
            }
        }
        CModemList* pList = nullptr;
        int nPauses = 0;
        int nCancelAt = 0;
    };
    // Each good modem is asked five questions: COM1 1 to 5, COM2 6 to 10.
    const struct {
        int nCancelAt;
        std::vector<int> kept;
        std::vector<std::size_t> writes;  // commands written to COM1, COM2, COM3
    } cases[] = {{1, {}, {1, 0, 0}},
                 {4, {}, {4, 0, 0}},
                 {5, {}, {5, 0, 0}},
                 {7, {1}, {5, 2, 0}},
                 {10, {1}, {5, 5, 0}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nCancelAt);
        FakePlatform fake;
        CancellingSleeper sleeper;
        fake.platform.sleeper = &sleeper;
        CModemList list(fake.platform);
        sleeper.pList = &list;
        sleeper.nCancelAt = c.nCancelAt;
        for (int n = 0; n < 3; ++n) {
            fake.AddModemKey(n, ("COM" + std::to_string(n + 1)).c_str(), kModel);
            fake.AddModem(n + 1, Good().answers);
        }
        list.LoadRegEntries();
        list.ReduceToModemOnHoldSupported();
        std::vector<int> kept;
        for (int i = 0; i < list.GetCount(); ++i) {
            kept.push_back(list.GetAt(i)->GetComPort());
        }
        EXPECT_EQ(kept, c.kept);
        EXPECT_EQ(sleeper.nPauses, c.nCancelAt) << "a command after the end";
        for (int n = 1; n <= 3; ++n) {
            CFakeSerialPort* port = fake.serial.GetPort(n);
            EXPECT_EQ(port->GetWrites().size(), c.writes[n - 1]) << "COM" << n;
            const bool bKept = !kept.empty() && kept[0] == n;
            EXPECT_EQ(port->IsOpen(), bKept) << "COM" << n;
            EXPECT_EQ(port->GetOpenCount(), c.writes[n - 1] > 0 ? 1 : 0) << "COM" << n;
            if (!bKept) {
                EXPECT_TRUE(SameSettings(port->GetSettings(), CFakeSerialPort::InitialSettings()))
                    << "COM" << n;
            }
        }
    }
}

// A port that another program holds is named afterwards; a missing one is not.
TEST_F(ScanTest, PortsHeldByAnotherProgramAreNamed) {
    Install({Good(), Good(), Good(), Good(), Good()});
    ports[0]->FailOpen(fake_serial::kErrorAccessDenied);
    ports[1]->FailOpen(serial_error::kSharingViolation);
    ports[2]->FailOpen(fake_serial::kErrorFileNotFound);
    ports[3]->FailOpen(serial_error::kLockViolation);
    list.ReduceToModemOnHoldSupported();
    EXPECT_EQ(KeptPorts(), std::vector<int>{5});
    EXPECT_EQ(list.GetPortsHeldElsewhere(), (std::vector<int>{1, 2, 4}));
}

TEST_F(ScanTest, DestroyingTheListReleasesTheKeptPorts) {
    {
        CModemList scanned(fake.platform);
        fake.AddModemKey(0, "COM1", kModel);
        CFakeSerialPort& port = fake.AddModem(1, Good().answers);
        scanned.LoadRegEntries();
        scanned.ReduceToModemOnHoldSupported();
        ASSERT_EQ(scanned.GetCount(), 1);
        EXPECT_TRUE(port.IsOpen());
        EXPECT_EQ(scanned.GetNameList(), std::vector<std::string>{"ORVA 56k V.92 (COM1)"});
    }
    EXPECT_FALSE(fake.serial.GetPort(1)->IsOpen());
}

}  // namespace
