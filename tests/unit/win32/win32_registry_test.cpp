// The Win32 registry backend against Wine's real registry: every call must reach the API with
// the caller's arguments and hand back its result unchanged, and the buffer rules of the
// IRegistry contract must hold where the API itself leaves them open.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_registry.h"

namespace {

// Deletes a key with everything below it (RegDeleteTree is not available on the oldest
// systems the product targets).
void DeleteTree(HKEY root, const std::string& path) {
    HKEY hKey;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &hKey) != ERROR_SUCCESS) {
        return;
    }
    char name[256];
    for (;;) {
        DWORD len = sizeof(name);
        if (RegEnumKeyExA(hKey, 0, name, &len, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        DeleteTree(hKey, name);
    }
    RegCloseKey(hKey);
    RegDeleteKeyA(root, path.c_str());
}

class Win32RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_base = "Software\\MavrisTests\\" +
                 std::string(::testing::UnitTest::GetInstance()->current_test_info()->name());
        DeleteTree(HKEY_CURRENT_USER, m_base);
    }
    void TearDown() override {
        for (RegKey key : m_open) {
            m_registry.CloseKey(key);
        }
        DeleteTree(HKEY_CURRENT_USER, m_base);
    }

    RegKey Create(const std::string& sub) {
        RegKey key = 0;
        EXPECT_EQ(reg::kSuccess,
                  m_registry.CreateKey(RegRoot::kCurrentUser, (m_base + sub).c_str(), &key));
        EXPECT_NE(0u, key);
        m_open.push_back(key);
        return key;
    }

    void SetText(RegKey key, const char* name, const std::string& text) {
        ASSERT_EQ(reg::kSuccess, m_registry.SetValue(key, name, reg::kSz, text.c_str(),
                                                     static_cast<std::uint32_t>(text.size() + 1)));
    }

    CWin32Registry m_registry;
    std::string m_base;
    std::vector<RegKey> m_open;
};

TEST_F(Win32RegistryTest, CreateKeyMakesTheWholePathAndOpenKeyFindsIt) {
    Create("\\A\\B\\C");
    RegKey key = 0;
    EXPECT_EQ(reg::kSuccess,
              m_registry.OpenKey(RegRoot::kCurrentUser, (m_base + "\\A\\B\\C").c_str(),
                                 reg::kQueryValue, &key));
    ASSERT_NE(0u, key);
    EXPECT_EQ(reg::kSuccess, m_registry.CloseKey(key));
    // Paths are compared without regard to case, as the product relies on for the two
    // spellings of the modem class key.
    EXPECT_EQ(reg::kSuccess,
              m_registry.OpenKey(RegRoot::kCurrentUser, (m_base + "\\a\\b\\c").c_str(),
                                 reg::kQueryValue, &key));
    m_registry.CloseKey(key);
}

TEST_F(Win32RegistryTest, OpenKeyOnAMissingKeyFailsAndGivesNoKey) {
    RegKey key = 12345;
    EXPECT_EQ(reg::kFileNotFound,
              m_registry.OpenKey(RegRoot::kCurrentUser, (m_base + "\\Missing").c_str(),
                                 reg::kQueryValue, &key));
    EXPECT_EQ(0u, key);
}

TEST_F(Win32RegistryTest, CreateKeyOpensAnExistingKeyWithItsValues) {
    RegKey first = Create("\\K");
    SetText(first, "Kept", "yes");
    RegKey second = Create("\\K");
    char buf[16] = {};
    std::uint32_t size = sizeof(buf);
    EXPECT_EQ(reg::kSuccess, m_registry.QueryValue(second, "Kept", buf, &size));
    EXPECT_STREQ("yes", buf);
}

TEST_F(Win32RegistryTest, KeysOfTheOtherRootsOpen) {
    RegKey key = 0;
    EXPECT_EQ(reg::kSuccess,
              m_registry.OpenKey(RegRoot::kLocalMachine, "Software", reg::kQueryValue, &key));
    m_registry.CloseKey(key);
    EXPECT_EQ(reg::kSuccess,
              m_registry.OpenKey(RegRoot::kClassesRoot, ".txt", reg::kQueryValue, &key));
    m_registry.CloseKey(key);
}

