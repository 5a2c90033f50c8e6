// The Win32 elevation under Wine, whose shell runs the "runas" verb without a consent prompt:
// it must start the program on the write-only command line, wait for it and turn its exit code
// into the result. mavris-scan.exe of the same build accepts that command line as Mavris.exe
// does.
#include "platform/win32/win32_elevation.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "modem/modem_info.h"

namespace {

// mavris-scan.exe next to this test program in the build tree.
std::string ScanProgramPath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path);
    dir.erase(dir.find_last_of('\\'));  // tests\unit
    dir.erase(dir.find_last_of('\\'));  // tests
    dir.erase(dir.find_last_of('\\'));  // the build directory
    return dir + "\\tools\\scan\\mavris-scan.exe";
}

std::string StoredUserInit(const std::string& path, DWORD* pSize) {
    HKEY hKey;
    char buf[256] = {};
    *pSize = sizeof(buf);
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, &hKey) !=
        ERROR_SUCCESS) {
        return "(no key)";
    }
    if (RegQueryValueExA(hKey, "UserInit", nullptr, nullptr, reinterpret_cast<BYTE*>(buf), pSize) !=
        ERROR_SUCCESS) {
        *pSize = 0;
    }
    RegCloseKey(hKey);
    return buf;
}

TEST(Win32ElevationTest, RunsTheWriteOnlyCommandLineAndTakesItsExitCode) {
    const std::string scan = ScanProgramPath();
    if (GetFileAttributesA(scan.c_str()) == INVALID_FILE_ATTRIBUTES) {
        GTEST_SKIP() << "not built: " << scan;
    }
    const std::string path = BuildModemKeyPath(250, false);
    HKEY hKey;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &hKey, nullptr));
    RegSetValueExA(hKey, "UserInit", 0, REG_SZ, reinterpret_cast<const BYTE*>("at s7=60"), 9);
    RegCloseKey(hKey);

    CWin32Elevation elevation(scan);
    EXPECT_EQ(IElevation::Result::kDone, elevation.WriteUserInit(250, 2));
    DWORD size = 0;
    EXPECT_EQ("+PCW=2;ATS7=60", StoredUserInit(path, &size));
    EXPECT_EQ(15u, size) << "stored with its terminating zero";

    // Not written (no such subkey) and not started at all both fail.
    EXPECT_EQ(IElevation::Result::kFailed, elevation.WriteUserInit(251, 1));
    EXPECT_EQ("(no key)", StoredUserInit(BuildModemKeyPath(251, false), &size));
    CWin32Elevation missing(scan + ".missing");
    EXPECT_EQ(IElevation::Result::kFailed, missing.WriteUserInit(250, 1));
    EXPECT_EQ("+PCW=2;ATS7=60", StoredUserInit(path, &size));
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
}

}  // namespace
