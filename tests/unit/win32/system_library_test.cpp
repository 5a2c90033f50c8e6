// The loader of the libraries bound at run time against mavris-planted.dll, built beside the
// test program: under its own name, copied into the current directory, or copied beside the
// program under a system library's name, it must never be what loads.
#include "platform/win32/system_library.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

std::string FolderOf(HMODULE hModule) {
    char szPath[MAX_PATH] = {};
    const std::string path(szPath, GetModuleFileNameA(hModule, szPath, MAX_PATH));
    return path.substr(0, path.find_last_of('\\'));
}

TEST(SystemLibraryTest, NeverLoadsAPlantedLibrary) {
    char szSystem[MAX_PATH] = {};
    char szCurrent[MAX_PATH] = {};
    GetSystemDirectoryA(szSystem, MAX_PATH);
    GetCurrentDirectoryA(MAX_PATH, szCurrent);
    const std::string program = FolderOf(nullptr);
    const std::string planted = program + "\\mavris-planted.dll";
    const std::string current = program + "\\mavris-planted-cwd";
    CreateDirectoryA(current.c_str(), nullptr);
    SetCurrentDirectoryA(current.c_str());
    const struct {
        const char* pszName;
        std::string folder;
        const char* pszLoadedFrom;
    } cases[] = {{"mavris-planted.dll", program, "nowhere"},
                 {"mavris-cwd.dll", current, "nowhere"},
                 {"hhctrl.ocx", program, szSystem}};
    for (const auto& c : cases) {
        const std::string copy = c.folder + "\\" + c.pszName;
        ASSERT_TRUE(copy == planted || CopyFileA(planted.c_str(), copy.c_str(), FALSE)) << copy;
        HMODULE hModule = LoadSystemLibrary(c.pszName);
        EXPECT_EQ(hModule != nullptr ? FolderOf(hModule) : "nowhere", c.pszLoadedFrom) << copy;
        FreeLibrary(hModule);
        if (copy != planted) {
            DeleteFileA(copy.c_str());
        }
    }
    SetCurrentDirectoryA(szCurrent);
    RemoveDirectoryA(current.c_str());
}

}  // namespace