TEST_F(Win32RegistryTest, QueryValueReturnsTheStoredBytesAndTheirCount) {
    RegKey key = Create("");
    SetText(key, "UserInit", "at s7=60");
    char buf[256];
    std::memset(buf, 'x', sizeof(buf));
    std::uint32_t size = 255;
    ASSERT_EQ(reg::kSuccess, m_registry.QueryValue(key, "UserInit", buf, &size));
    EXPECT_EQ(9u, size);
    EXPECT_STREQ("at s7=60", buf);
    EXPECT_EQ('x', buf[9]) << "nothing beyond the stored bytes may be written";
}

TEST_F(Win32RegistryTest, QueryValueIgnoresTheValueType) {
    RegKey key = Create("");
    const std::uint32_t dword = 0x00313233;  // "321" and NUL in little-endian order
    ASSERT_EQ(reg::kSuccess, m_registry.SetValue(key, "Number", reg::kDword, &dword, 4));
    const char bytes[] = {'C', 'O', 'M', '7'};
    ASSERT_EQ(reg::kSuccess, m_registry.SetValue(key, "Raw", reg::kBinary, bytes, 4));

    char buf[16] = {};
    std::uint32_t size = sizeof(buf);
    ASSERT_EQ(reg::kSuccess, m_registry.QueryValue(key, "Number", buf, &size));
    EXPECT_EQ(4u, size);
    EXPECT_STREQ("321", buf);

    std::memset(buf, 0, sizeof(buf));
    size = sizeof(buf);
    ASSERT_EQ(reg::kSuccess, m_registry.QueryValue(key, "Raw", buf, &size));
    EXPECT_EQ(4u, size);
    EXPECT_STREQ("COM7", buf);

    std::uint32_t value = 0;
    ASSERT_EQ(reg::kSuccess, RegQueryDword(m_registry, key, "Number", &value));
    EXPECT_EQ(dword, value);
}

TEST_F(Win32RegistryTest, AValueThatDoesNotFitFailsWithMoreDataAndLeavesTheBufferAlone) {
    // The modem records read with a capacity of 255 bytes: a text of 254 characters and its
    // NUL fit, one more character does not.
    struct Case {
        std::size_t length;
        long expected;
    };
    const Case cases[] = {
        {253, reg::kSuccess}, {254, reg::kSuccess}, {255, reg::kMoreData}, {1000, reg::kMoreData}};
    RegKey key = Create("");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        SetText(key, "Model", std::string(c.length, 'M'));
        char buf[256];
        std::memset(buf, 0, sizeof(buf));
        std::uint32_t size = 255;
        EXPECT_EQ(c.expected, RegQueryText(m_registry, key, "Model", buf, size));
        if (c.expected == reg::kSuccess) {
            EXPECT_EQ(std::string(c.length, 'M'), buf);
        } else {
            EXPECT_EQ(std::string(256, '\0'), std::string(buf, sizeof(buf)))
                << "a value too long must leave no cut-off text behind";
        }
        size = 255;
        EXPECT_EQ(c.expected, m_registry.QueryValue(key, "Model", buf, &size));
        EXPECT_EQ(c.length + 1, size) << "the size tells what the value needs";
    }
}

TEST_F(Win32RegistryTest, QueryValueWithoutABufferGivesTheSize) {
    RegKey key = Create("");
    SetText(key, "Model", "ORVA 56k");
    std::uint32_t size = 0;
    EXPECT_EQ(reg::kSuccess, m_registry.QueryValue(key, "Model", nullptr, &size));
    EXPECT_EQ(9u, size);
}

