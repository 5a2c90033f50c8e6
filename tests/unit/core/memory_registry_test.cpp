#include "support/memory/memory_registry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "platform/utf8_text.h"

namespace {

constexpr RegRoot kHklm = RegRoot::kLocalMachine;
constexpr RegRoot kHkcu = RegRoot::kCurrentUser;
const char* const kPath = "Software\\Test\\Key";

std::vector<std::uint8_t> Bytes(const std::string& text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

// RegQueryValueExA: capacity in, stored size out; nothing copied when it does not fit.
struct QueryCase {
    const char* name;
    std::vector<std::uint8_t> stored;  // empty vector with missing = true: no value
    bool missing;
    std::uint32_t capacity;
    long expectedResult;
    std::uint32_t expectedSize;
    bool expectCopied;
};

void PrintTo(const QueryCase& c, std::ostream* os) {
    *os << c.name;
}

class QueryValueTest : public ::testing::TestWithParam<QueryCase> {};

TEST_P(QueryValueTest, FollowsRegQueryValueEx) {
    const QueryCase& c = GetParam();
    CMemoryRegistry registry;
    registry.AddKey(kHklm, kPath);
    if (!c.missing) {
        registry.SetRaw(kHklm, kPath, "V", reg::kBinary, c.stored);
    }
    RegKey key = 0;
    ASSERT_EQ(registry.OpenKey(kHklm, kPath, reg::kQueryValue, &key), reg::kSuccess);

    std::vector<std::uint8_t> buffer(16, 0xAA);
    std::uint32_t size = c.capacity;
    EXPECT_EQ(registry.QueryValue(key, "V", buffer.data(), &size), c.expectedResult);
    EXPECT_EQ(size, c.expectedSize);
    for (std::size_t i = 0; i < buffer.size(); ++i) {
        std::uint8_t expected = 0xAA;
        if (c.expectCopied && i < c.stored.size()) {
            expected = c.stored[i];
        }
        EXPECT_EQ(buffer[i], expected) << "byte " << i;
    }
    registry.CloseKey(key);
}

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, QueryValueTest,
    ::testing::Values(
        QueryCase{"FitsExactly", Bytes("0"), false, 1, reg::kSuccess, 1, true},
        QueryCase{"FitsWithRoom", Bytes("ab"), false, 8, reg::kSuccess, 2, true},
        QueryCase{"OneByteTooMany", {'0', '0', 0}, false, 2, reg::kMoreData, 3, false},
        QueryCase{"EightBytesIntoFour", Bytes("12345678"), false, 4, reg::kMoreData, 8, false},
        QueryCase{"EmptyValue", {}, false, 4, reg::kSuccess, 0, true},
        QueryCase{"ZeroCapacityEmptyValue", {}, false, 0, reg::kSuccess, 0, true},
        QueryCase{"ZeroCapacity", Bytes("x"), false, 0, reg::kMoreData, 1, false},
        QueryCase{"Missing", {}, true, 8, reg::kFileNotFound, 8, false}),
    [](const ::testing::TestParamInfo<QueryCase>& info) { return info.param.name; });

class MemoryRegistryTest : public ::testing::Test {
protected:
    RegKey Open(RegRoot root, const char* path, std::uint32_t access = reg::kAllAccess) {
        RegKey key = 0;
        EXPECT_EQ(m_registry.OpenKey(root, path, access, &key), reg::kSuccess) << path;
        return key;
    }

