#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/memory/fixed_module.h"
#include "support/memory/memory_registry.h"

namespace {

constexpr RegRoot kHkcu = RegRoot::kCurrentUser;
const char* const kKey = "Software\\ORVA\\Mavris";
const char* const kExe = "C:\\Program Files\\ORVA\\Mavris.exe";

std::vector<std::uint8_t> Sz(const std::string& text, bool withNul) {
    std::vector<std::uint8_t> bytes(text.begin(), text.end());
    if (withNul) {
        bytes.push_back(0);
    }
    return bytes;
}

RegStoredValue Dword(std::uint32_t value) {
    return RegStoredValue{
        reg::kDword,
        {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
         static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)}};
}

class SettingsStoreTest : public ::testing::Test {
protected:
    static Platform MakePlatform(IRegistry* registry, IModule* module) {
        Platform platform;
        platform.registry = registry;
        platform.module = module;
        return platform;
    }

    void TearDown() override {
        EXPECT_EQ(m_registry.GetOpenKeyCount(), 0) << "a settings key was left open";
        // Every open of the settings key asks for full access, reading included.
        for (const RegOpenRecord& open : m_registry.GetOpenLog()) {
            EXPECT_EQ(open.root, kHkcu);
            EXPECT_EQ(open.path, "Software\\ORVA\\Mavris\\");
            EXPECT_EQ(open.access, reg::kAllAccess);
        }
    }

    std::optional<RegStoredValue> Value(const char* name) {
        return m_registry.GetValue(kHkcu, kKey, name);
    }

    CMemoryRegistry m_registry;
    CFixedModule m_module{kExe};
    Platform m_platform = MakePlatform(&m_registry, &m_module);
    CSettingsStore m_store{m_platform};
};

TEST_F(SettingsStoreTest, FirstRunCreatesKeyWithPathAndOneByteMarker) {
    EXPECT_TRUE(m_store.IsFirstRun());
    EXPECT_EQ(Value("Path_exe"), (RegStoredValue{reg::kSz, Sz(kExe, true)}));
    EXPECT_EQ(Value("Run"), (RegStoredValue{reg::kSz, Sz("0", false)}));
    EXPECT_FALSE(Value("Sound").has_value());
    EXPECT_FALSE(Value("CallOut").has_value());

    // The one-byte marker reads back as "0" and is left as it is.
    EXPECT_FALSE(m_store.IsFirstRun());
    EXPECT_FALSE(m_store.IsFirstRun());
    EXPECT_EQ(Value("Run"), (RegStoredValue{reg::kSz, Sz("0", false)}));
}

struct MarkerCase {
    const char* name;
    std::uint32_t type;
    std::vector<std::uint8_t> bytes;
    bool firstRun;
};

void PrintTo(const MarkerCase& c, std::ostream* os) {
    *os << c.name;
}

class RunMarkerTest : public SettingsStoreTest, public ::testing::WithParamInterface<MarkerCase> {};

TEST_P(RunMarkerTest, OnlyZeroInTwoBytesOrLessCountsAsSeen) {
    const MarkerCase& c = GetParam();
    m_registry.SetString(kHkcu, kKey, "Path_exe", "D:\\old.exe");
    m_registry.SetRaw(kHkcu, kKey, "Run", c.type, c.bytes);

    EXPECT_EQ(m_store.IsFirstRun(), c.firstRun);

    if (c.firstRun) {
        EXPECT_EQ(Value("Run"), (RegStoredValue{reg::kSz, Sz("0", true)}));
    } else {
        EXPECT_EQ(Value("Run"), (RegStoredValue{c.type, c.bytes}));  // untouched
    }
    // An existing key is never given a new path.
    EXPECT_EQ(m_registry.GetString(kHkcu, kKey, "Path_exe"), "D:\\old.exe");
}

INSTANTIATE_TEST_SUITE_P(
    Markers, RunMarkerTest,
    ::testing::Values(MarkerCase{"ZeroWithNul", reg::kSz, Sz("0", true), false},
                      MarkerCase{"ZeroWithoutNul", reg::kSz, Sz("0", false), false},
                      MarkerCase{"ZeroAsBinary", reg::kBinary, {'0'}, false},
                      MarkerCase{"One", reg::kSz, Sz("1", true), true},
                      MarkerCase{"DoubleZero", reg::kSz, Sz("00", false), true},
                      MarkerCase{"DoubleZeroWithNul", reg::kSz, Sz("00", true), true},
                      MarkerCase{"ZeroWithTwoNuls", reg::kSz, {'0', 0, 0}, true},
                      MarkerCase{"Empty", reg::kSz, {}, true},
                      MarkerCase{"NulOnly", reg::kSz, {0}, true},
                      MarkerCase{"DwordZero", reg::kDword, {0, 0, 0, 0}, true},
                      MarkerCase{"DwordOfDigitZero", reg::kDword, {'0', 0, 0, 0}, true},
                      MarkerCase{"ZeroAndGarbage", reg::kBinary, {'0', 'x'}, true}),
    [](const ::testing::TestParamInfo<MarkerCase>& info) { return info.param.name; });

