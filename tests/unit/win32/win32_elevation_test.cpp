// The Win32 elevation under Wine, whose shell runs the "runas" verb without a prompt, on
// mavris-scan.exe of the same build, which takes the write-only command line as Mavris.exe does.
#include "platform/win32/win32_elevation.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "modem/modem_info.h"
#include "modem/userinit_write_command.h"
#include "platform/win32/wide_text.h"

namespace {

TEST(Win32ElevationTest, StartsTheWriteOnlyCommandLineAndTakesItsExitCode) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string scan = self;  // <build>\tests\unit\mavris_win32_tests.exe
    scan = scan.substr(0, scan.rfind("\\tests\\unit\\")) + "\\tools\\scan\\mavris-scan.exe";
    if (GetFileAttributesA(scan.c_str()) == INVALID_FILE_ATTRIBUTES) {
        GTEST_SKIP() << "not built: " << scan;
    }
    const std::string path = BuildModemKeyPath(250, false);
    HKEY hKey;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &hKey, nullptr));
    RegSetValueExA(hKey, "UserInit", 0, REG_SZ, reinterpret_cast<const BYTE*>("at s7=60"), 9);

    EXPECT_EQ(IElevation::Result::kDone,
              CWin32Elevation(scan).RunOwnProgram(BuildUserInitWriteParameters(250, 2)));
    char buf[256] = {};
    DWORD size = sizeof(buf);
    RegQueryValueExA(hKey, "UserInit", nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size);
    EXPECT_STREQ("+PCW=2;S7=60", buf);
    // Not written (no such subkey), or not started at all.
    EXPECT_EQ(IElevation::Result::kFailed,
              CWin32Elevation(scan).RunOwnProgram(BuildUserInitWriteParameters(251, 1)));
    EXPECT_EQ(IElevation::Result::kFailed,
              CWin32Elevation(scan + "x").RunOwnProgram(BuildUserInitWriteParameters(250, 1)));
    // From a folder whose name the ANSI code page cannot write (a profile named "Łukasz").
    const std::wstring folder = Utf8ToWide(scan.substr(0, scan.rfind('\\')) + "\\\xC5\x81ukasz");
    CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(
        CopyFileW(Utf8ToWide(scan).c_str(), (folder + L"\\mavris-scan.exe").c_str(), FALSE));
    EXPECT_EQ(IElevation::Result::kDone, CWin32Elevation(WideToUtf8(folder) + "\\mavris-scan.exe")
                                             .RunOwnProgram(BuildUserInitWriteParameters(250, 1)));
    RegCloseKey(hKey);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
}

}  // namespace
