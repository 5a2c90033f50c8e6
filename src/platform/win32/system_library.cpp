#include "platform/win32/system_library.h"

#include <cstring>

HMODULE LoadSystemLibrary(const char* pszName) {
    // GetSystemDirectoryA and a full path work on every Windows the program runs on, unlike
    // LOAD_LIBRARY_SEARCH_SYSTEM32, which Vista and 7 without update KB2533623 refuse.
    char szPath[MAX_PATH];
    const UINT nFolder = GetSystemDirectoryA(szPath, MAX_PATH);
    const std::size_t nName = pszName != nullptr ? std::strlen(pszName) : 0;
    if (nFolder == 0 || nName == 0 || std::strpbrk(pszName, "\\/:") != nullptr ||
        nFolder + 1 + nName >= MAX_PATH) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    szPath[nFolder] = '\\';
    std::memcpy(szPath + nFolder + 1, pszName, nName + 1);
    // With a full path the loader looks for the library's own imports in its folder first,
    // not in the program's.
    return LoadLibraryExA(szPath, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