TEST_F(SettingsStoreTest, MissingMarkerInExistingKeyIsFirstRun) {
    m_registry.AddKey(kHkcu, kKey);
    EXPECT_TRUE(m_store.IsFirstRun());
    EXPECT_EQ(Value("Run"), (RegStoredValue{reg::kSz, Sz("0", true)}));
    EXPECT_FALSE(Value("Path_exe").has_value());
    EXPECT_FALSE(m_store.IsFirstRun());
}

TEST_F(SettingsStoreTest, UncreatableKeyCountsAsFirstRunAndWritesNothing) {
    m_registry.AddKey(kHkcu, "Software\\ORVA");
    m_registry.DenyWrite(kHkcu, "Software\\ORVA");
    EXPECT_TRUE(m_store.IsFirstRun());
    EXPECT_FALSE(m_registry.HasKey(kHkcu, kKey));
}

TEST_F(SettingsStoreTest, PathIsStoredWithItsNulAndBlanks) {
    m_module.SetPath("C:\\My Tools\\Mavris.exe");
    RegKey key = m_store.CreateSettingsKey();
    ASSERT_NE(key, 0u);
    EXPECT_EQ(m_registry.GetOpenKeyCount(), 1);  // handed to the caller
    m_registry.CloseKey(key);
    EXPECT_EQ(Value("Path_exe"), (RegStoredValue{reg::kSz, Sz("C:\\My Tools\\Mavris.exe", true)}));
}

// Cut, a path would name a file that does not exist; one the ANSI code page cannot write
// goes in through the wide-character API.
TEST_F(SettingsStoreTest, PathIsStoredWholeWhateverItsLengthAndLetters) {
    for (const std::string& path : {"C:\\" + std::string(400, 'd') + "\\Mavris.exe",
                                    std::string("C:\\Users\\\xC5\x81ukasz\\Mavris.exe")}) {
        m_registry.DeleteKey(kHkcu, kKey);
        m_module.SetPath(path);
        m_registry.CloseKey(m_store.CreateSettingsKey());
        EXPECT_EQ(m_registry.GetString(kHkcu, kKey, "Path_exe"), path);
        EXPECT_TRUE(m_registry.IsWrittenWide(kHkcu, kKey, "Path_exe"));
    }
}

TEST_F(SettingsStoreTest, CreateSettingsKeyReturnsZeroWhenRefused) {
    m_registry.DenyOpen(kHkcu, kKey);
    EXPECT_EQ(m_store.CreateSettingsKey(), 0u);
}

// Both 32-bit settings share their rules; each case runs against "Sound" and "CallOut".
struct ReadCase {
    const char* name;
    std::uint32_t type;
    std::vector<std::uint8_t> bytes;
    std::uint32_t expected;
    bool rewritten;  // afterwards the value is the DWORD 1
};

void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.name;
}

class SettingReadTest : public SettingsStoreTest,
                        public ::testing::WithParamInterface<std::tuple<ReadCase, bool>> {
protected:
    bool Sound() const { return std::get<1>(GetParam()); }
    const char* Name() const { return Sound() ? "Sound" : "CallOut"; }
    std::uint32_t Read() { return Sound() ? m_store.ReadSound() : m_store.ReadCallOut(); }
};

TEST_P(SettingReadTest, StoredBytesReplaceLowBytesOfDefault) {
    const ReadCase& c = std::get<0>(GetParam());
    m_registry.SetRaw(kHkcu, kKey, Name(), c.type, c.bytes);

    EXPECT_EQ(Read(), c.expected);

    if (c.rewritten) {
        EXPECT_EQ(Value(Name()), Dword(1));
    } else {
        EXPECT_EQ(Value(Name()), (RegStoredValue{c.type, c.bytes}));
    }
    EXPECT_EQ(m_registry.GetValueNames(kHkcu, kKey).size(), 1u) << "only the one value";
}

INSTANTIATE_TEST_SUITE_P(
    Values, SettingReadTest,
    ::testing::Combine(
        ::testing::Values(ReadCase{"DwordZero", reg::kDword, {0, 0, 0, 0}, 0, false},
                          ReadCase{"DwordOne", reg::kDword, {1, 0, 0, 0}, 1, false},
                          ReadCase{"DwordOther", reg::kDword, {7, 1, 0, 0}, 0x107, false},
                          ReadCase{"OneByteZero", reg::kBinary, {0}, 0, false},
                          ReadCase{"OneByteFive", reg::kBinary, {5}, 5, false},
                          ReadCase{"TwoBytes", reg::kBinary, {2, 1}, 0x0102, false},
                          ReadCase{"ThreeZeroBytes", reg::kBinary, {0, 0, 0}, 0, false},
                          ReadCase{"StringOfDigit", reg::kSz, {'0', 0}, 0x30, false},
                          ReadCase{"NoBytes", reg::kBinary, {}, 1, false},
                          ReadCase{"FiveBytes", reg::kBinary, {0, 0, 0, 0, 0}, 1, true},
                          ReadCase{"EightBytes", reg::kBinary, {0, 0, 0, 0, 0, 0, 0, 0}, 1, true},
                          ReadCase{"QwordZero", 11, {0, 0, 0, 0, 0, 0, 0, 0}, 1, true}),
        ::testing::Bool()),
    [](const ::testing::TestParamInfo<std::tuple<ReadCase, bool>>& info) {
        return std::string(std::get<0>(info.param).name) +
               (std::get<1>(info.param) ? "_Sound" : "_CallOut");
    });

