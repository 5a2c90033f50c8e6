// LoadSystemLibrary against mavris-planted.dll, built beside the test program: under its own
// name, copied into the current directory, or copied beside the program as hhctrl.ocx, the
// planted file must never be what loads.
#include "platform/win32/system_library.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace {

std::string FolderOf(HMODULE hModule) {
    char szPath[MAX_PATH] = {};
    const std::string path(szPath, GetModuleFileNameA(hModule, szPath, MAX_PATH));
    return path.substr(0, path.find_last_of('\\'));
}

TEST(SystemLibraryTest, NeverLoadsAPlantedLibrary) {
    char szSystem[MAX_PATH] = {}, szCurrent[MAX_PATH] = {};
    GetSystemDirectoryA(szSystem, MAX_PATH);
    GetCurrentDirectoryA(MAX_PATH, szCurrent);
    const std::string program = FolderOf(nullptr), planted = program + "\\mavris-planted.dll";
    const std::string current = program + "\\planted-cwd";
    CreateDirectoryA(current.c_str(), nullptr);
    SetCurrentDirectoryA(current.c_str());
    for (const auto& [pszName, folder, loadedFrom] :
         {std::tuple<const char*, std::string, std::string>{"mavris-planted.dll", program, "-"},
          {"mavris-cwd.dll", current, "-"},
          {"hhctrl.ocx", program, szSystem}}) {
        const std::string copy = folder + "\\" + pszName;
        ASSERT_TRUE(copy == planted || CopyFileA(planted.c_str(), copy.c_str(), FALSE)) << copy;
        HMODULE hModule = LoadSystemLibrary(pszName);
        EXPECT_EQ(hModule != nullptr ? FolderOf(hModule) : "-", loadedFrom) << copy;
        FreeLibrary(hModule);
        if (copy != planted) {
            DeleteFileA(copy.c_str());
        }
    }
    SetCurrentDirectoryA(szCurrent);
    RemoveDirectoryA(current.c_str());
}

}  // namespace
