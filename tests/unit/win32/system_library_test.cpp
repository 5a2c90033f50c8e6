// The loader of the libraries bound at run time against a DLL planted beside the test program
// or in the current directory: under a name the system folder lacks nothing may load, under a
// system library's name the system's own must load.
#include "platform/win32/system_library.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

std::string FolderOf(HMODULE hModule) {
    char szPath[MAX_PATH] = {};
    const DWORD nLength = GetModuleFileNameA(hModule, szPath, MAX_PATH);
    const std::string path(szPath, nLength);
    return path.substr(0, path.find_last_of('\\'));
}

struct Planting {
    const char* name;        // the test's name
    const char* pszLibrary;  // the planted copy's file name
    bool bInCurrentDirectory;
    bool bSystemHasIt;
};

void PrintTo(const Planting& planting, std::ostream* pOut) {
    *pOut << planting.pszLibrary;
}

class SystemLibraryTest : public ::testing::TestWithParam<Planting> {};

TEST_P(SystemLibraryTest, NeverLoadsAPlantedLibrary) {
    const Planting& planting = GetParam();
    const std::string programFolder = FolderOf(nullptr);
    const std::string planted = programFolder + "\\mavris-planted.dll";
    ASSERT_NE(GetFileAttributesA(planted.c_str()), INVALID_FILE_ATTRIBUTES) << planted;
    char szTemp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, szTemp);
    const std::string current = std::string(szTemp) + "mavris-planted-cwd";
    CreateDirectoryA(current.c_str(), nullptr);
    const std::string copy =
        (planting.bInCurrentDirectory ? current : programFolder) + "\\" + planting.pszLibrary;
    if (copy != planted) {
        ASSERT_TRUE(CopyFileA(planted.c_str(), copy.c_str(), FALSE)) << copy;
    }
    char szOldCurrent[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, szOldCurrent);
    SetCurrentDirectoryA(current.c_str());

    HMODULE hModule = LoadSystemLibrary(planting.pszLibrary);
    SetCurrentDirectoryA(szOldCurrent);
    if (planting.bSystemHasIt) {
        char szSystem[MAX_PATH] = {};
        GetSystemDirectoryA(szSystem, MAX_PATH);
        ASSERT_NE(hModule, nullptr);
        EXPECT_EQ(lstrcmpiA(FolderOf(hModule).c_str(), szSystem), 0) << FolderOf(hModule);
        EXPECT_EQ(GetProcAddress(hModule, "MavrisPlantedLibrary"), nullptr);
    } else {
        EXPECT_EQ(hModule, nullptr) << "loaded from " << FolderOf(hModule);
    }
    if (hModule != nullptr) {
        FreeLibrary(hModule);
    }
    if (copy != planted) {
        DeleteFileA(copy.c_str());
    }
    RemoveDirectoryA(current.c_str());
}

INSTANTIATE_TEST_SUITE_P(
    Plantings, SystemLibraryTest,
    ::testing::Values(Planting{"BesideTheProgram", "mavris-planted.dll", false, false},
                      Planting{"InTheCurrentDirectory", "mavris-cwd.dll", true, false},
                      Planting{"AsHtmlHelpBesideTheProgram", "hhctrl.ocx", false, true}),
    [](const ::testing::TestParamInfo<Planting>& info) { return info.param.name; });

}  // namespace