TEST_F(Win32RegistryTest, MissingValueFailsWithFileNotFound) {
    RegKey key = Create("");
    char buf[8] = {};
    std::uint32_t size = sizeof(buf);
    EXPECT_EQ(reg::kFileNotFound, m_registry.QueryValue(key, "Nothing", buf, &size));
    EXPECT_STREQ("", buf);
}

TEST_F(Win32RegistryTest, SetValueStoresExactlyTheGivenBytes) {
    // The user-init rewrite stores its text without a terminating NUL.
    RegKey key = Create("");
    const std::string text = "+PCW=2;S7=60";
    ASSERT_EQ(reg::kSuccess, m_registry.SetValue(key, "UserInit", reg::kSz, text.data(),
                                                 static_cast<std::uint32_t>(text.size())));
    HKEY hKey;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_CURRENT_USER, m_base.c_str(), 0, KEY_QUERY_VALUE, &hKey));
    DWORD type = 0;
    DWORD size = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(hKey, "UserInit", nullptr, &type, nullptr, &size));
    RegCloseKey(hKey);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_GE(size, text.size());
    EXPECT_LE(size, text.size() + 1);

    char buf[64] = {};
    std::uint32_t got = sizeof(buf);
    ASSERT_EQ(reg::kSuccess, m_registry.QueryValue(key, "UserInit", buf, &got));
    EXPECT_EQ(text, buf);
}

TEST_F(Win32RegistryTest, SetValueOverwritesAndDeleteValueRemoves) {
    RegKey key = Create("");
    SetText(key, "Run", "old");
    SetText(key, "Run", "new");
    char buf[16] = {};
    std::uint32_t size = sizeof(buf);
    ASSERT_EQ(reg::kSuccess, m_registry.QueryValue(key, "Run", buf, &size));
    EXPECT_STREQ("new", buf);

    EXPECT_EQ(reg::kSuccess, m_registry.DeleteValue(key, "Run"));
    size = sizeof(buf);
    EXPECT_EQ(reg::kFileNotFound, m_registry.QueryValue(key, "Run", buf, &size));
    EXPECT_EQ(reg::kFileNotFound, m_registry.DeleteValue(key, "Run"));
}

TEST_F(Win32RegistryTest, AKeyOpenedForQueryOnlyRefusesWrites) {
    Create("");
    RegKey key = 0;
    ASSERT_EQ(reg::kSuccess,
              m_registry.OpenKey(RegRoot::kCurrentUser, m_base.c_str(), reg::kQueryValue, &key));
    m_open.push_back(key);
    EXPECT_EQ(reg::kAccessDenied, m_registry.SetValue(key, "UserInit", reg::kSz, "x", 2));
    EXPECT_EQ(reg::kAccessDenied, m_registry.DeleteValue(key, "UserInit"));

    RegKey writable = 0;
    ASSERT_EQ(reg::kSuccess,
              m_registry.OpenKey(RegRoot::kCurrentUser, m_base.c_str(), reg::kSetValue, &writable));
    m_open.push_back(writable);
    EXPECT_EQ(reg::kSuccess, m_registry.SetValue(writable, "UserInit", reg::kSz, "x", 2));
}

TEST_F(Win32RegistryTest, EnumKeyListsEverySubkeyAndLeavesAShortBufferAlone) {
    Create("\\Properties");
    Create("\\0002");
    RegKey key = 0;
    ASSERT_EQ(reg::kSuccess, m_registry.OpenKey(RegRoot::kCurrentUser, m_base.c_str(),
                                                reg::kEnumerateSubKeys, &key));
    m_open.push_back(key);
    std::string listed;
    for (std::uint32_t i = 0; i < 3; ++i) {
        char name[5] = {'x'};
        std::uint32_t size = sizeof(name);
        const long result = m_registry.EnumKey(key, i, name, &size);
        listed += std::to_string(result) + ":" + name + ":" + std::to_string(size) + " ";
    }
    // Wine lists them in the order of their names; "Properties" does not fit the buffer.
    EXPECT_EQ("0:0002:4 234:x:5 259:x:5 ", listed);
}