    CMemoryRegistry m_registry;
};

TEST_F(MemoryRegistryTest, SizeOnlyQueryReportsStoredSize) {
    m_registry.SetString(kHklm, kPath, "Text", "abc");
    RegKey key = Open(kHklm, kPath);
    std::uint32_t size = 1;
    EXPECT_EQ(m_registry.QueryValue(key, "Text", nullptr, &size), reg::kSuccess);
    EXPECT_EQ(size, 4u);  // with its NUL
    m_registry.CloseKey(key);
}

TEST_F(MemoryRegistryTest, DataWithoutSizeIsInvalid) {
    m_registry.SetString(kHklm, kPath, "Text", "abc");
    RegKey key = Open(kHklm, kPath);
    char buffer[8] = {};
    EXPECT_EQ(m_registry.QueryValue(key, "Text", buffer, nullptr), reg::kInvalidParameter);
    m_registry.CloseKey(key);
}

TEST_F(MemoryRegistryTest, StringWithAndWithoutNul) {
    m_registry.SetString(kHklm, kPath, "With", "0");
    m_registry.SetString(kHklm, kPath, "Without", "0", false);
    EXPECT_EQ(m_registry.GetValue(kHklm, kPath, "With")->bytes,
              (std::vector<std::uint8_t>{'0', 0}));
    EXPECT_EQ(m_registry.GetValue(kHklm, kPath, "Without")->bytes,
              (std::vector<std::uint8_t>{'0'}));
    EXPECT_EQ(m_registry.GetValue(kHklm, kPath, "Without")->type, reg::kSz);
    EXPECT_EQ(m_registry.GetString(kHklm, kPath, "Without"), "0");
    EXPECT_FALSE(m_registry.GetString(kHklm, kPath, "Absent").has_value());
}

TEST_F(MemoryRegistryTest, DwordIsStoredLittleEndian) {
    m_registry.SetDword(kHkcu, kPath, "Sound", 0x01020304);
    RegStoredValue value = *m_registry.GetValue(kHkcu, kPath, "Sound");
    EXPECT_EQ(value.type, reg::kDword);
    EXPECT_EQ(value.bytes, (std::vector<std::uint8_t>{4, 3, 2, 1}));

    RegKey key = Open(kHkcu, kPath);
    std::uint32_t read = 0;
    EXPECT_EQ(RegQueryDword(m_registry, key, "Sound", &read), reg::kSuccess);
    EXPECT_EQ(read, 0x01020304u);
    m_registry.CloseKey(key);
}

TEST_F(MemoryRegistryTest, PathsAreCaseInsensitiveAndIgnoreTrailingBackslash) {
    m_registry.SetString(kHklm, "SYSTEM\\CurrentControlSet\\Services", "Model", "x");
    const char* spellings[] = {"system\\currentcontrolset\\services",
                               "System\\CurrentControlSet\\Services\\",
                               "SYSTEM\\CURRENTCONTROLSET\\SERVICES\\\\"};
    for (const char* path : spellings) {
        RegKey key = 0;
        ASSERT_EQ(m_registry.OpenKey(kHklm, path, reg::kQueryValue, &key), reg::kSuccess) << path;
        char buffer[4] = {};
        EXPECT_EQ(RegQueryText(m_registry, key, "MODEL", buffer, sizeof(buffer)), reg::kSuccess);
        EXPECT_STREQ(buffer, "x");
        m_registry.CloseKey(key);
    }
    EXPECT_TRUE(m_registry.HasKey(kHklm, "system\\CURRENTCONTROLSET"));
    // Doubled or leading backslashes are not the same path.
    RegKey key = 0;
    EXPECT_EQ(m_registry.OpenKey(kHklm, "SYSTEM\\\\CurrentControlSet", reg::kQueryValue, &key),
              reg::kFileNotFound);
    EXPECT_EQ(m_registry.OpenKey(kHklm, "\\SYSTEM", reg::kQueryValue, &key), reg::kFileNotFound);
    EXPECT_EQ(key, 0u);
}

TEST_F(MemoryRegistryTest, RootsAreSeparate) {
    m_registry.SetString(kHkcu, kPath, "V", "user");
    EXPECT_FALSE(m_registry.HasKey(kHklm, kPath));
    EXPECT_FALSE(m_registry.HasKey(RegRoot::kClassesRoot, kPath));
    RegKey key = 0;
    EXPECT_EQ(m_registry.OpenKey(kHklm, kPath, reg::kQueryValue, &key), reg::kFileNotFound);
    EXPECT_EQ(key, 0u);
}

TEST_F(MemoryRegistryTest, CreateKeyMakesParentsAndGivesFullAccess) {
    RegKey key = 0;
    ASSERT_EQ(m_registry.CreateKey(kHkcu, "Software\\ORVA\\Mavris\\", &key), reg::kSuccess);
    EXPECT_TRUE(m_registry.HasKey(kHkcu, "Software"));
    EXPECT_TRUE(m_registry.HasKey(kHkcu, "Software\\ORVA"));
    const char text[] = "C:\\x.exe";
    EXPECT_EQ(m_registry.SetValue(key, "Path_exe", reg::kSz, text, sizeof(text)), reg::kSuccess);
    EXPECT_EQ(m_registry.CloseKey(key), reg::kSuccess);
    EXPECT_EQ(m_registry.GetString(kHkcu, "software\\orva\\mavris", "path_exe"), "C:\\x.exe");

    // Creating an existing key opens it and keeps its values.
    ASSERT_EQ(m_registry.CreateKey(kHkcu, "SOFTWARE\\ORVA\\MAVRIS", &key), reg::kSuccess);
    std::uint32_t size = 0;
    EXPECT_EQ(m_registry.QueryValue(key, "Path_exe", nullptr, &size), reg::kSuccess);
    EXPECT_EQ(size, sizeof(text));
    m_registry.CloseKey(key);
}

TEST_F(MemoryRegistryTest, ValueNamesKeepTheirFirstSpelling) {
    RegKey key = 0;
    ASSERT_EQ(m_registry.CreateKey(kHkcu, kPath, &key), reg::kSuccess);
    std::uint32_t one = 1;
    m_registry.SetValue(key, "CallOut", reg::kDword, &one, 4);
    m_registry.SetValue(key, "CALLOUT", reg::kDword, &one, 4);
    m_registry.CloseKey(key);
    EXPECT_EQ(m_registry.GetValueNames(kHkcu, kPath), std::vector<std::string>{"CallOut"});
}

TEST_F(MemoryRegistryTest, AccessMaskIsEnforced) {
    m_registry.SetString(kHklm, kPath, "UserInit", "S7=60");
    RegKey reader = Open(kHklm, kPath, reg::kQueryValue);
    EXPECT_EQ(m_registry.SetValue(reader, "UserInit", reg::kSz, "x", 1), reg::kAccessDenied);
    EXPECT_EQ(m_registry.DeleteValue(reader, "UserInit"), reg::kAccessDenied);
    RegKey writer = Open(kHklm, kPath, reg::kSetValue);
    std::uint32_t size = 16;
    char buffer[16];
    EXPECT_EQ(m_registry.QueryValue(writer, "UserInit", buffer, &size), reg::kAccessDenied);
    EXPECT_EQ(m_registry.SetValue(writer, "UserInit", reg::kSz, "x", 1), reg::kSuccess);
    m_registry.CloseKey(reader);
    m_registry.CloseKey(writer);
    EXPECT_EQ(m_registry.GetString(kHklm, kPath, "UserInit"), "x");
}

TEST_F(MemoryRegistryTest, DeleteValueThroughKey) {
    m_registry.SetString(kHkcu, kPath, "A", "1");
    RegKey key = Open(kHkcu, kPath);
    EXPECT_EQ(m_registry.DeleteValue(key, "a"), reg::kSuccess);
    EXPECT_EQ(m_registry.DeleteValue(key, "a"), reg::kFileNotFound);
    m_registry.CloseKey(key);
    EXPECT_FALSE(m_registry.GetValue(kHkcu, kPath, "A").has_value());
}

TEST_F(MemoryRegistryTest, QueryDefaultReadsSubkeyDefaultZeroTerminated) {
    m_registry.SetString(RegRoot::kClassesRoot, ".htm", "", "htmlfile", false);
    m_registry.SetString(RegRoot::kClassesRoot, "htmlfile\\shell\\open\\command", "",
                         "browser.exe \"%1\"");
    m_registry.AddKey(RegRoot::kClassesRoot, "nodefault");
    RegKey root = Open(RegRoot::kClassesRoot, "", reg::kQueryValue);

    char buffer[64];
    long size = sizeof(buffer);
    std::memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(m_registry.QueryDefault(root, ".htm", buffer, &size), reg::kSuccess);
    EXPECT_STREQ(buffer, "htmlfile");  // NUL added although none was stored
    EXPECT_EQ(size, 9);

    size = sizeof(buffer);
    EXPECT_EQ(m_registry.QueryDefault(root, "HTMLFILE\\shell\\open\\command", buffer, &size),
              reg::kSuccess);
    EXPECT_STREQ(buffer, "browser.exe \"%1\"");

    size = sizeof(buffer);
    std::memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(m_registry.QueryDefault(root, "nodefault", buffer, &size), reg::kSuccess);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(size, 1);

    size = sizeof(buffer);
    EXPECT_EQ(m_registry.QueryDefault(root, "missing", buffer, &size), reg::kFileNotFound);

    // Too small: nothing copied, the needed size reported.
    char small[4] = {'x', 'x', 'x', 'x'};
    size = sizeof(small);
    EXPECT_EQ(m_registry.QueryDefault(root, ".htm", small, &size), reg::kMoreData);
    EXPECT_EQ(size, 9);
    EXPECT_EQ(small[0], 'x');
    m_registry.CloseKey(root);

    // The key itself, by a null or empty subkey.
    RegKey htm = Open(RegRoot::kClassesRoot, ".htm", reg::kQueryValue);
    size = sizeof(buffer);
    EXPECT_EQ(m_registry.QueryDefault(htm, nullptr, buffer, &size), reg::kSuccess);
    EXPECT_STREQ(buffer, "htmlfile");
    m_registry.CloseKey(htm);
}

TEST_F(MemoryRegistryTest, DeleteKeyIsRecursiveAndInvalidatesOpenKeys) {
    m_registry.SetString(kHkcu, "Software\\ORVA\\Mavris", "Run", "0");
    m_registry.SetString(kHkcu, "Software\\ORVA\\Mavris\\Deep", "X", "1");
    RegKey key = Open(kHkcu, "Software\\ORVA\\Mavris");
    m_registry.DeleteKey(kHkcu, "software\\orva");
    EXPECT_FALSE(m_registry.HasKey(kHkcu, "Software\\ORVA\\Mavris\\Deep"));
    EXPECT_FALSE(m_registry.HasKey(kHkcu, "Software\\ORVA"));
    EXPECT_TRUE(m_registry.HasKey(kHkcu, "Software"));
    EXPECT_EQ(m_registry.SetValue(key, "Run", reg::kSz, "0", 1), reg::kKeyDeleted);
    std::uint32_t size = 4;
    char buffer[4];
    EXPECT_EQ(m_registry.QueryValue(key, "Run", buffer, &size), reg::kKeyDeleted);
    EXPECT_EQ(m_registry.CloseKey(key), reg::kSuccess);

    // Created again, it starts empty.
    RegKey again = 0;
    ASSERT_EQ(m_registry.CreateKey(kHkcu, "Software\\ORVA\\Mavris", &again), reg::kSuccess);
    EXPECT_TRUE(m_registry.GetValueNames(kHkcu, "Software\\ORVA\\Mavris").empty());
    m_registry.CloseKey(again);
}

TEST_F(MemoryRegistryTest, DenyWriteAllowsReadRightsOnly) {
    m_registry.SetString(kHklm, kPath, "UserInit", "S7=60");
    m_registry.DenyWrite(kHklm, "software\\test\\key\\");
    RegKey key = 0;
    EXPECT_EQ(m_registry.OpenKey(kHklm, kPath, reg::kSetValue, &key), reg::kAccessDenied);
    EXPECT_EQ(key, 0u);
    EXPECT_EQ(m_registry.OpenKey(kHklm, kPath, reg::kAllAccess, &key), reg::kAccessDenied);
    EXPECT_EQ(m_registry.OpenKey(kHklm, kPath, reg::kEnumerateSubKeys | reg::kSetValue, &key),
              reg::kAccessDenied);
    EXPECT_EQ(m_registry.CreateKey(kHklm, kPath, &key), reg::kAccessDenied);
    // Creating a subkey below it needs write access to it as well.
    EXPECT_EQ(m_registry.CreateKey(kHklm, "Software\\Test\\Key\\Sub", &key), reg::kAccessDenied);
    EXPECT_FALSE(m_registry.HasKey(kHklm, "Software\\Test\\Key\\Sub"));
    EXPECT_EQ(m_registry.OpenKey(kHklm, kPath, reg::kQueryValue, &key), reg::kSuccess);
    m_registry.CloseKey(key);
    EXPECT_EQ(m_registry.OpenKey(kHklm, kPath, reg::kQueryValue | reg::kEnumerateSubKeys, &key),
              reg::kSuccess);
    m_registry.CloseKey(key);
    EXPECT_EQ(m_registry.GetOpenKeyCount(), 0);
}

// RegEnumKeyExA: names in order; one that does not fit leaves the buffer alone; then the end.
TEST_F(MemoryRegistryTest, EnumKeyListsTheSubkeysByIndex) {
    m_registry.AddKey(kHklm, std::string(kPath) + "\\Properties");
    m_registry.AddKey(kHklm, std::string(kPath) + "\\0001");
    RegKey key = Open(kHklm, kPath, reg::kEnumerateSubKeys);
    char name[5] = {'x'};
    std::uint32_t size = sizeof(name);
    EXPECT_EQ(m_registry.EnumKey(key, 0, name, &size), reg::kSuccess);
    EXPECT_EQ(std::string(name) + std::to_string(size), "00014");
    EXPECT_EQ(m_registry.EnumKey(key, 1, std::strcpy(name, "x"), &size), reg::kMoreData);
    EXPECT_STREQ(name, "x");
    EXPECT_EQ(m_registry.EnumKey(key, 2, name, &size), reg::kNoMoreItems);
    m_registry.CloseKey(key);
}

TEST_F(MemoryRegistryTest, DenyOpenRefusesEveryAccessAndOutlivesDeletion) {
    m_registry.AddKey(kHklm, kPath);
    m_registry.DenyOpen(kHklm, kPath);
    RegKey key = 0;
    EXPECT_EQ(m_registry.OpenKey(kHklm, kPath, reg::kQueryValue, &key), reg::kAccessDenied);
    EXPECT_EQ(m_registry.CreateKey(kHklm, kPath, &key), reg::kAccessDenied);
    m_registry.DeleteKey(kHklm, kPath);
    m_registry.AddKey(kHklm, kPath);
    EXPECT_EQ(m_registry.OpenKey(kHklm, kPath, reg::kQueryValue, &key), reg::kAccessDenied);
    m_registry.ClearFaults();
    EXPECT_EQ(m_registry.OpenKey(kHklm, kPath, reg::kQueryValue, &key), reg::kSuccess);
    m_registry.CloseKey(key);

    // A fault on a key that does not exist yet keeps it from being created.
    m_registry.DenyOpen(kHklm, "Software\\New\\Key");
    EXPECT_EQ(m_registry.CreateKey(kHklm, "Software\\New\\Key", &key), reg::kAccessDenied);
    EXPECT_FALSE(m_registry.HasKey(kHklm, "Software\\New\\Key"));
    m_registry.DenyWrite(kHklm, "Software\\Other");
    EXPECT_EQ(m_registry.CreateKey(kHklm, "Software\\Other", &key), reg::kAccessDenied);
    EXPECT_EQ(m_registry.GetOpenKeyCount(), 0);
}

TEST_F(MemoryRegistryTest, FailSetValueChangesNothing) {
    m_registry.SetString(kHklm, kPath, "UserInit", "OLD");
    m_registry.FailSetValue(kHklm, kPath, "userinit");
    RegKey key = Open(kHklm, kPath, reg::kSetValue);
    EXPECT_EQ(m_registry.SetValue(key, "UserInit", reg::kSz, "NEW", 3), reg::kWriteFault);
    EXPECT_EQ(m_registry.SetValue(key, "Other", reg::kSz, "NEW", 3), reg::kSuccess);
    m_registry.CloseKey(key);
    EXPECT_EQ(m_registry.GetString(kHklm, kPath, "UserInit"), "OLD");
}

TEST_F(MemoryRegistryTest, CountsOpenKeysAndCalls) {
    m_registry.SetString(kHklm, kPath, "V", "1");
    EXPECT_EQ(m_registry.GetCallCount(), 0);  // set-up is not counted
    RegKey a = Open(kHklm, kPath);
    RegKey b = Open(kHklm, kPath);
    EXPECT_NE(a, b);
    EXPECT_EQ(m_registry.GetOpenKeyCount(), 2);
    EXPECT_EQ(m_registry.CloseKey(a), reg::kSuccess);
    EXPECT_EQ(m_registry.GetOpenKeyCount(), 1);
    EXPECT_EQ(m_registry.CloseKey(a), reg::kInvalidHandle);  // a stale key is recognised
    {
        CRegKey scoped(m_registry);
        EXPECT_EQ(scoped.Open(kHklm, kPath, reg::kQueryValue), reg::kSuccess);
        EXPECT_EQ(m_registry.GetOpenKeyCount(), 2);
    }
    EXPECT_EQ(m_registry.GetOpenKeyCount(), 1);
    m_registry.CloseKey(b);
    EXPECT_EQ(m_registry.GetOpenKeyCount(), 0);
    EXPECT_EQ(m_registry.GetCallCount(), 7);
    // Failed opens are calls too, and leave nothing open.
    RegKey none = 0;
    m_registry.OpenKey(kHklm, "Missing", reg::kQueryValue, &none);
    EXPECT_EQ(m_registry.GetCallCount(), 8);
    EXPECT_EQ(m_registry.GetOpenKeyCount(), 0);
    EXPECT_EQ(m_registry.QueryValue(none, "V", nullptr, nullptr), reg::kInvalidHandle);
}

TEST_F(MemoryRegistryTest, OpenLogRecordsEveryOpenAndCreate) {
    m_registry.AddKey(kHklm, kPath);
    RegKey key = 0;
    m_registry.OpenKey(kHklm, kPath, reg::kSetValue, &key);
    m_registry.CloseKey(key);
    m_registry.OpenKey(kHkcu, "Nope", reg::kAllAccess, &key);
    m_registry.CreateKey(kHkcu, "Yes", &key);
    m_registry.CloseKey(key);
    std::vector<RegOpenRecord> log = m_registry.GetOpenLog();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].kind, RegOpenRecord::Kind::kOpen);
    EXPECT_EQ(log[0].path, kPath);
    EXPECT_EQ(log[0].access, reg::kSetValue);
    EXPECT_EQ(log[0].result, reg::kSuccess);
    EXPECT_EQ(log[1].root, kHkcu);
    EXPECT_EQ(log[1].result, reg::kFileNotFound);
    EXPECT_EQ(log[2].kind, RegOpenRecord::Kind::kCreate);
    EXPECT_EQ(log[2].access, reg::kAllAccess);
}

// Paths are counted as Windows counts them: UTF-16 units, not the UTF-8 bytes that carry them.
TEST(Utf16LengthTest, CountsWindowsCharacters) {
    for (const auto& [text, units] : std::initializer_list<std::pair<std::string, std::size_t>>{
             {"", 0},
             {"C:\\Mavris.exe", 13},
             {"\xC5\x81ukasz", 6},         // a letter of two bytes
             {"\xE2\x82\xAC", 1},          // the euro sign: three bytes
             {"\xF0\x9F\x98\x80x", 3}}) {  // four bytes: a surrogate pair
        EXPECT_EQ(Utf16Length(text), units) << text;
    }
}

}  // namespace