TEST_F(SettingsStoreTest, MissingValueIsWrittenAsOne) {
    m_registry.AddKey(kHkcu, kKey);
    EXPECT_EQ(m_store.ReadSound(), 1u);
    EXPECT_EQ(Value("Sound"), Dword(1));
    EXPECT_FALSE(Value("CallOut").has_value());
    EXPECT_EQ(m_store.ReadCallOut(), 1u);
    EXPECT_EQ(Value("CallOut"), Dword(1));
    EXPECT_FALSE(Value("Path_exe").has_value()) << "the key existed: no new path";
}

TEST_F(SettingsStoreTest, MissingKeyReadsOneAndCreatesNothing) {
    EXPECT_EQ(m_store.ReadSound(), 1u);
    EXPECT_EQ(m_store.ReadCallOut(), 1u);
    EXPECT_FALSE(m_registry.HasKey(kHkcu, kKey));
    EXPECT_FALSE(m_registry.HasKey(kHkcu, "Software\\ORVA"));
}

TEST_F(SettingsStoreTest, KeyNotOpenableWithFullAccessReadsOneAndWritesNothing) {
    m_registry.SetDword(kHkcu, kKey, "Sound", 0);
    m_registry.DenyWrite(kHkcu, kKey);
    EXPECT_EQ(m_store.ReadSound(), 1u);
    EXPECT_EQ(Value("Sound"), Dword(0));
}

TEST_F(SettingsStoreTest, WritesStoreDwordsAndReadBack) {
    m_registry.AddKey(kHkcu, kKey);
    m_store.WriteSound(0);
    m_store.WriteCallOut(1);
    EXPECT_EQ(Value("Sound"), Dword(0));
    EXPECT_EQ(Value("CallOut"), Dword(1));
    EXPECT_EQ(m_store.ReadSound(), 0u);
    EXPECT_EQ(m_store.ReadCallOut(), 1u);
    m_store.WriteSound(1);
    m_store.WriteCallOut(0);
    EXPECT_EQ(m_store.ReadSound(), 1u);
    EXPECT_EQ(m_store.ReadCallOut(), 0u);
    // Every byte counts, little-endian, the upper ones included.
    m_store.WriteSound(0x12345678);
    m_store.WriteCallOut(0x80FF0001);
    EXPECT_EQ(Value("Sound"), (RegStoredValue{reg::kDword, {0x78, 0x56, 0x34, 0x12}}));
    EXPECT_EQ(Value("CallOut"), (RegStoredValue{reg::kDword, {0x01, 0x00, 0xFF, 0x80}}));
    EXPECT_EQ(m_store.ReadSound(), 0x12345678u);
    EXPECT_EQ(m_store.ReadCallOut(), 0x80FF0001u);
}

TEST_F(SettingsStoreTest, WriteAfterKeyWasDeletedRecreatesItWithFreshPath) {
    EXPECT_TRUE(m_store.IsFirstRun());
    m_registry.DeleteKey(kHkcu, kKey);
    m_module.SetPath("E:\\moved\\Mavris.exe");

    m_store.WriteCallOut(0);

    EXPECT_EQ(Value("CallOut"), Dword(0));
    EXPECT_EQ(Value("Path_exe"), (RegStoredValue{reg::kSz, Sz("E:\\moved\\Mavris.exe", true)}));
    EXPECT_FALSE(Value("Run").has_value());
    EXPECT_FALSE(Value("Sound").has_value());
}

TEST_F(SettingsStoreTest, WriteToExistingKeyKeepsOldPath) {
    EXPECT_TRUE(m_store.IsFirstRun());
    m_module.SetPath("E:\\moved\\Mavris.exe");
    m_store.WriteSound(1);
    EXPECT_EQ(m_registry.GetString(kHkcu, kKey, "Path_exe"), kExe);
}

TEST_F(SettingsStoreTest, FailedWritesAreSilent) {
    m_registry.AddKey(kHkcu, kKey);
    m_registry.FailSetValue(kHkcu, kKey, "Sound");
    m_store.WriteSound(0);
    EXPECT_FALSE(Value("Sound").has_value());
    // The default is returned and the rewrite fails quietly as well.
    EXPECT_EQ(m_store.ReadSound(), 1u);
    EXPECT_FALSE(Value("Sound").has_value());
}

TEST_F(SettingsStoreTest, UncreatableKeyMakesWritesDoNothing) {
    m_registry.DenyOpen(kHkcu, kKey);
    m_store.WriteSound(0);
    m_store.WriteCallOut(0);
    EXPECT_FALSE(m_registry.HasKey(kHkcu, kKey));
}

}  // namespace