TEST_F(Win32RegistryTest, QueryDefaultReadsTheUnnamedValueOfTheKeyOrASubkey) {
    RegKey key = Create("");
    RegKey sub = Create("\\htmlfile\\shell\\open\\command");
    SetText(key, nullptr, "top");
    SetText(sub, "", "browser.exe \"%1\"");

    struct Case {
        const char* subKey;
        const char* expected;
    };
    const Case cases[] = {
        {nullptr, "top"}, {"", "top"}, {"htmlfile\\shell\\open\\command", "browser.exe \"%1\""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.subKey ? c.subKey : "(null)");
        char buf[260] = {};
        long size = sizeof(buf);
        ASSERT_EQ(reg::kSuccess, m_registry.QueryDefault(key, c.subKey, buf, &size));
        EXPECT_STREQ(c.expected, buf);
        EXPECT_EQ(static_cast<long>(std::strlen(c.expected) + 1), size);
    }

    char buf[260] = {};
    long size = sizeof(buf);
    EXPECT_EQ(reg::kFileNotFound, m_registry.QueryDefault(key, "nokey", buf, &size));
}

TEST_F(Win32RegistryTest, CloseKeyReleasesTheHandle) {
    RegKey key = 0;
    ASSERT_EQ(reg::kSuccess, m_registry.CreateKey(RegRoot::kCurrentUser, m_base.c_str(), &key));
    EXPECT_EQ(reg::kSuccess, m_registry.CloseKey(key));
    char buf[8];
    std::uint32_t size = sizeof(buf);
    EXPECT_EQ(reg::kInvalidHandle, m_registry.QueryValue(key, "x", buf, &size));
}

TEST_F(Win32RegistryTest, TheModemClassKeyCanBeWrittenAndReadUnderLocalMachine) {
    // The product reads the modem class key under HKEY_LOCAL_MACHINE and rewrites "UserInit";
    // the end-to-end tests set it up the same way.
    const std::string path =
        "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96D-E325-11CE-BFC1-08002BE10318}\\0"
        "250";
    CRegKey writer(m_registry);
    ASSERT_EQ(reg::kSuccess, writer.Create(RegRoot::kLocalMachine, path.c_str()));
    SetText(writer.Get(), "AttachedTo", "COM3");
    writer.Close();

    CRegKey reader(m_registry);
    ASSERT_EQ(reg::kSuccess, reader.Open(RegRoot::kLocalMachine, path.c_str(), reg::kQueryValue));
    char buf[256] = {};
    EXPECT_EQ(reg::kSuccess, RegQueryText(m_registry, reader.Get(), "AttachedTo", buf, 255));
    EXPECT_STREQ("COM3", buf);
    reader.Close();
    DeleteTree(HKEY_LOCAL_MACHINE, path);
}

TEST(Win32PlatformTest, BundlesEveryBackendOnce) {
    const Platform& platform = GetWin32Platform();
    EXPECT_NE(nullptr, platform.registry);
    EXPECT_NE(nullptr, platform.serial);
    EXPECT_NE(nullptr, platform.sleeper);
    EXPECT_NE(nullptr, platform.log);
    EXPECT_NE(nullptr, platform.module);
    EXPECT_NE(nullptr, platform.elevation);
    EXPECT_EQ(&platform, &GetWin32Platform());
}

TEST(Win32PlatformTest, ModuleGivesThePathOfTheRunningProgram) {
    const std::string path = GetWin32Platform().module->GetFilePath();
    EXPECT_NE(std::string::npos, path.find("mavris_win32_tests.exe")) << path;
    EXPECT_EQ(':', path[1]) << "a full Windows path";
}

TEST(Win32PlatformTest, SleeperWaitsAtLeastTheGivenTime) {
    LARGE_INTEGER freq, start, end;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&start);
    GetWin32Platform().sleeper->Sleep(50);
    QueryPerformanceCounter(&end);
    EXPECT_GE((end.QuadPart - start.QuadPart) * 1000 / freq.QuadPart, 45);
}

}  // namespace
